// Query runs: start, stop, finish, and the TCP tools.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QIcon>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include "common/Common.h"
#include "common/SjisText.h"
#include "main/OstrekMain.h"
#include "platform/IcmpService.h"
#include "platform/SocketSlot.h"
#include "widgets/ExtMemo.h"
#include "widgets/UpDown.h"
#include "workers/TCPThrd.h"

namespace {
constexpr int HttpPort = 80;
const QString UserAgent = QStringLiteral("User-Agent: Ostrekon/0.9\r\n");

// The header's date and time: plain numbers, no leading zeros.
QString HeaderTime(const QDateTime& now) {
  const QDate d = now.date();
  const QTime t = now.time();
  return QStringLiteral("%1年%2月%3日%4時%5分%6秒")
      .arg(d.year())
      .arg(d.month())
      .arg(d.day())
      .arg(t.hour())
      .arg(t.minute())
      .arg(t.second());
}

}  // namespace

void TOstrekForm::Go_BtnClick() {
  if (FBusy) return;
  FHostEntry = THostEntry();
  FLookupTimeoutSec = NSTout_UD->Position();
  QWidget* page = PageControl->currentWidget();
  if (page == Finger) return GoFinger();
  if (page == Whois) return GoWhois();
  if (page == Ping) return GoPing();
  if (page == TraceRoute) return GoTraceRoute();
  if (page == NsLookup) return GoNsLookup();
  if (page == NsLookupEx) return GoIpScan();
  if (page == Http) return GoHttp();
}

void TOstrekForm::GoFinger() {
  GoRelayTool(FngrServ_CB, FngrReq_CB, FngrWall_ChckB, FFingerRelay, QStringLiteral("Finger"),
              FFingerPort);
}

void TOstrekForm::GoWhois() {
  GoRelayTool(WhoisServ_CB, WhoisReq_CB, WhoisWall_ChckB, FWhoisRelay, QStringLiteral("Whois"),
              FWhoisPort);
}

void TOstrekForm::GoRelayTool(QComboBox* server, QComboBox* request, QCheckBox* useRelay,
                              const QString& relay, const QString& tool, int port) {
  if (server->currentText().isEmpty()) return;
  if (!CutHostField(server, tool)) return;
  AddToHistory(server);
  AddToHistory(request);
  QString host = server->currentText();
  QString query = request->currentText();
  if (useRelay->isChecked() && !relay.isEmpty()) {
    query = query + QLatin1Char('@') + host;
    host = relay;
  }
  StartQuery(tool + QStringLiteral(" - ") + host + QStringLiteral(" - ") + query);
  quint32 addr = 0;
  if (!ResolveTarget(host, &addr)) return;
  StartTcpWorker(addr, ToSjis(query), port);
}

void TOstrekForm::GoHttp() {
  if (HHURL_CB->currentText().isEmpty()) return;
  AddToHistory(HHURL_CB);
  const QString url = HHURL_CB->currentText();
  StartQuery(QStringLiteral("HttpHead - ") + url);
  const QString scheme = ExtractUrlScheme(url);
  if (!scheme.isEmpty() && scheme != QStringLiteral("http")) {
    AddOutput(scheme + QStringLiteral(" - このプロトコルはサポートされていません。"));
    return FinishQuery();
  }
  const int port = ExtractUrlPort(url, HttpPort);
  if (port < 1 || port > 65535) {
    // Only 16 bits would reach the socket: refuse rather than connect elsewhere.
    AddOutput(QString::number(port) + QStringLiteral(" - ポート番号が正しくありません。"));
    return FinishQuery();
  }
  const QString path = ExtractUrlPath(url);
  QString request =
      HTTPGET_RBTN->isChecked()
          ? QStringLiteral("GET ") + path + QStringLiteral(" HTTP/1.0\r\nAccept: text/*\r\n")
          : QStringLiteral("HEAD ") + path + QStringLiteral(" HTTP/1.0\r\n");
  request += UserAgent + QStringLiteral("\r\n");
  quint32 addr = 0;
  if (!ResolveTarget(ExtractUrlHost(url), &addr)) return;
  StartTcpWorker(addr, ToSjis(request), port);
}

// The target address of a tool: a dotted address as it is, a name through
// the lookup service. On failure the run is finished (unless Stop did it).
bool TOstrekForm::ResolveTarget(const QString& host, quint32* addr) {
  if (ParseDottedAddress(host, addr)) return true;
  if (!LookupHost(host, true) || FHostEntry.Addresses.isEmpty()) {
    if (FBusy) FinishQuery();
    return false;
  }
  *addr = FHostEntry.Addresses.first();
  return true;
}

void TOstrekForm::StartTcpWorker(quint32 addr, const QByteArray& request, int port) {
  FChannel = std::make_shared<TOutputChannel>();
  StartWorker(new TTCPThread(FChannel, addr, FHostEntry.OfficialName, request, port));
}

void TOstrekForm::StartWorker(TQueryThread* worker) {
  std::weak_ptr<TOutputChannel> channel = FChannel;
  FChannel->SetNotifier([this, channel] {
    QMetaObject::invokeMethod(
        this, [this, channel] { DrainWorker(channel); }, Qt::QueuedConnection);
  });
  FWorker = worker;
  worker->start();
}

void TOstrekForm::StartQuery(const QString& title) {
  ++FRunNumber;
  FBusy = true;
  DisableInputs();
  qApp->setWindowIcon(QIcon(QStringLiteral(":/MAINICON")));
  FQueryLines.clear();
  if (Clear_ChckM->isChecked() || ExtMemo->IsEmpty()) {
    if (Clear_ChckM->isChecked()) ExtMemo->clear();
    FQueryLines << QByteArray() << QByteArray();
  } else {
    AddOutput(QByteArray());
    AddOutput(QByteArray());
  }
  AddOutput(QStringLiteral(">> ") + HeaderTime(QDateTime::currentDateTime()) +
            QStringLiteral("  ") + title);
  AddOutput(QByteArray());
}

void TOstrekForm::FinishQuery() {
  FBusy = false;
  EnableInputs();
  FWorker = nullptr;
  if (FChannel) {
    FChannel->Close();
    FChannel.reset();
  }
  SetStatusText(QString());
  WriteQueryLog();
  FQueryLines.clear();
  qApp->setWindowIcon(QIcon(QStringLiteral(":/SUBICON")));
  update();
}

void TOstrekForm::Stop_BtnClick() {
  AddOutput(QStringLiteral("...中止されました"));
  FBusy = false;
  if (FWorker) FWorker->Stop();
  FWorker = nullptr;
  ActiveSocket.ShutdownAndClear();
  if (FIcmpServiceMode) IcmpHandle.CloseAndClear();
  StopPendingLookup();
  FinishQuery();
}

void TOstrekForm::DisableInputs() {
  Go_Btn->setEnabled(false);
  Stop_Btn->setEnabled(true);
  ExtMemo->setEnabled(false);
  for (QWidget* w : PageControls()) w->setEnabled(false);
}

void TOstrekForm::EnableInputs() {
  Go_Btn->setEnabled(true);
  Stop_Btn->setEnabled(false);
  ExtMemo->setEnabled(true);
  for (QWidget* w : PageControls()) w->setEnabled(true);
  FngrWall_ChckB->setEnabled(!FFingerRelay.isEmpty());
  WhoisWall_ChckB->setEnabled(!FWhoisRelay.isEmpty());
  ActiveMainField()->setFocus(Qt::OtherFocusReason);
}
