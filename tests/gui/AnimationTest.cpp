// The activity picture by its pixels, the ticker that animates it, and the
// one-per-form rule of the window animation.
#include <QPainter>
#include <QPointer>
#include <QSignalSpy>
#include <QThread>
#include <QWidget>
#include <QtTest>
#include <set>
#include <stdexcept>

#include "widgets/ActivityPicture.h"
#include "widgets/AnimWnd.h"
#include "widgets/Animation.h"

namespace {

using TPixel = std::pair<int, int>;

struct TSegment {
  int X1, Y1, X2, Y2;
};

// The grid as designed, kept apart from the drawing code's own table.
const TSegment GridLines[] = {
    {16, 0, 0, 3},      {24, 0, 0, 7},      {34, 0, 0, 11},     {43, 0, 0, 16},
    {53, 0, 0, 22},     {61, 0, 0, 29},     {68, 0, 0, 39},     {75, 0, 0, 50},
    {82, 0, 0, 61},     {88, 0, 0, 77},     {95, 0, 0, 99},     {101, 0, 0, 132},
    {107, 0, 16, 159},  {113, 0, 54, 159},  {119, 0, 90, 159},  {126, 0, 126, 159},
    {133, 0, 161, 159}, {139, 0, 198, 159}, {145, 0, 219, 130}, {151, 0, 219, 90},
    {158, 0, 219, 62},  {165, 0, 219, 48},  {171, 0, 219, 36},  {177, 0, 219, 27},
    {183, 0, 219, 20},  {191, 0, 219, 14},  {200, 0, 219, 8},   {209, 0, 219, 3},
    {218, 0, 219, 0}};

// Lines drawn as a pen moves, end points left out: at each step along the
// longer axis the pixel nearest the ideal line (at an exact half, either).
struct TExpectedLines {
  std::set<TPixel> Required, Allowed;

  void Add(const TSegment& s) {
    const bool xMajor = std::abs(s.X2 - s.X1) >= std::abs(s.Y2 - s.Y1);
    const int majorDelta = xMajor ? s.X2 - s.X1 : s.Y2 - s.Y1;
    const int minorDelta = xMajor ? s.Y2 - s.Y1 : s.X2 - s.X1;
    const int steps = std::abs(majorDelta);
    for (int i = 0; i < steps; ++i) {
      const int major = (xMajor ? s.X1 : s.Y1) + (majorDelta > 0 ? i : -i);
      const double minor = (xMajor ? s.Y1 : s.X1) + double(i) * minorDelta / steps;
      const int low = int(std::floor(minor));
      const double above = minor - low;  // exact for halves
      auto at = [&](int m) { return xMajor ? TPixel{major, m} : TPixel{m, major}; };
      if (above <= 0.5) Allowed.insert(at(low));
      if (above >= 0.5) Allowed.insert(at(low + 1));
      if (above != 0.5) Required.insert(at(above < 0.5 ? low : low + 1));
    }
  }
};

// The first fault of the picture against the grid and the cross rows, or "".
QString PictureFault(const QImage& picture, const QList<int>& rows, const QColor& colour) {
  TExpectedLines lines;
  for (const TSegment& s : GridLines) lines.Add(s);
  for (int row : rows) lines.Add({0, row, 219, row});
  for (int y = 0; y < PictureHeight; ++y)
    for (int x = 0; x < PictureWidth; ++x) {
      const QRgb rgb = picture.pixel(x, y);
      const bool allowed = lines.Allowed.count({x, y}), required = lines.Required.count({x, y});
      if ((rgb != colour.rgb() || !allowed) && (rgb != qRgb(0, 0, 0) || required))
        return QStringLiteral("pixel (%1,%2)").arg(x).arg(y);
    }
  return {};
}

// The first pixel that is not as it should be: the area shows the picture
// (black beyond its edges), nothing outside the area's bounds is touched.
QString WindowFault(const QImage& window, const TPictureArea& area, const QImage& picture,
                    QRgb background) {
  const QRect touched = area.Dest.isEmpty() ? QRect() : area.Bounds();
  for (int y = 0; y < window.height(); ++y)
    for (int x = 0; x < window.width(); ++x) {
      const QPoint source = QPoint(x, y) - area.Dest.topLeft() + QPoint(area.SourceLeft, 0);
      const QRgb want = !touched.contains(x, y)           ? background
                        : !area.Dest.contains(x, y)       ? window.pixel(x, y)  // the frame
                        : picture.rect().contains(source) ? picture.pixel(source)
                                                          : qRgb(0, 0, 0);
      if (window.pixel(x, y) != want) return QStringLiteral("pixel (%1,%2)").arg(x).arg(y);
    }
  return {};
}

QPalette FramePalette() {
  QPalette palette;
  palette.setColor(QPalette::Window, QColor(200, 200, 200));
  palette.setColor(QPalette::Dark, QColor(10, 0, 0));
  palette.setColor(QPalette::Shadow, QColor(20, 0, 0));
  palette.setColor(QPalette::Light, QColor(30, 0, 0));
  palette.setColor(QPalette::Midlight, QColor(40, 0, 0));
  return palette;
}

QImage DrawWindow(const TPictureArea& area, const QColor& colour, int& animFrame) {
  QImage window(640, 360, QImage::Format_RGB32);
  window.fill(FramePalette().color(QPalette::Window));
  QPainter painter(&window);
  DrawActivityPicture(painter, area, FramePalette(), colour, animFrame);
  return window;
}

struct TDrawn {
  QColor Colour;
  bool Advance;
  int Frame;  // AnimFrame when the drawing started
  bool OnUiThread;
  int Ticker;
};

// Draws as the window does: the picture for AnimFrame, then a tick's
// increment.
struct TRecorder {
  std::vector<TDrawn> Drawn;
  int AnimFrame = 1;

  TAnimation::TDraw For(int ticker) {
    return [this, ticker](const QColor& colour, bool advance) {
      const bool ui = QThread::currentThread() == QCoreApplication::instance()->thread();
      Drawn.push_back({colour, advance, AnimFrame, ui, ticker});
      RenderActivityPicture(colour, AnimFrame);
      AnimFrame += advance ? 1 : 0;
    };
  }
  int Count(int ticker, bool advance) const {
    return int(std::count_if(Drawn.begin(), Drawn.end(), [&](const TDrawn& d) {
      return d.Ticker == ticker && d.Advance == advance;
    }));
  }
};

}  // namespace

Q_DECLARE_METATYPE(QList<int>)

class AnimationTest : public QObject {
  Q_OBJECT
 private slots:
  void cleanup() { QVERIFY(TAnimation::WaitForAll(10000)); }

  void pictureFrames_data() {
    QTest::addColumn<int>("frame");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<int>("frameAfter");
    const QList<int> fourth{1, 7, 18, 32, 51, 74, 104, 141};
    QTest::newRow("1") << 1 << PictureRestColour << QList<int>{1, 10, 21, 37, 56, 81, 113, 151}
                       << 1;
    QTest::newRow("2") << 2 << PictureTickColour << QList<int>{3, 12, 24, 41, 62, 88, 122} << 2;
    QTest::newRow("3") << 3 << PictureStopColour << QList<int>{5, 15, 28, 46, 68, 96, 131} << 3;
    QTest::newRow("4 resets") << 4 << PictureTickColour << fourth << 0;
    QTest::newRow("0") << 0 << PictureRestColour << fourth << 0;
    QTest::newRow("negative") << -3 << PictureRestColour << fourth << 0;
  }

  void pictureFrames() {
    QFETCH(int, frame);
    QFETCH(QColor, colour);
    QFETCH(QList<int>, rows);
    QFETCH(int, frameAfter);
    const QImage picture = RenderActivityPicture(colour, frame);
    QCOMPARE(picture.size(), QSize(220, 160));
    const QString fault = PictureFault(picture, rows, colour);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    QCOMPARE(frame, frameAfter);
  }

  void pictureArea_data() {
    QTest::addColumn<QList<int>>("layout");  // page width, client width, Stop_Btn bottom, memo top
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("sourceLeft");
    QTest::newRow("design") << QList<int>{510, 608, 76, 160} << QSize(78, 64) << 81;
    QTest::newRow("beyond picture") << QList<int>{0, 301, 0, 200} << QSize(281, 180) << -20;
    QTest::newRow("no room") << QList<int>{600, 608, 76, 160} << QSize(-12, 64) << 126;
  }

  // Each frame, through the window onto the picture.
  void pictureArea() {
    QFETCH(QList<int>, layout);
    QFETCH(QSize, size);
    QFETCH(int, sourceLeft);
    const TPictureArea area = PictureArea(layout[0], layout[1], layout[2], layout[3]);
    QCOMPARE(area.Dest.topLeft(), QPoint(layout[0] + 11, layout[2] + 10));
    QCOMPARE(area.Dest.size(), size);
    QCOMPARE(area.SourceLeft, sourceLeft);
    for (int frame = 1; frame <= 4; ++frame) {
      int drawFrame = frame, pictureFrame = frame;
      const QImage window = DrawWindow(area, PictureTickColour, drawFrame);
      const QImage picture = RenderActivityPicture(PictureTickColour, pictureFrame);
      const QString fault = WindowFault(window, area, picture, qRgb(200, 200, 200));
      QVERIFY2(fault.isEmpty(), qPrintable(fault));
      QCOMPARE(drawFrame, pictureFrame);
    }
  }

  void sunkenFrame() {
    const struct {
      QPoint From, To;  // inclusive
      QPalette::ColorRole Role;
    } segments[] = {
        {{519, 84}, {600, 84}, QPalette::Dark},      {{519, 84}, {519, 151}, QPalette::Dark},
        {{520, 85}, {599, 85}, QPalette::Shadow},    {{520, 85}, {520, 150}, QPalette::Shadow},
        {{599, 85}, {599, 150}, QPalette::Shadow},   {{520, 150}, {599, 150}, QPalette::Shadow},
        {{600, 85}, {600, 151}, QPalette::Midlight}, {{520, 151}, {600, 151}, QPalette::Midlight},
        {{601, 84}, {601, 152}, QPalette::Light},    {{519, 152}, {601, 152}, QPalette::Light}};
    int frame = 1;
    const TPictureArea area = PictureArea(510, 608, 76, 160);
    QCOMPARE(area.Bounds(), QRect(QPoint(519, 84), QPoint(601, 152)));
    const QImage window = DrawWindow(area, PictureRestColour, frame);
    for (const auto& s : segments)
      for (int y = s.From.y(); y <= s.To.y(); ++y)
        for (int x = s.From.x(); x <= s.To.x(); ++x)
          QVERIFY2(window.pixelColor(x, y) == FramePalette().color(s.Role),
                   qPrintable(QStringLiteral("(%1,%2)").arg(x).arg(y)));
  }

  // Frames 1, 2, 3, 4, 1... on the UI thread, then the final frame once.
  void tickerTicksThenStops() {
    TRecorder recorder;
    QObject context;
    QPointer<TAnimation> ticker = new TAnimation(&context, recorder.For(1));
    QTRY_VERIFY(recorder.Drawn.size() >= 6);
    ticker->Stop();
    QTRY_VERIFY(ticker.isNull());
    QTest::qWait(3 * TAnimation::IntervalMs);
    for (size_t i = 0; i < recorder.Drawn.size(); ++i) {
      const TDrawn& d = recorder.Drawn[i];
      const bool last = i + 1 == recorder.Drawn.size();
      QCOMPARE(d.Colour, last ? PictureStopColour : PictureTickColour);
      QCOMPARE(d.Advance, !last);
      QVERIFY(d.OnUiThread);
      if (!last) QCOMPARE(d.Frame, int(i % 4) + 1);
    }
  }

  // The UI thread stops the ticker and waits for it without running its
  // event loop, while the ticker waits for a tick to be drawn.
  void stopWhileUiThreadBusy() {
    TRecorder recorder;
    QObject context;
    auto* ticker = new TAnimation(&context, recorder.For(1));
    QTRY_VERIFY(!recorder.Drawn.empty());
    QThread::msleep(3 * TAnimation::IntervalMs);  // the next tick is posted and awaited
    ticker->Stop();
    QVERIFY(TAnimation::WaitForAll(10000));
    QTRY_COMPARE(recorder.Count(1, false), 1);
    QCOMPARE(recorder.Count(1, true), 1);  // the pending tick was dropped
  }

  void contextDestroyed_data() {
    QTest::addColumn<bool>("stopFirst");
    QTest::newRow("while ticking") << false;
    QTest::newRow("right after Stop") << true;
  }

  // Nothing reaches a destroyed window, and its ticker ends.
  void contextDestroyed() {
    QFETCH(bool, stopFirst);
    TRecorder recorder;
    auto* context = new QObject;
    auto* ticker = new TAnimation(context, recorder.For(1));
    QTRY_VERIFY(!recorder.Drawn.empty());
    if (stopFirst) ticker->Stop();
    delete context;
    const size_t drawn = recorder.Drawn.size();
    QVERIFY(TAnimation::WaitForAll(10000));
    QTest::qWait(3 * TAnimation::IntervalMs);
    QCOMPARE(recorder.Drawn.size(), drawn);
  }

  // A run that starts as soon as the last one finished: the old final frame
  // never lands on the new ticks.
  void restartAfterStop() {
    TRecorder recorder;
    QObject context;
    auto* first = new TAnimation(&context, recorder.For(1));
    QTRY_VERIFY(!recorder.Drawn.empty());
    first->Stop();
    auto* second = new TAnimation(&context, recorder.For(2));
    QTRY_VERIFY(recorder.Count(2, true) >= 1);
    second->Stop();
    QCOMPARE(recorder.Count(1, false), 1);
    QCOMPARE(recorder.Drawn.back().Ticker, 2);
  }

  // One per form; the first keeps reporting minimise and restore.
  void animateWindow() {
    QWidget form, other;
    auto* first = new TAnimateWindow(&form);
    QString message;
    try {
      TAnimateWindow second(&form);
    } catch (const std::runtime_error& e) {
      message = QString::fromUtf8(e.what());
    }
    QCOMPARE(message, QStringLiteral("AnimateWindowはフォームに一つしか置けません"));
    TAnimateWindow elsewhere(&other);
    QSignalSpy minimised(first, &TAnimateWindow::OnMinimize);
    QSignalSpy restored(first, &TAnimateWindow::OnRestore);
    form.show();
    const struct {
      Qt::WindowStates State;
      int Minimised, Restored;
    } steps[] = {{Qt::WindowMinimized, 1, 0},
                 {Qt::WindowNoState, 1, 1},
                 {Qt::WindowMaximized, 1, 1},
                 {Qt::WindowMaximized | Qt::WindowMinimized, 2, 1},
                 {Qt::WindowMaximized, 2, 2}};
    for (const auto& step : steps) {
      form.setWindowState(step.State);
      QCoreApplication::processEvents();
      QCOMPARE(minimised.count(), step.Minimised);
      QCOMPARE(restored.count(), step.Restored);
    }
    delete first;
    TAnimateWindow again(&form);  // the form left the list with it
  }
};

QTEST_MAIN(AnimationTest)
#include "AnimationTest.moc"
