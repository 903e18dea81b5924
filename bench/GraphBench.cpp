// The statistics panel's cost: one frame of the graph with 999 requests
// (replies and losses), and, through the namespace chain, the longest stall
// of the window during a 999-request Ping at the shortest delay with the
// panel shown and hidden.
//   QT_QPA_PLATFORM=offscreen build/bench/GraphBench [frames]
//   QT_QPA_PLATFORM=offscreen bash tests/net/chain_netns.sh build/bench/GraphBench
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

#include "StallMeter.h"
#include "TestStores.h"
#include "main/OstrekMain.h"
#include "widgets/GraphPanel.h"
#include "widgets/UpDown.h"

namespace {

// Microseconds per frame of a 999-request graph the size of a wide panel.
double FrameUs(int frames, TGraphMode mode) {
  TGraphPanel panel(nullptr);
  panel.StartRun(mode, 999, 1000);
  for (int n = 1; n <= 999; ++n) {
    const bool lost = n % 37 == 0;
    panel.AddSample({n, QStringLiteral("203.0.113.2"),
                     lost ? std::nullopt : std::optional<int>(5 + (n * 7919) % 40),
                     lost ? TSampleKind::TimedOut : TSampleKind::Reply});
  }
  panel.Graph->resize(900, 220);
  QImage image(panel.Graph->size(), QImage::Format_ARGB32_Premultiplied);
  panel.Graph->render(&image);  // warm-up: fonts, caches
  QElapsedTimer clock;
  clock.start();
  for (int i = 0; i < frames; ++i) panel.Graph->render(&image);
  return clock.nsecsElapsed() / 1e3 / frames;
}

// The longest the window's event loop stood still during the run, in ms.
qint64 PingStallMs(const QString& target, bool shown) {
  TOstrekForm form;
  form.resize(720, 560);
  form.show();
  form.GraphPanel->setVisible(shown);
  form.PageControl->setCurrentWidget(form.Ping);
  form.PngServ_CB->setEditText(target);
  // BENCH_COUNT: another request count, to see how the stall grows with it.
  const int count = qEnvironmentVariableIntValue("BENCH_COUNT");
  form.PngReqNum_UD->SetPosition(count > 0 ? count : 999);
  form.PngDelay_UD->SetPosition(100);
  form.PngTout_UD->SetPosition(1);
  // The panel's first show (layout, fonts) is done before the run is measured.
  QElapsedTimer settle;
  settle.start();
  while (settle.elapsed() < 300) QApplication::processEvents(QEventLoop::AllEvents, 50);
  TStallMeter meter;
  form.Go_Btn->click();
  while (!form.Go_Btn->isEnabled()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  std::printf("  %zu samples, %s\n", form.GraphPanel->Stats().Samples().size(),
              qPrintable(form.StatusPanel->text()));
  return meter.LongestMs();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  IsolateSettingsStores();
  const int frames = argc > 1 ? std::atoi(argv[1]) : 200;
  std::printf("one frame of the Ping graph, 999 requests:   %.0f us\n",
              FrameUs(frames, TGraphMode::Ping));
  std::printf("one frame of 999 TraceRoute bars (worst case): %.0f us\n",
              FrameUs(frames, TGraphMode::Trace));
  const QString target = qEnvironmentVariable("CHAIN_TARGET");
  if (target.isEmpty()) return 0;
  for (const bool shown : {false, true}) {
    std::printf("999 requests every 100 ms to %s, panel %s:\n", qPrintable(target),
                shown ? "shown" : "hidden");
    std::printf("  longest stall of the window: %lld ms\n", PingStallMs(target, shown));
  }
  return 0;
}
