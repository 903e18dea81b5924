#include "widgets/Animation.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "widgets/ActivityPicture.h"

// What the ticker thread and the object share. Ended is set on the UI thread
// only (Stop, destruction); while it is false under Lock, the object is alive
// and may be posted to.
struct TAnimation::TLink {
  std::mutex Lock;
  std::condition_variable Wake;
  bool Ended = false;
  bool TickDone = false;
};

namespace {

struct TTickers {
  std::mutex Lock;
  std::condition_variable AllGone;
  int Live = 0;
};

// Never destroyed: a detached ticker may still be leaving while the process
// exits.
TTickers& Tickers() {
  static auto* tickers = new TTickers;
  return *tickers;
}

void Enter() {
  std::lock_guard lock(Tickers().Lock);
  ++Tickers().Live;
}

void Leave() {
  std::lock_guard lock(Tickers().Lock);
  --Tickers().Live;
  Tickers().AllGone.notify_all();
}

}  // namespace

TAnimation::TAnimation(QObject* context, TDraw draw)
    : QObject(context), FLink(std::make_shared<TLink>()), FDraw(std::move(draw)) {
  Enter();
  try {
    std::thread(&TAnimation::Run, FLink, this).detach();
  } catch (const std::system_error&) {
    Leave();  // no thread to spare: the picture stands still, Stop still ends it
  }
}

TAnimation::~TAnimation() {
  {
    std::lock_guard lock(FLink->Lock);
    FLink->Ended = true;
  }
  FLink->Wake.notify_all();
}

void TAnimation::Stop() {
  {
    std::lock_guard lock(FLink->Lock);
    if (FLink->Ended) return;
    FLink->Ended = true;
  }
  FLink->Wake.notify_all();
  // Queued behind any tick already posted, which sees Ended and draws nothing.
  QMetaObject::invokeMethod(
      this,
      [this] {
        FDraw(PictureStopColour, false);
        deleteLater();
      },
      Qt::QueuedConnection);
}

bool TAnimation::WaitForAll(int msecs) {
  std::unique_lock lock(Tickers().Lock);
  return Tickers().AllGone.wait_for(lock, std::chrono::milliseconds(msecs),
                                    [] { return Tickers().Live == 0; });
}

int TAnimation::LiveCount() {
  std::lock_guard lock(Tickers().Lock);
  return Tickers().Live;
}

void TAnimation::Run(std::shared_ptr<TLink> link, TAnimation* self) {
  TickLoop(*link, self);
  link.reset();
  Leave();
}

// The posting happens under the lock with Ended false, so self is alive;
// if it dies before the tick runs, Qt drops the tick with it.
void TAnimation::TickLoop(TLink& link, TAnimation* self) {
  std::unique_lock lock(link.Lock);
  while (!link.Ended) {
    link.TickDone = false;
    QMetaObject::invokeMethod(
        self, [self] { self->Tick(); }, Qt::QueuedConnection);
    link.Wake.wait(lock, [&] { return link.TickDone || link.Ended; });
    link.Wake.wait_for(lock, std::chrono::milliseconds(IntervalMs), [&] { return link.Ended; });
  }
}

void TAnimation::Tick() {
  {
    std::lock_guard lock(FLink->Lock);
    if (FLink->Ended) return;
  }
  FDraw(PictureTickColour, true);
  {
    std::lock_guard lock(FLink->Lock);
    FLink->TickDone = true;
  }
  FLink->Wake.notify_all();
}
