#include "platform/HostLookup.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "common/Common.h"
#include "common/Idn.h"
#include "common/SjisText.h"
#include "platform/SockAddr.h"

// Shared with the resolver's callbacks, which may run after the lookup (and
// even its owner) is gone.
struct THostLookup::TState {
  std::mutex Lock;
  std::condition_variable Changed;
  bool Stopped = false;
  quint64 Current = 0;  // our number of the lookup being waited for
  bool Ended = false;
  TLookupResult Result = TLookupResult::Error;
  THostEntry Entry;
};

namespace {

quint64 StartByName(TResolver& resolver, const QByteArray& name, const TNetAddress&,
                    TResolver::TCallback cb) {
  return resolver.LookupByName(name, std::move(cb));
}

quint64 StartByAddr(TResolver& resolver, const QByteArray&, const TNetAddress& addr,
                    TResolver::TCallback cb) {
  return resolver.LookupByAddr(addr, std::move(cb));
}

TLookupEnd EndOf(TLookupResult result) {
  switch (result) {
    case TLookupResult::Succeeded:
      return TLookupEnd::Found;
    case TLookupResult::Error:
      return TLookupEnd::NotFound;
    case TLookupResult::TimedOut:
      return TLookupEnd::TimedOut;
    case TLookupResult::Cancelled:
    case TLookupResult::Destroyed:
      break;
  }
  return TLookupEnd::Stopped;
}

}  // namespace

THostLookup::THostLookup(TLookupSetup setup)
    : FSetup(std::move(setup)), FState(std::make_shared<TState>()) {}

TLookupEnd THostLookup::Lookup(const QString& name, THostEntry* entry) {
  if (const auto addr = ParseHostAddress(name)) return LookupAddr(*addr, entry);
  return Run(ToSjis(HostToAce(name)), TNetAddress(), StartByName, entry);
}

TLookupEnd THostLookup::LookupAddr(TNetAddress addr, THostEntry* entry) {
  return Run(QByteArray(), addr, StartByAddr, entry);
}

void THostLookup::Stop() {
  {
    std::lock_guard lock(FState->Lock);
    FState->Stopped = true;
  }
  FState->Changed.notify_all();
}

TLookupEnd THostLookup::Run(const QByteArray& name, const TNetAddress& addr, TStart start,
                            THostEntry* entry) {
  *entry = THostEntry();
  if (!FSetup.Resolver) return TLookupEnd::Refused;
  quint64 number = 0;
  {
    std::lock_guard lock(FState->Lock);
    if (FState->Stopped) return TLookupEnd::Stopped;
    number = ++FState->Current;
    FState->Ended = false;
  }
  // The resolver may answer before it even returns the id: the callback goes
  // by our own number, which a later lookup changes.
  auto done = [state = FState, number](quint64, TLookupResult result, const THostEntry& found) {
    {
      std::lock_guard lock(state->Lock);
      if (state->Current != number) return;
      state->Ended = true;
      state->Result = result;
      state->Entry = found;
    }
    state->Changed.notify_all();
  };
  const quint64 id = start(*FSetup.Resolver, name, addr, done);
  if (id == 0) return TLookupEnd::Refused;

  std::unique_lock lock(FState->Lock);
  FState->Changed.wait_for(lock, std::chrono::milliseconds(FSetup.TimeoutMs),
                           [&] { return FState->Ended || FState->Stopped; });
  const bool ended = FState->Ended && !FState->Stopped;
  const bool stopped = FState->Stopped;
  ++FState->Current;  // whatever still comes for this lookup is dropped
  if (ended) {
    if (FState->Result == TLookupResult::Succeeded) *entry = FState->Entry;
    return EndOf(FState->Result);
  }
  lock.unlock();
  FSetup.Resolver->Cancel(id);
  return stopped ? TLookupEnd::Stopped : TLookupEnd::TimedOut;
}
