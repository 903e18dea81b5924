// Query runs: the keys and buttons that start and stop them, the tools' Go
// steps, and the start and finish of a run. Every tool hands its run to a
// worker; what the worker shows comes back through its channel
// (OstrekOutput.cpp).
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QIcon>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <optional>

#include "common/Common.h"
#include "common/DnsAsk.h"
#include "common/Idn.h"
#include "common/QueryText.h"
#include "common/SjisText.h"
#include "main/NsLookupPage.h"
#include "main/OstrekMain.h"
#include "platform/HostLookup.h"
#include "platform/HostResolver.h"
#include "platform/SocketSlot.h"
#include "widgets/Animation.h"
#include "widgets/ExtMemo.h"
#include "widgets/PingGraph.h"
#include "widgets/UpDown.h"
#include "workers/DnsThrd.h"
#include "workers/NsThrd.h"
#include "workers/PngThrd.h"
#include "workers/RawPngThrd.h"
#include "workers/RawTrsRteThrd.h"
#include "workers/RdapThrd.h"
#include "workers/TCPThrd.h"
#include "workers/TrsCycleThrd.h"
#include "workers/TrsRteThrd.h"
#include "workers/WhoisThrd.h"

namespace {
// The line of a host field or URL that names no host (it holds a blank).
QString BadHostLine(const QString& typed) {
  return typed + QStringLiteral(" - ホスト名が正しくありません。");
}
}  // namespace

// --- Starting a run ----------------------------------------------------------------

void TOstrekForm::Go_BtnClick() {
  if (FBusy) return;
  ActivePage().Go();
}

TOstrekForm::TRun::TRun(TOstrekForm& form, const QString& title) : FForm(form) {
  form.StartQuery(title);
}

TOstrekForm::TRun::~TRun() {
  if (!FHanded && FForm.FBusy) FForm.FinishQuery();
}

void TOstrekForm::TRun::HandTo(TQueryThread* worker) {
  FHanded = true;
  FForm.FWorker = worker;
  worker->start();
}

// The lookups of a run: the resolver, and the time-out of the NS Lookup page.
TLookupSetup TOstrekForm::Lookups() {
  if (!FDeps.Resolver) FDeps.Resolver = std::make_shared<THostResolver>();
  return {FDeps.Resolver, NSTout_UD->Position() * 1000, PreferIPv6_ChckM->isChecked()};
}

// A fresh channel for the next worker, drained on this thread.
std::shared_ptr<TOutputChannel> TOstrekForm::NewChannel() {
  FChannel = std::make_shared<TOutputChannel>();
  std::weak_ptr<TOutputChannel> weak = FChannel;
  FChannel->SetNotifier([this, weak] {
    QMetaObject::invokeMethod(
        this, [this, weak] { DrainWorker(weak); }, Qt::QueuedConnection);
  });
  return FChannel;
}

// The host of a host field, cut down to its host part and recorded in the
// field's history. An empty field starts nothing. A text without a host part
// (it has a blank in it) would start a run with an empty host: it is refused
// with a line of its own, and the field stays as typed.
std::optional<QString> TOstrekForm::TakeHost(QComboBox* box, const QString& tool) {
  const QString typed = box->currentText();
  if (typed.isEmpty()) return std::nullopt;
  const QString host = ExtractUrlHost(typed);
  if (host.isEmpty()) {
    TRun run(*this, tool + QStringLiteral(" - ") + typed);
    AddOutput(BadHostLine(typed));
    return std::nullopt;
  }
  box->setEditText(host);
  AddToHistory(box);
  return host;
}

// Numbers typed outside a spin control's range are replaced by the clamped
// value, on the active page.
void TOstrekForm::WriteBackSpins() {
  for (const TSpinField& field : ActivePage().Spins) field.Spin->WriteBack();
}

// --- The tools -----------------------------------------------------------------------

void TOstrekForm::GoRelayTool(QComboBox* serverBox, QComboBox* request, QCheckBox* useRelay,
                              const QString& relay, const QString& tool, int port,
                              QCheckBox* follow) {
  // Only the Whois page has referrals to follow, and the choice of protocol.
  const auto protocol =
      follow ? TWhoisProtocol(WhoisProtocol_CB->currentIndex()) : TWhoisProtocol::Whois;
  if (protocol == TWhoisProtocol::Rdap) return GoRdap(request, follow, port);
  const std::optional<QString> server = TakeHost(serverBox, tool);
  if (!server) return;
  AddToHistory(request);
  const QString query = request->currentText();
  const QString via = useRelay->isChecked() ? relay : QString();
  const TRelayRoute route = RelayRoute(*server, query, via);
  TRun run(*this, RelayToolTitle(tool, route.Host, route.Sent));
  if (protocol == TWhoisProtocol::Auto && !AutoKeepsPort43(query, !via.isEmpty()))
    run.HandTo(new TRdapThread(NewChannel(), Lookups(), *server, query, via, port, false,
                               follow->isChecked()));
  else if (follow && follow->isChecked())
    run.HandTo(new TWhoisThread(NewChannel(), Lookups(), *server, query, via, port));
  else
    run.HandTo(new TTCPThread(NewChannel(), Lookups(), route.Host, ToSjis(route.Sent), port));
}

// The server field and the relay are not used: the bootstrap names the server.
void TOstrekForm::GoRdap(QComboBox* request, QCheckBox* follow, int port) {
  if (request->currentText().trimmed().isEmpty()) return;
  AddToHistory(request);
  const QString query = request->currentText();
  TRun run(*this, QStringLiteral("Whois - RDAP - ") + query);
  run.HandTo(new TRdapThread(NewChannel(), Lookups(), QString(), query, QString(), port, true,
                             follow->isChecked()));
}

void TOstrekForm::ShowWhoisProtocol() {
  const bool rdap = WhoisProtocol_CB->currentIndex() == int(TWhoisProtocol::Rdap);
  WhoisServ_CB->setEnabled(!rdap);
  WhoisServ_Del->setEnabled(!rdap);
}

void TOstrekForm::GoPing() {
  WriteBackSpins();
  const std::optional<QString> host = TakeHost(PngServ_CB, QStringLiteral("Ping"));
  if (!host) return;
  const TPingParams params{PngTout_UD->Position(),  PngReqNum_UD->Position(),
                           PngDelay_UD->Position(), PngPSize_UD->Position(),
                           PngTTL_UD->Position(),   PngDntFrg_ChckB->isChecked()};
  TRun run(*this, PingTitle(*host, params.DataSize));
  StartSampling(TGraphMode::Ping, params.Count, params.TimeoutSec * 1000);
  if (FIcmpServiceMode)
    run.HandTo(new TPingThread(NewChannel(), Lookups(), *host, params));
  else
    run.HandTo(new TRawPingThread(NewChannel(), Lookups(), *host, params));
}

void TOstrekForm::GoTraceRoute() {
  WriteBackSpins();
  const std::optional<QString> host = TakeHost(TRServ_CB, QStringLiteral("TraceRoute"));
  if (!host) return;
  const TTraceParams params{TRTout_UD->Position(), TRStHop_UD->Position(), TRMaxHop_UD->Position(),
                            TRReslvHost_ChckB->isChecked(),
                            TRRepeat_ChckB->isChecked() ? TRCycles_UD->Position() : 0};
  if (params.Cycles > 0) {
    TRun run(*this, TraceRouteTitle(*host, params.FirstHop, params.LastHop) +
                        QStringLiteral(" - %1 回").arg(params.Cycles));
    StartHopTable();
    run.HandTo(new TTraceCycleThread(NewChannel(), Lookups(), *host, params, !FIcmpServiceMode));
    return;
  }
  TRun run(*this, TraceRouteTitle(*host, params.FirstHop, params.LastHop));
  StartSampling(TGraphMode::Trace, params.LastHop - params.FirstHop + 1, params.TimeoutSec * 1000);
  if (FIcmpServiceMode)
    run.HandTo(new TTraceRouteThread(NewChannel(), Lookups(), *host, params));
  else
    run.HandTo(new TRawTraceRouteThread(NewChannel(), Lookups(), *host, params));
}

void TOstrekForm::GoNsLookup() {
  const std::optional<QString> name = TakeHost(NSServ_CB, QStringLiteral("NS Lookup"));
  if (!name) return;
  const TNsLookupPage& ns = *NsPage;
  TRun run(*this, NsLookupTitle(*name, HostToAce(*name), ns.Choice()));
  if (ns.Documented()) {
    run.HandTo(new TNsLookupThread(NewChannel(), Lookups(), *name));
    return;
  }
  const QString typed = ns.DnsServ_CB->currentText();
  if (!typed.isEmpty()) AddToHistory(ns.DnsServ_CB);
  const std::optional<TDnsServer> server = ParseDnsServer(typed, ns.Tcp_ChckB->isChecked());
  if (!server) {
    AddOutput(typed + QStringLiteral(" - DNSサーバの指定が正しくありません。"));
    return;
  }
  const TDnsAsk ask{*name, DnsTypesOfChoice(ns.Choice()), *server, ns.Dnssec_ChckB->isChecked(),
                    NSTout_UD->Position() * 1000};
  run.HandTo(new TDnsQueryThread(NewChannel(), Lookups(), ask));
}

void TOstrekForm::GoIpScan() {
  if (Ex_UD1->Position() > Ex_UD2->Position()) Ex_UD2->SetPosition(Ex_UD1->Position());
  WriteBackSpins();
  if (Ex_CB->currentText().isEmpty()) return;
  AddToHistory(Ex_CB);
  const QString prefix = Ex_CB->currentText();
  const int first = Ex_UD1->Position();
  const int last = Ex_UD2->Position();
  TRun run(*this, IpScanTitle(prefix, first, last));
  run.HandTo(
      new TIpScanThread(NewChannel(), Lookups(), prefix, first, last, ExAll_ChckB->isChecked()));
}

void TOstrekForm::GoHttp() {
  if (HHURL_CB->currentText().isEmpty()) return;
  AddToHistory(HHURL_CB);
  const QString url = HHURL_CB->currentText();
  TRun run(*this, QStringLiteral("HttpHead - ") + url);
  const QString scheme = ExtractUrlScheme(url);
  const int defaultPort = SchemeDefaultPort(scheme);
  if (defaultPort == 0) {
    AddOutput(scheme + QStringLiteral(" - このプロトコルはサポートされていません。"));
    return;
  }
  const QString host = ExtractUrlHost(url);
  if (host.isEmpty()) {
    AddOutput(BadHostLine(url));
    return;
  }
  const int port = ExtractUrlPort(url, defaultPort);
  if (port < 1 || port > 65535) {
    // Only 16 bits would reach the socket: refuse rather than connect elsewhere.
    AddOutput(QString::number(port) + QStringLiteral(" - ポート番号が正しくありません。"));
    return;
  }
  const QByteArray request = HttpRequest(
      HTTPGET_RBTN->isChecked(), HostHeaderValue(host, port, defaultPort), ExtractUrlPath(url));
  const bool tls = scheme == u"https";
  run.HandTo(new TTCPThread(NewChannel(), Lookups(), host, request, port, tls));
}

// --- Start, stop and finish -----------------------------------------------------------------

void TOstrekForm::StartQuery(const QString& title) {
  FBusy = true;
  DisableInputs();
  FAnimation =
      new TAnimation(this, [this](const QColor& c, bool advance) { DrawPicture(c, advance); });
  qApp->setWindowIcon(QIcon(QStringLiteral(":/MAINICON")));
  FQueryLines.Clear();
  if (Clear_ChckM->isChecked() || ExtMemo->IsEmpty()) {
    if (Clear_ChckM->isChecked()) ExtMemo->clear();
    FQueryLines.Append({});
    FQueryLines.Append({});
  } else {
    AddOutput(QByteArray());
    AddOutput(QByteArray());
  }
  AddOutput(RunHeader(QDateTime::currentDateTime(), title));
  AddOutput(QByteArray());
}

void TOstrekForm::FinishQuery() {
  WriteHopTable();
  FBusy = false;
  EnableInputs();
  FWorker = nullptr;
  if (FChannel) {
    FChannel->Close();
    FChannel.reset();
  }
  // Asked once; it ends and goes by itself.
  if (FAnimation) FAnimation->Stop();
  FAnimation = nullptr;
  SetStatusText(QString());
  EndSampling();
  WriteQueryLog();
  FQueryLines.Clear();
  qApp->setWindowIcon(QIcon(QStringLiteral(":/SUBICON")));
  update();
  emit QueryFinished();
}

void TOstrekForm::Stop_BtnClick() {
  WriteHopTable();
  AddOutput(QStringLiteral("...中止されました"));
  FBusy = false;
  // The worker's flag first: a worker that has just put its socket in the
  // slot then either sees the flag or has its socket shut down here. Ping
  // and TraceRoute runs wake their own link.
  if (FWorker) FWorker->Stop();
  FWorker = nullptr;
  ActiveSocket.ShutdownAndClear();
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
  ShowWhoisProtocol();
  ActivePage().MainField->setFocus(Qt::OtherFocusReason);
}
