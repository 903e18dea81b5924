// IPv4 runs of every tool write the bytes they wrote before the program
// learnt IPv6: the pane's text and the query log, compared with files
// recorded by the program as it was then (tests/data/ipv4_runs). Only what
// changes from run to run is masked: the time in each header and the number
// of milliseconds in a reply line.
//
// Two sets of runs: under dns_netns.sh the lookup tools and Finger, Whois
// and HTTP by name through the system's resolver; under chain_netns.sh Ping
// and TraceRoute across the routers, in both echo methods.
//
// IPV4_RUNS_RECORD=DIR writes the masked files to DIR instead of comparing.
#include <QCheckBox>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <memory>

#include "FormFixture.h"
#include "LoopbackServer.h"
#include "TestStores.h"
#include "common/ProgramDir.h"
#include "widgets/UpDown.h"

namespace {

QString Env(const char* name) { return qEnvironmentVariable(name); }

// The header's time and the round-trip times masked (a time keeps its line's length).
// Latin-1 keeps every byte as one character, whatever the encoding: a
// header's time runs from ">> " to the two blanks before its title.
QByteArray Masked(const QByteArray& bytes) {
  static const QRegularExpression ms(QStringLiteral("(\\d+) ms"));
  QStringList lines = QString::fromLatin1(bytes).split(u'\n');
  for (QString& line : lines) {
    const qsizetype title = line.startsWith(u">> ") ? line.indexOf(u"  ", 3) : -1;
    if (title > 3) line.replace(3, title - 3, QStringLiteral("TIME"));
    QString out;
    qsizetype from = 0;
    for (const QRegularExpressionMatch& m : ms.globalMatch(line)) {
      out += line.mid(from, m.capturedStart() - from) + QString(m.capturedLength(1) - 1, u' ') +
             QStringLiteral("N ms");
      from = m.capturedEnd();
    }
    line = out + line.mid(from);
  }
  return lines.join(u'\n').toLatin1();
}

}  // namespace

class Ipv4BytesNetTest : public QObject, public TFormFixture {
  Q_OBJECT
 private:
  QTemporaryDir FDir;

  // One run: the page, its host field, what is typed, and what is set first.
  struct TStep {
    QWidget* Page;
    QComboBox* Box;
    QString Text;
    std::function<void()> Setup = [] {};
  };

  // Runs the steps, then closes the window; the pane's text as it was then.
  QByteArray RunAll(const QList<TStep>& steps) {
    Form().FLogMode = 1;
    Form().FLogFileName = "runs.log";
    for (const TStep& s : steps) {
      s.Setup();
      Start(s.Page, s.Box, s.Text);
      if (!QTest::qWaitFor([this] { return Idle(); }, 20000)) return "<a run never ended>";
    }
    const QByteArray pane = Pane().join('\n').toUtf8() + '\n';
    return Shut() ? pane : "<a worker outlived the window>";
  }

  // The pane and the log, masked, against the recorded files name.pane and
  // name.log (or written there when recording).
  void Compare(const QString& name, const QByteArray& paneText) {
    const QByteArray pane = Masked(paneText);
    const QByteArray log = Masked(ReadLog(QDir(FDir.path()).filePath("runs.log")));
    const QString record = Env("IPV4_RUNS_RECORD");
    const QString dir = record.isEmpty() ? QStringLiteral(OSTREKON_IPV4_RUNS) : record;
    for (const auto& [suffix, bytes] : {std::pair{".pane", pane}, std::pair{".log", log}}) {
      QFile f(QDir(dir).filePath(name + suffix));
      if (!record.isEmpty()) {
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        continue;
      }
      QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(f.fileName()));
      const QList<QByteArray> want = f.readAll().split('\n'), got = bytes.split('\n');
      for (qsizetype i = 0; i < qMin(want.size(), got.size()); ++i)
        QVERIFY2(got[i] == want[i], qPrintable(QStringLiteral("%1 line %2: %3")
                                                   .arg(name + suffix)
                                                   .arg(i + 1)
                                                   .arg(QString::fromLatin1(got[i]))));
      QCOMPARE(got.size(), want.size());
    }
  }

 private slots:
  void initTestCase() {
    IsolateSettingsStores();
    QVERIFY(FDir.isValid());
    MarkPortable(FDir.path());
    SetProgramDir(FDir.path());
  }
  void cleanup() { QVERIFY(Shut()); }

  // NS Lookup, IP Scan, and Finger (also through a relay), Whois and HTTP to
  // a name, against servers on the well-known ports of the namespace's
  // loopback; Ping and TraceRoute of that name.
  void lookupAndTcpTools() {
    if (Env("DNS_NETNS").isEmpty()) QSKIP("run through dns_netns.sh");
    TLoopbackServer finger("127.0.0.1", 79), whois("127.0.0.1", 43), web("127.0.0.1", 80);
    QVERIFY(finger.Listening() && whois.Listening() && web.Listening());
    finger.SetReply({{"Login: user\r\nNo mail.\r\n"}});
    whois.SetReply({{"Domain Name: EXAMPLE.JP\r\n\r\n", 0}, {"Status: Active\r\n"}});
    web.SetRequestEnd("\r\n\r\n");
    web.SetReply({{"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nhello\r\n"}});
    QVERIFY(Open(TFormDeps{}));
    TOstrekForm& f = Form();
    const QString loop = QStringLiteral("loop.ostrekon.test");
    const QByteArray pane = RunAll({
        {f.NsLookup, f.NSServ_CB, "alias.ostrekon.test"},
        {f.NsLookup, f.NSServ_CB, "192.0.2.2"},
        {f.NsLookup, f.NSServ_CB, "nosuch.ostrekon.test"},
        {f.NsLookup, f.NSServ_CB, "192.0.2.300"},
        {f.NsLookupEx, f.Ex_CB, "192.0.2",
         [&] {
           f.Ex_UD1->SetPosition(1);
           f.Ex_UD2->SetPosition(3);
         }},
        {f.NsLookupEx, f.Ex_CB, "198.51.100",
         [&] {
           f.ExAll_ChckB->setChecked(true);
           f.Ex_UD1->SetPosition(1);
           f.Ex_UD2->SetPosition(4);
         }},
        {f.Finger, f.FngrServ_CB, loop, [&] { f.FngrReq_CB->setEditText("user"); }},
        {f.Finger, f.FngrServ_CB, loop,
         [&] {
           f.FFingerRelay = "127.0.0.1";
           f.FngrWall_ChckB->setChecked(true);
         }},
        {f.Whois, f.WhoisServ_CB, loop,
         [&] {
           f.FngrWall_ChckB->setChecked(false);
           f.WhoisReq_CB->setEditText("example.jp");
         }},
        {f.Whois, f.WhoisServ_CB, "nosuch.ostrekon.test"},
        {f.Http, f.HHURL_CB, "http://" + loop + "/index.html"},
        {f.Http, f.HHURL_CB, "http://127.0.0.1:81/"},
        {f.Ping, f.PngServ_CB, loop,
         [&] {
           f.PngReqNum_UD->SetPosition(2);
           f.PngDelay_UD->SetPosition(100);
         }},
        {f.Ping, f.PngServ_CB, "nosuch.ostrekon.test"},
        {f.TraceRoute, f.TRServ_CB, loop},
    });
    Compare("lookup_tcp", pane);
  }

  // Ping of the target, the blackhole, each unreachable address and with a
  // TTL of 1; TraceRoute to the target and the blackhole; both methods.
  void pingAndTraceRoute() {
    if (Env("CHAIN_TARGET").isEmpty()) QSKIP("run through chain_netns.sh");
    QVERIFY(Open());
    TOstrekForm& f = Form();
    QList<TStep> steps;
    for (const bool service : {false, true}) {
      auto mode = [&f, service] {
        f.FIcmpServiceMode = service;
        f.PngReqNum_UD->SetPosition(2);
        f.PngDelay_UD->SetPosition(100);
        f.PngTout_UD->SetPosition(1);
        f.PngTTL_UD->SetPosition(255);
        f.TRTout_UD->SetPosition(1);
        f.TRMaxHop_UD->SetPosition(4);
      };
      steps += TStep{f.Ping, f.PngServ_CB, Env("CHAIN_TARGET"), mode};
      for (const char* name :
           {"CHAIN_BLACKHOLE", "CHAIN_HOST_UNREACHABLE", "CHAIN_NET_UNREACHABLE", "CHAIN_PROHIBITED"})
        steps += TStep{f.Ping, f.PngServ_CB, Env(name)};
      steps += TStep{f.Ping, f.PngServ_CB, Env("CHAIN_TARGET"), [&f] { f.PngTTL_UD->SetPosition(1); }};
      steps += TStep{f.TraceRoute, f.TRServ_CB, Env("CHAIN_TARGET")};
      steps += TStep{f.TraceRoute, f.TRServ_CB, Env("CHAIN_BLACKHOLE")};
    }
    Compare("ping_trace", RunAll(steps));
  }
};

QTEST_MAIN(Ipv4BytesNetTest)
#include "Ipv4BytesNetTest.moc"
