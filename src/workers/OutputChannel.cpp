#include "workers/OutputChannel.h"

TOutputChannel::TOutputChannel(qsizetype capacity) : FCapacity(capacity > 0 ? capacity : 1) {}

void TOutputChannel::SetNotifier(std::function<void()> notifier) {
  std::lock_guard lock(FLock);
  FNotifier = std::move(notifier);
}

bool TOutputChannel::Push(TOutputItem item) {
  std::unique_lock lock(FLock);
  FSpace.wait(lock, [this] { return FClosed || qsizetype(FItems.size()) < FCapacity; });
  if (FClosed) return false;
  FItems.push_back(std::move(item));
  if (!FDrainPending) {
    FDrainPending = true;
    if (FNotifier) FNotifier();
  }
  return true;
}

namespace {
// What laying an item's text out costs, roughly: a character from outside
// ASCII (shaped with fallback fonts) costs far more than an ASCII one.
qsizetype LayoutCost(const QByteArray& text) {
  qsizetype cost = text.size();
  for (char c : text) cost += uchar(c) >= 0x80 ? 7 : 0;
  return cost;
}
}  // namespace

QList<TOutputItem> TOutputChannel::Take(qsizetype max, bool* more, qsizetype maxCost) {
  QList<TOutputItem> taken;
  {
    std::lock_guard lock(FLock);
    const qsizetype n = std::min<qsizetype>(max, qsizetype(FItems.size()));
    taken.reserve(n);
    for (qsizetype i = 0, cost = 0; i < n && cost < maxCost; ++i) {
      cost += LayoutCost(FItems.front().Text);
      taken.append(std::move(FItems.front()));
      FItems.pop_front();
    }
    FDrainPending = !FItems.empty();
    if (more) *more = FDrainPending;
  }
  FSpace.notify_all();
  return taken;
}

void TOutputChannel::Close() {
  {
    std::lock_guard lock(FLock);
    FClosed = true;
    FItems.clear();
    FNotifier = nullptr;
  }
  FSpace.notify_all();
}

bool TOutputChannel::IsClosed() const {
  std::lock_guard lock(FLock);
  return FClosed;
}
