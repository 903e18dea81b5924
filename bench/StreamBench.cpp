// Streams a large HTTP body from a loopback server into the real window:
// memory over the idle window, speed against one bulk load of the same text
// into a plain text editor set up as the pane used to be, the longest time
// the main thread stayed away, find over the streamed text, and Stop.
//   build/bench/StreamBench [lines [--stream-only]]   (run under xvfb-run or
//   QT_QPA_PLATFORM=offscreen)
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "LoopbackServer.h"
#include "TimeFind.h"
#include "main/OstrekMain.h"
#include "widgets/ExtMemo.h"
#include "workers/QueryThread.h"

namespace {
// Longest time the main thread stayed away from its event loop, sampled by a
// zero-interval timer.
class TStretchMeter : public QObject {
 public:
  TStretchMeter() {
    connect(&FTimer, &QTimer::timeout, this, [this] {
      const qint64 now = FClock.nsecsElapsed();
      if (FLast > 0) FLongest = std::max(FLongest, now - FLast);
      FLast = now;
    });
  }
  void Start() {
    FLongest = FLast = 0;
    FClock.start();
    FTimer.start(0);
  }
  double StopMs() {
    FTimer.stop();
    return FLongest / 1e6;
  }

 private:
  QTimer FTimer;
  QElapsedTimer FClock;
  qint64 FLast = 0;
  qint64 FLongest = 0;
};

void Idle(TOstrekForm& form, int limitMs) {
  QElapsedTimer t;
  t.start();
  while (!form.Go_Btn->isEnabled() && t.elapsed() < limitMs)
    QApplication::processEvents(QEventLoop::AllEvents, 5);
}

void Settle(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

// VmRSS or VmHWM (the peak) of this process, in MB.
double StatusMb(const char* field) {
  QFile status("/proc/self/status");
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith(field))
      return line.mid(int(qstrlen(field)) + 1).trimmed().split(' ')[0].toDouble() / 1024;
  return -1;
}

// The same text loaded in one piece into a plain text editor as the pane
// was before it kept its lines as bytes: no wrap, read-only, no undo.
double BulkLoadSeconds(const TExtMemo& pane) {
  QPlainTextEdit old;
  old.setLineWrapMode(QPlainTextEdit::NoWrap);
  old.setReadOnly(true);
  old.setUndoRedoEnabled(false);
  old.setFont(pane.font());
  old.resize(pane.size());
  old.show();
  QString text = pane.toPlainText();
  QApplication::processEvents();
  QElapsedTimer t;
  t.start();
  old.setPlainText(text);
  QApplication::processEvents();
  return t.nsecsElapsed() / 1e9;
}
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const qint64 lines = argc > 1 ? QByteArray(argv[1]).toLongLong() : 250000;
  const QByteArray line =
      "0123456789 The quick brown fox jumps over the lazy dog 0123456789 abcdefghij\r\n";

  TLoopbackServer server;
  server.SetStream(line, lines, 120);
  QTemporaryDir dir;
  TFormDeps deps;
  deps.ChooseSaveFile = [&dir](QWidget*, const QString&) { return dir.filePath("saved.txt"); };
  TOstrekForm form(deps);
  form.show();
  form.PageControl->setCurrentWidget(form.Http);
  form.HTTPGET_RBTN->setChecked(true);
  form.HHURL_CB->setEditText(QString("http://127.0.0.1:%1/big.txt").arg(server.Port()));
  Settle(300);
  const double idleMb = StatusMb("VmRSS:");

  TStretchMeter meter;
  meter.Start();
  QElapsedTimer t;
  t.start();
  form.Go_Btn->click();
  Idle(form, 600000);
  const double streamSec = t.nsecsElapsed() / 1e9;
  const double stretch = meter.StopMs();
  const double peakMb = StatusMb("VmHWM:");
  const double afterMb = StatusMb("VmRSS:");
  const qsizetype shown = form.ExtMemo->LineCount();
  // The text as saved: Shift_JIS bytes with CR LF.
  const double textMb = lines * double(line.size()) / (1 << 20);

  std::printf("lines streamed        %lld (%lld in the pane)\n", (long long)lines,
              (long long)shown);
  std::printf("stream time           %.3f s  -> %.0f lines/s, %.1f MB/s\n", streamSec,
              lines / streamSec, lines * line.size() / streamSec / 1e6);
  std::printf("longest main stretch  %.1f ms\n", stretch);
  std::printf("RSS idle %.0f MB, after %.0f MB, peak %.0f MB\n", idleMb, afterMb, peakMb);
  std::printf("peak - idle           %.0f MB = %.2f x the text (%.1f MB with CR LF)\n",
              peakMb - idleMb, (peakMb - idleMb) / textMb, textMb);
  // For a heap profile of the stream alone.
  if (argc > 2 && QByteArray(argv[2]) == "--stream-only") return 0;

  form.ExtMemo->AppendLines(QStringLiteral("the needle at the end"), false);
  const int end = form.ExtMemo->TextLength();
  const struct {
    const char* Name;
    const char* Text;
    bool Down;
    int From;
  } finds[] = {
      {"down, found at the end", "needle", true, 0},
      {"down, not found", "nowhere", true, 0},
      {"up, found at the start", "big.txt", false, end},
      {"up, not found", "nowhere", false, end},
  };
  for (const auto& f : finds) {
    const double ms = TimeFind(form, f.Text, f.Down, f.From);
    const bool found = form.ExtMemo->SelLength() > 0;
    std::printf("find %-22s %7.1f ms%s\n", f.Name, ms, found ? "" : " (none)");
  }

  // The pane's commands over the whole text.
  const std::pair<const char*, std::function<void()>> commands[] = {
      {"select all, copy",
       [&] {
         form.SelectAll_ExPMClick();
         form.Copy_ExPMClick();
       }},
      {"copy all", [&] { form.CpAll_ExMMClick(); }},
      {"save as", [&] { form.Save_ExMMClick(); }},
      {"end, top",
       [&] {
         form.End_ExPMClick();
         form.Top_ExPMClick();
       }},
      {"font change", [&] { form.FontDialogApply(QFont(form.ExtMemo->font().family(), 14)); }},
      {"delete last line", [&] { form.ExtMemo->DeleteLastLine(); }},
  };
  for (const auto& [name, run] : commands) {
    t.restart();
    run();
    QApplication::processEvents();
    std::printf("%-22s %7.1f ms\n", name, t.nsecsElapsed() / 1e6);
  }
  std::printf("saved                 %lld bytes\n",
              (long long)QFile(dir.filePath("saved.txt")).size());

  const double bulkSec = BulkLoadSeconds(*form.ExtMemo);
  std::printf("bulk load (old pane)  %.3f s  -> %.0f lines/s\n", bulkSec, lines / bulkSec);
  std::printf("stream / bulk time    %.2f\n", streamSec / bulkSec);
  form.ExtMemo->clear();

  // Stop during an endless download: time until the click has taken effect
  // (stop line shown, inputs back) and until the worker has left.
  server.SetStream(line, 0, 30);
  form.Go_Btn->click();
  Settle(1000);
  t.restart();
  form.Stop_Btn->click();
  const double stopMs = t.nsecsElapsed() / 1e6;
  while (TQueryThread::LiveCount() > 0 && t.elapsed() < 5000) QApplication::processEvents();
  const double workerGoneMs = t.nsecsElapsed() / 1e6;
  std::printf("stop click returns    %.2f ms; worker gone after %.2f ms\n", stopMs, workerGoneMs);
  return 0;
}
