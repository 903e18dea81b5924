#pragma once
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>

// The longest the event loop went without serving a 1 ms timer while this
// lives, up to now: how long the window would not have answered the user.
class TStallMeter {
 public:
  TStallMeter() {
    QObject::connect(&FProbe, &QTimer::timeout,
                     [this] { FLongest = std::max(FLongest, FTick.restart()); });
    FProbe.start(1);
    FTick.start();
  }
  qint64 LongestMs() const { return std::max(FLongest, FTick.elapsed()); }

 private:
  QTimer FProbe;
  QElapsedTimer FTick;
  qint64 FLongest = 0;
};
