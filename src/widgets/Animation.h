#pragma once
#include <QColor>
#include <QObject>
#include <functional>
#include <memory>

// The ticker of the activity picture while a query runs. Its thread only
// keeps time: every tick and the final frame are drawn by the draw function
// on the context's (UI) thread. The thread waits for each tick to be drawn,
// then 120 ms, both waits ending at once on Stop or when the context goes
// away, so a UI thread that waits for the ticker can never hang on it.
//
// Use: FAnimation = new TAnimation(window, draw); ...; FAnimation->Stop();
// FAnimation = nullptr. After Stop the owner never touches it again: the
// final frame is drawn from the event loop, then the object deletes itself.
// It is a child of the context, so it never outlives the window and nothing
// it posted reaches a destroyed one.
class TAnimation : public QObject {
  Q_OBJECT
 public:
  // Draws the picture in colour: PictureTickColour with advance true for a
  // tick (the caller then increments AnimFrame), PictureStopColour with
  // advance false once after Stop. Must not delete the ticker.
  using TDraw = std::function<void(const QColor& colour, bool advance)>;

  static constexpr int IntervalMs = 120;

  // Starts ticking at once. context lives on the UI thread.
  TAnimation(QObject* context, TDraw draw);
  ~TAnimation() override;

  // Once, on the context's thread. Pending ticks are dropped; the final
  // frame follows from the event loop.
  void Stop();

  // Shutdown: waits up to msecs for every ticker thread to end (stopped
  // ones end at once). True when none is left.
  static bool WaitForAll(int msecs);
  static int LiveCount();

 private:
  struct TLink;
  static void Run(std::shared_ptr<TLink> link, TAnimation* self);
  static void TickLoop(TLink& link, TAnimation* self);
  void Tick();

  const std::shared_ptr<TLink> FLink;
  const TDraw FDraw;
};
