// One frame of the activity picture drawn and shown: the picture drawn into
// an off-screen image of the window's size, then copied to the "screen".
//   build/bench/PictureBench [frames]   (QT_QPA_PLATFORM=offscreen)
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <cstdio>
#include <cstdlib>

#include "widgets/ActivityPicture.h"

namespace {

const QSize WindowSize(608, 345);  // the design client size

// Microseconds per frame over frames frames; fullCopy copies the whole
// off-screen image, otherwise only the picture's bounds, as a repaint would.
double MeasureUs(int frames, bool fullCopy) {
  const TPictureArea area = PictureArea(510, 608, 76, 160);
  const QPalette palette;
  QImage offscreen(WindowSize, QImage::Format_ARGB32_Premultiplied);
  QImage screen(WindowSize, QImage::Format_ARGB32_Premultiplied);
  offscreen.fill(Qt::lightGray);
  int animFrame = 1;
  QElapsedTimer clock;
  clock.start();
  for (int i = 0; i < frames; ++i) {
    {
      QPainter painter(&offscreen);
      DrawActivityPicture(painter, area, palette, PictureTickColour, animFrame);
    }
    ++animFrame;
    QPainter blit(&screen);
    const QRect copied = fullCopy ? offscreen.rect() : area.Bounds();
    blit.drawImage(copied.topLeft(), offscreen, copied);
  }
  return clock.nsecsElapsed() / 1e3 / frames;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const int frames = argc > 1 ? std::atoi(argv[1]) : 20000;
  MeasureUs(frames / 10 + 1, false);  // warm-up
  std::printf("frames: %d\n", frames);
  std::printf("draw + copy of the picture bounds: %.2f us/frame\n", MeasureUs(frames, false));
  std::printf("draw + copy of the whole window:   %.2f us/frame\n", MeasureUs(frames, true));
  int animFrame = 1;
  QElapsedTimer clock;
  clock.start();
  for (int i = 0; i < frames; ++i, ++animFrame) RenderActivityPicture(PictureTickColour, animFrame);
  std::printf("picture alone (220 x 160):         %.2f us/frame\n",
              clock.nsecsElapsed() / 1e3 / frames);
  return 0;
}
