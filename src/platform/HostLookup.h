#pragma once
#include <QString>
#include <memory>

#include "platform/Resolver.h"

// Where a run's lookups go and how long one may take.
struct TLookupSetup {
  std::shared_ptr<TResolver> Resolver;  // null: every lookup is refused
  int TimeoutMs = 5000;
  bool PreferIPv6 = false;  // a name's IPv6 addresses before its IPv4 ones
};

// How one lookup ended.
enum class TLookupEnd {
  Found,     // the entry is filled in
  NotFound,  // the resolver answered with an error
  TimedOut,  // no answer within the time-out (or the resolver gave up)
  Stopped,   // Stop came first, or the resolver went away
  Refused,   // the resolver did not take the request
};

// The lookups of one run, one at a time, on whatever thread asks: each waits
// for the resolver's answer, its time-out or Stop, whichever comes first,
// woken by the resolver's callback (no polling). A lookup that times out or
// is stopped is cancelled in the resolver, and an answer that still comes
// reaches no later lookup.
class THostLookup {
 public:
  explicit THostLookup(TLookupSetup setup);

  // An address (IPv4 or IPv6 text) is looked up in reverse, anything else
  // by name (a Japanese name in its ACE form, HostToAce).
  TLookupEnd Lookup(const QString& name, THostEntry* entry);
  // Reverse lookup of an address: a copy, as it may come from entry itself.
  TLookupEnd LookupAddr(TNetAddress addr, THostEntry* entry);

  // Any thread: the pending lookup and every later one end Stopped at once.
  void Stop();

 private:
  struct TState;
  using TStart = quint64 (*)(TResolver&, const QByteArray&, const TNetAddress&,
                             TResolver::TCallback);
  TLookupEnd Run(const QByteArray& name, const TNetAddress& addr, TStart start,
                 THostEntry* entry);

  const TLookupSetup FSetup;
  const std::shared_ptr<TState> FState;
};
