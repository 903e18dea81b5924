// Streams a large HTTP body from a loopback server into the real window and
// compares it with one bulk load of the same text into the same pane.
//   build/bench/StreamBench [lines]   (run under xvfb-run or QT_QPA_PLATFORM=offscreen)
#include <sys/resource.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>

#include "LoopbackServer.h"
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

long PeakRssMb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss / 1024;
}
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const qint64 lines = argc > 1 ? QByteArray(argv[1]).toLongLong() : 250000;
  const QByteArray line =
      "0123456789 The quick brown fox jumps over the lazy dog 0123456789 abcdefghij\r\n";

  TLoopbackServer server;
  server.SetStream(line, lines, 120);
  TOstrekForm form;
  form.show();
  form.PageControl->setCurrentWidget(form.Http);
  form.HTTPGET_RBTN->setChecked(true);
  form.HHURL_CB->setEditText(QString("http://127.0.0.1:%1/big.txt").arg(server.Port()));
  QApplication::processEvents();

  TStretchMeter meter;
  meter.Start();
  QElapsedTimer t;
  t.start();
  form.Go_Btn->click();
  Idle(form, 120000);
  const double streamSec = t.nsecsElapsed() / 1e9;
  const double stretch = meter.StopMs();
  const qsizetype shown = form.ExtMemo->blockCount() - 1;
  const long rssStream = PeakRssMb();

  // The same text, loaded in one piece into the same pane.
  QString text = form.ExtMemo->toPlainText();
  form.ExtMemo->clear();
  QApplication::processEvents();
  t.restart();
  form.ExtMemo->setPlainText(text);
  QApplication::processEvents();
  const double bulkSec = t.nsecsElapsed() / 1e9;
  text.clear();
  form.ExtMemo->clear();

  // Stop during an endless download: time until the click has taken effect
  // (stop line shown, inputs back) and until the worker has left.
  server.SetStream(line, 0, 30);
  form.Go_Btn->click();
  QElapsedTimer warm;
  warm.start();
  while (warm.elapsed() < 1000) QApplication::processEvents(QEventLoop::AllEvents, 5);
  t.restart();
  form.Stop_Btn->click();
  const double stopMs = t.nsecsElapsed() / 1e6;
  while (TQueryThread::LiveCount() > 0 && t.elapsed() < 5000) QApplication::processEvents();
  const double workerGoneMs = t.nsecsElapsed() / 1e6;

  std::printf("lines streamed        %lld (%lld shown)\n", (long long)lines, (long long)shown);
  std::printf("stream time           %.3f s  -> %.0f lines/s, %.1f MB/s\n", streamSec,
              lines / streamSec, lines * line.size() / streamSec / 1e6);
  std::printf("bulk setPlainText     %.3f s  -> %.0f lines/s\n", bulkSec, lines / bulkSec);
  std::printf("stream / bulk speed   %.2f\n", bulkSec / streamSec);
  std::printf("longest main stretch  %.1f ms\n", stretch);
  std::printf("peak RSS              %ld MB (after stream), %ld MB (end)\n", rssStream,
              PeakRssMb());
  std::printf("stop click returns    %.2f ms; worker gone after %.2f ms\n", stopMs, workerGoneMs);
  return 0;
}
