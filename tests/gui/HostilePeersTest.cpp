// HTTP runs against loopback peers that misbehave: 100 MB without a line
// end, one byte a second, a reset in the middle of a line, binary noise.
// Each time every received byte reaches the pane and the log in order (the
// pieces the worker's own line handling makes of them), and Stop works. The
// longest main-thread stall and the peak memory are printed, not asserted.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <random>

#include "FormFixture.h"
#include "LoopbackServer.h"
#include "StallMeter.h"
#include "TestStores.h"
#include "common/Cp932.h"
#include "common/ProgramDir.h"
#include "common/SjisConv.h"
#include "common/SjisText.h"
#include "workers/LineSplitter.h"

namespace {

// The lines the TCP worker makes of a whole reply. The shift modes of the
// code conversion live for the whole process: both this and the run start
// from none.
QList<QByteArray> Pieces(const QByteArray& reply) {
  ResetShiftModes();
  QList<QByteArray> lines;
  TLineSplitter splitter([&lines](const QByteArray& line) { lines.append(ConvertToSjis(line)); });
  splitter.Feed(reply);
  splitter.Finish();
  ResetShiftModes();
  return lines;
}

QByteArray Noise(qsizetype size, unsigned seed) {
  std::mt19937 rng(seed);
  QByteArray bytes(size, Qt::Uninitialized);
  for (char& c : bytes) c = char(rng());
  return bytes;
}

qint64 PeakRssKb() {
  QFile status("/proc/self/status");
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').first().toLongLong();
  return 0;
}

void ResetPeakRss() {
  QFile refs("/proc/self/clear_refs");
  if (refs.open(QIODevice::WriteOnly)) refs.write("5");
}

}  // namespace

class HostilePeersTest : public QObject, public TFormFixture {
  Q_OBJECT
 private:
  QTemporaryDir FDir;
  TLoopbackServer FServer;

  void StartHttp() {
    Form().PageControl->setCurrentWidget(Form().Http);
    Form().HHURL_CB->setEditText(QStringLiteral("http://127.0.0.1:%1/").arg(FServer.Port()));
    QTest::mouseClick(Form().Go_Btn, Qt::LeftButton);
    QVERIFY(Form().IsBusy());
  }
  // The log after the header and its empty line. (A line may hold CR and
  // LF bytes of its own, so it is compared whole.)
  QByteArray LogBody() const {
    const QByteArray log = ReadLog(QDir(FDir.path()).filePath("hostile.log"));
    return log.mid(log.indexOf("\r\n\r\n", log.indexOf(">> ")) + 4);
  }
  // Waits for the run to end by itself, with the stall and peak memory
  // printed; the pane and the log hold exactly `expected`.
  void RunToEnd(const char* what, const QList<QByteArray>& expected, int timeoutMs) {
    ResetPeakRss();
    const qint64 before = PeakRssKb();
    const TStallMeter stalls;
    StartHttp();
    QTRY_VERIFY_WITH_TIMEOUT(Idle(), timeoutMs);
    qInfo("%s: %lld lines, longest stall %lld ms, peak memory +%lld MB", what,
          qlonglong(expected.size()), stalls.LongestMs(), (PeakRssKb() - before) / 1024);
    QStringList shown;
    for (const QByteArray& line : expected) shown.append(SjisLineToUnicode(line));
    QVERIFY(Body() == shown);
    QVERIFY(LogBody() == expected.join("\r\n") + "\r\n");
  }
  // Starts a run, waits until the pane shows `lines` lines of it, then stops
  // it.
  void StopAfter(const char* what, int lines, int timeoutMs) {
    const TStallMeter stalls;
    StartHttp();
    // The header, an empty line, the lines.
    QTRY_VERIFY_WITH_TIMEOUT(Form().ExtMemo->LineCount() >= 2 + lines, timeoutMs);
    QTest::mouseClick(Form().Stop_Btn, Qt::LeftButton);
    QCOMPARE(LastLine(), QStringLiteral("...中止されました"));
    QTRY_COMPARE(TQueryThread::LiveCount(), 0);
    QTRY_VERIFY(FServer.ClientWentAway());
    qInfo("%s, stopped: longest stall %lld ms", what, stalls.LongestMs());
  }

 private slots:
  void initTestCase() {
    IsolateSettingsStores();
    MarkPortable(FDir.path());
    SetProgramDir(FDir.path());
  }
  void init() {
    QFile::remove(QDir(FDir.path()).filePath("hostile.log"));
    QVERIFY(Open());
    Form().Clear_ChckM->setChecked(true);
    Form().FLogMode = 1;
    Form().FLogFileName = "hostile.log";
    FServer.SetReset(false);
  }
  void cleanup() { QVERIFY(Shut()); }

  void hundredMegabytesWithoutALineEnd() {
    QByteArray block;
    for (int i = 0; block.size() < 1000; ++i) block += QByteArray::number(i) + ',';
    block.truncate(1000);
    FServer.SetStream(block, 100000, 120);
    RunToEnd("100 MB, no line end", Pieces(block.repeated(100000)), 120000);
    FServer.SetStream(block, 0, 30);
    StopAfter("endless line", 1000, 10000);
  }

  void oneBytePerSecond() {
    QList<TLoopbackServer::TChunk> reply;
    for (char c : QByteArray("ok\r\nnext")) reply.append({QByteArray(1, c), 1000});
    FServer.SetReply(reply);
    StopAfter("one byte a second", 1, 10000);
    QCOMPARE(Body().first(), QByteArray("ok"));
  }

  void resetInTheMiddleOfALine() {
    FServer.SetReply({{"first line\r\nsecond ha"}});
    FServer.SetReset(true);
    RunToEnd("reset", {"first line", "second ha"}, 5000);
  }

  void binaryNoise() {
    const QByteArray noise = Noise(1 << 20, 11);
    FServer.SetReply({{noise}});
    RunToEnd("1 MB of noise", Pieces(noise), 30000);
    FServer.SetStream(Noise(4096, 12), 0, 30);
    StopAfter("endless noise", 1000, 10000);
  }
};

QTEST_MAIN(HostilePeersTest)
#include "HostilePeersTest.moc"
