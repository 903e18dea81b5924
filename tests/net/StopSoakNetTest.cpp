// Every tool stopped at random instants, a few hundred times, against peers
// that stream, trickle or never answer: loopback TCP servers, the silent
// addresses of the namespace chain (chain_netns.sh) and a DNS server that
// never answers. Each run must end with the stop line in the pane and in the
// log, finish exactly once, and leave no descriptor or thread behind. The
// time from the Stop click to the stop line, and until the worker has gone,
// is printed (median and worst); it is not asserted.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTabWidget>
#include <QTextBlock>
#include <QtTest>
#include <algorithm>
#include <functional>
#include <random>

#include "FormFixture.h"
#include "LoopbackServer.h"
#include "SilentDns.h"
#include "TestStores.h"
#include "common/SjisText.h"
#include "platform/HostResolver.h"
#include "widgets/UpDown.h"

namespace {

const QString KStopLine = QStringLiteral("...中止されました");

int EntriesIn(const char* dir) { return QDir(dir).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size(); }

// Lines of "name NNNN", sent in chunks of `perChunk` with `gapMs` between.
QList<TLoopbackServer::TChunk> Lines(const char* name, int chunks, int perChunk, int gapMs) {
  QList<TLoopbackServer::TChunk> reply;
  int n = 0;
  for (int c = 0; c < chunks; ++c) {
    QByteArray bytes;
    for (int i = 0; i < perChunk; ++i) bytes += name + QByteArray::number(n++) + "\r\n";
    reply.append({bytes, gapMs});
  }
  return reply;
}

// The number of entries once it has stayed the same for half a second: the
// test's own servers close their end of a stopped connection a little later.
int Settled(const char* dir) {
  int count = EntriesIn(dir), same = 0;
  while (same < 5) {
    QTest::qWait(100);
    const int now = EntriesIn(dir);
    same = now == count ? same + 1 : 0;
    count = now;
  }
  return count;
}

qint64 Median(std::vector<qint64> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

class StopSoakNetTest : public QObject, public TFormFixture {
  Q_OBJECT
 private:
  struct TCase {
    const char* Name;
    std::function<void()> Start;
  };

  QString FDir;
  TSilentServer FDns;
  TLoopbackServer FStream, FTrickle, FSilent, FFlood;
  std::vector<TCase> FCases;

  static QString Env(const char* name) { return qEnvironmentVariable(name); }

  void Go(QWidget* page, QComboBox* box, const QString& text) {
    Form().PageControl->setCurrentWidget(page);
    box->setEditText(text);
    QTest::mouseClick(Form().Go_Btn, Qt::LeftButton);
  }
  void Ping(const QString& host, bool service) {
    Form().FIcmpServiceMode = service;
    Form().PngReqNum_UD->SetPosition(4);
    Form().PngDelay_UD->SetPosition(500);
    Go(Form().Ping, Form().PngServ_CB, host);
  }
  void Trace(const QString& host, bool service) {
    Form().FIcmpServiceMode = service;
    Form().TRTout_UD->SetPosition(1);
    Form().TRReslvHost_ChckB->setChecked(true);
    Go(Form().TraceRoute, Form().TRServ_CB, host);
  }
  void Http(const TLoopbackServer& server) {
    Go(Form().Http, Form().HHURL_CB,
       QStringLiteral("http://127.0.0.1:%1/soak").arg(server.Port()));
  }
  void Scan(const QString& prefix) {
    Form().Ex_UD1->SetPosition(1);
    Form().Ex_UD2->SetPosition(254);
    Form().ExAll_ChckB->setChecked(true);
    Go(Form().NsLookupEx, Form().Ex_CB, prefix);
  }

  void BuildCases() {
    const QString target = Env("CHAIN_TARGET"), silent = Env("CHAIN_BLACKHOLE");
    const QString unnamed = QStringLiteral("never.ostrekon.test");
    FCases = {
        {"finger stream", [this] { Go(Form().Finger, Form().FngrServ_CB, "127.0.0.1"); }},
        {"finger lookup", [=, this] { Go(Form().Finger, Form().FngrServ_CB, unnamed); }},
        {"whois trickle", [this] { Go(Form().Whois, Form().WhoisServ_CB, "127.0.0.1"); }},
        {"whois lookup", [=, this] { Go(Form().Whois, Form().WhoisServ_CB, unnamed); }},
        {"http stream", [this] { Http(FStream); }},
        {"http trickle", [this] { Http(FTrickle); }},
        {"http silent", [this] { Http(FSilent); }},
        {"http flood", [this] { Http(FFlood); }},
        {"ping target raw", [=, this] { Ping(target, false); }},
        {"ping target service", [=, this] { Ping(target, true); }},
        {"ping silent raw", [=, this] { Ping(silent, false); }},
        {"ping silent service", [=, this] { Ping(silent, true); }},
        {"ping lookup", [=, this] { Ping(unnamed, false); }},
        {"trace silent raw", [=, this] { Trace(silent, false); }},
        {"trace silent service", [=, this] { Trace(silent, true); }},
        {"trace target raw", [=, this] { Trace(target, false); }},
        {"nslookup name", [=, this] { Go(Form().NsLookup, Form().NSServ_CB, unnamed); }},
        {"nslookup address", [this] { Go(Form().NsLookup, Form().NSServ_CB, "192.0.2.5"); }},
        {"ipscan", [this] { Scan("192.0.2"); }},
    };
  }

  // The log holds one entry per run, each ending with the stop line.
  void CheckLog(int runs) const {
    const QList<QByteArray> lines = ReadLog(QDir(FDir).filePath("soak.log")).split('\n');
    const QByteArray stop = ToSjis(KStopLine) + "\r";
    int headers = 0;
    QByteArray lastText;
    for (const QByteArray& line : lines) {
      if (line.startsWith(">> ")) {
        if (headers > 0) QCOMPARE(lastText, stop);
        ++headers;
      } else if (line != "\r" && !line.isEmpty()) {
        lastText = line;
      }
    }
    QCOMPARE(lastText, stop);
    QCOMPARE(headers, runs);
  }

 private slots:
  void initTestCase() {
    if (Env("CHAIN_TARGET").isEmpty()) QSKIP("run through chain_netns.sh");
    FDir = IsolateSettingsStores();
    QVERIFY(FDns.Port() != 0);
    FStream.SetReply(Lines("stream ", 3000, 20, 10));
    FTrickle.SetReply(Lines("trickle ", 300, 1, 100));
    FSilent.SetSilent(true);
    FFlood.SetStream("flood: a line as fast as the peer can send it\r\n", 0, 30);
    TFormDeps deps;
    deps.Resolver = std::make_shared<THostResolver>(FDns.Setup());
    deps.FingerPort = FStream.Port();
    deps.WhoisPort = FTrickle.Port();
    QVERIFY(Open(deps));
    Form().Clear_ChckM->setChecked(true);
    Form().FLogMode = 1;
    Form().FLogFileName = "soak.log";
    BuildCases();
  }
  void cleanupTestCase() {
    if (FForm) QVERIFY(Shut());
  }

  void everyToolStopsCleanlyAtAnyInstant() {
    const int runs = qEnvironmentVariableIntValue("SOAK_RUNS") > 0
                         ? qEnvironmentVariableIntValue("SOAK_RUNS")
                         : 300;
    const unsigned seed = qEnvironmentVariableIsSet("SOAK_SEED")
                              ? unsigned(qEnvironmentVariableIntValue("SOAK_SEED"))
                              : 20261207u;
    qInfo("seed %u, %d runs", seed, runs);
    std::mt19937 rng(seed);
    int finished = 0;
    connect(FForm.get(), &TOstrekForm::QueryFinished, this, [&finished] { ++finished; });

    std::vector<qint64> toLine, toGone;
    int fds = 0, threads = 0;
    for (int run = 0; run < runs; ++run) {
      const TCase& c = FCases[rng() % FCases.size()];
      // One stop in eight at once, the others within 400 ms.
      const int delay = rng() % 8 == 0 ? 0 : int(rng() % 400);
      const QByteArray what = QByteArray("run ") + QByteArray::number(run) + ": " + c.Name +
                              ", stop after " + QByteArray::number(delay) + " ms";
      finished = 0;
      c.Start();
      QVERIFY2(Form().IsBusy(), what.constData());
      if (delay > 0) QTest::qWait(delay);
      QVERIFY2(Form().IsBusy(), what.constData());

      QElapsedTimer clock;
      clock.start();
      QTest::mouseClick(Form().Stop_Btn, Qt::LeftButton);
      toLine.push_back(clock.nsecsElapsed() / 1000);
      QVERIFY2(LastLine() == KStopLine, what.constData());
      const int lines = Form().ExtMemo->LineCount();
      QTRY_VERIFY2_WITH_TIMEOUT(TQueryThread::LiveCount() == 0, what.constData(), 5000);
      toGone.push_back(clock.nsecsElapsed() / 1000);
      // The worker's descriptors go with the worker, which deletes itself
      // once its end has been signalled here.
      QCoreApplication::processEvents();
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      QVERIFY2(finished == 1, what.constData());
      QVERIFY2(LastLine() == KStopLine && Form().ExtMemo->LineCount() == lines,
               what.constData());
      if (run == 0) {
        fds = Settled("/proc/self/fd");
        threads = Settled("/proc/self/task");
      }
    }
    // Descriptors close and threads end as their work does; give the last
    // ones a moment.
    QTRY_COMPARE_WITH_TIMEOUT(EntriesIn("/proc/self/fd"), fds, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(EntriesIn("/proc/self/task"), threads, 5000);
    CheckLog(runs);
    qInfo("stops %d; Stop click to stop line: median %lld us, worst %lld us; "
          "to worker gone: median %lld us, worst %lld us; descriptors %d, threads %d",
          runs, Median(toLine), *std::max_element(toLine.begin(), toLine.end()),
          Median(toGone), *std::max_element(toGone.begin(), toGone.end()), fds, threads);
  }
};

QTEST_MAIN(StopSoakNetTest)
#include "StopSoakNetTest.moc"
