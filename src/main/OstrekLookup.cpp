// Host lookups of the window: one at a time, with the time-out of the NS
// Lookup page, ended early by Stop.

#include <QEventLoop>
#include <QMetaObject>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "common/SjisText.h"
#include "main/OstrekMain.h"
#include "platform/HostResolver.h"
#include "widgets/UpDown.h"

// One lookup in flight: the resolver's callback fills it in; the waiter
// (main thread or a worker) reads it. Each lookup has its own, so a late
// completion can never touch the next lookup's result.
struct TOstrekForm::TPendingLookup {
  std::mutex Lock;
  std::condition_variable Done;
  bool Ended = false;
  bool Stopped = false;
  TLookupResult Result = TLookupResult::Error;
  THostEntry Entry;
  QEventLoop* Loop = nullptr;  // main thread only
};

void TOstrekForm::SetResolver(std::shared_ptr<TResolver> resolver) {
  FResolver = std::move(resolver);
}

TResolver& TOstrekForm::Resolver() {
  if (!FResolver) FResolver = std::make_shared<THostResolver>();
  return *FResolver;
}

bool TOstrekForm::LookupHost(const QString& name, bool report, THostEntry* result) {
  const bool onMain = QThread::currentThread() == thread();
  const QString status = QStringLiteral("ホスト情報取得中...(") + name + QStringLiteral(")");
  if (onMain)
    SetStatusText(status);
  else
    PostStatusText(status);
  THostEntry& entry = result ? *result : FHostEntry;
  entry = THostEntry();

  auto pending = std::make_shared<TPendingLookup>();
  auto callback = [this, pending, onMain](quint64, TLookupResult r, const THostEntry& found) {
    {
      std::lock_guard lock(pending->Lock);
      pending->Ended = true;
      pending->Result = r;
      pending->Entry = found;
    }
    pending->Done.notify_all();
    if (onMain)
      QMetaObject::invokeMethod(
          this,
          [pending] {
            if (pending->Loop) pending->Loop->quit();
          },
          Qt::QueuedConnection);
  };
  quint32 addr = 0;
  TResolver& resolver = Resolver();
  const quint64 id = ParseDottedAddress(name, &addr)
                         ? resolver.LookupByAddr(addr, callback)
                         : resolver.LookupByName(ToSjis(name), callback);
  if (id == 0) return false;
  {
    std::lock_guard lock(FPendingLock);
    FPending = pending;
  }
  const int timeoutMs = FLookupTimeoutSec.load() * 1000;
  if (onMain)
    WaitOnMainThread(*pending, timeoutMs);
  else
    WaitOnWorkerThread(*pending, timeoutMs);
  {
    std::lock_guard lock(FPendingLock);
    if (FPending == pending) FPending.reset();
  }

  std::unique_lock lock(pending->Lock);
  if (!pending->Ended) {
    lock.unlock();
    resolver.Cancel(id);
    if (report && FBusy) AddOutput(name + QStringLiteral(" - 探索タイムアウト"));
    return false;
  }
  if (pending->Result == TLookupResult::Succeeded && !pending->Stopped) {
    entry = pending->Entry;
    return true;
  }
  const bool stopped = pending->Stopped || pending->Result == TLookupResult::Cancelled ||
                       pending->Result == TLookupResult::Destroyed;
  lock.unlock();
  if (report && FBusy && !stopped) {
    if (pending->Result == TLookupResult::TimedOut)
      AddOutput(name + QStringLiteral(" - 探索タイムアウト"));
    else
      AddOutput(name + QStringLiteral(" - 見つかりません"));
  }
  return false;
}

void TOstrekForm::WaitOnMainThread(TPendingLookup& pending, int timeoutMs) {
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  timer.setTimerType(Qt::PreciseTimer);  // a coarse timer may fire 5% early
  connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  {
    std::lock_guard lock(pending.Lock);
    if (pending.Ended || pending.Stopped || !FBusy) return;
    pending.Loop = &loop;
  }
  timer.start(timeoutMs);
  loop.exec();
  std::lock_guard lock(pending.Lock);
  pending.Loop = nullptr;
}

void TOstrekForm::WaitOnWorkerThread(TPendingLookup& pending, int timeoutMs) {
  std::unique_lock lock(pending.Lock);
  pending.Done.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                        [&] { return pending.Ended || pending.Stopped || !FBusy; });
}

// Stop: the pending lookup (if any) returns false at once, without a line.
void TOstrekForm::StopPendingLookup() {
  std::shared_ptr<TPendingLookup> pending;
  {
    std::lock_guard lock(FPendingLock);
    pending = FPending;
  }
  if (!pending) return;
  {
    std::lock_guard lock(pending->Lock);
    pending->Stopped = true;
    if (pending->Loop) pending->Loop->quit();
  }
  pending->Done.notify_all();
}

void TOstrekForm::PostStatusText(const QString& text) {
  const quint64 run = FRunNumber.load();
  QMetaObject::invokeMethod(
      this,
      [this, text, run] {
        if (FBusy && run == FRunNumber.load()) SetStatusText(text);
      },
      Qt::QueuedConnection);
}
