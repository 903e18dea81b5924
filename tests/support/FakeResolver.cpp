#include "FakeResolver.h"

quint64 TFakeResolver::LookupByName(const QByteArray& name, TCallback cb) {
  return Start(name, std::move(cb));
}

quint64 TFakeResolver::LookupByAddr(const TNetAddress& addr, TCallback cb) {
  return Start(addr.ToLatin1(), std::move(cb));
}

quint64 TFakeResolver::Start(const QByteArray& key, TCallback cb) {
  quint64 id;
  {
    std::lock_guard lock(FLock);
    id = ++FNext;
    FRequests.append(key);
    if (!FAnswers.contains(key) && !FMissing.contains(key)) {
      FPending[id] = std::move(cb);
      return id;
    }
  }
  // Answer as a real resolver would: later, from elsewhere. Calling back
  // before the id is returned is allowed too, so do that: it is the harder case.
  if (FAnswers.contains(key))
    cb(id, TLookupResult::Succeeded, FAnswers.value(key));
  else
    cb(id, TLookupResult::Error, THostEntry());
  return id;
}

void TFakeResolver::Cancel(quint64 id) {
  TCallback cb;
  {
    std::lock_guard lock(FLock);
    FCancelled.append(id);
    if (FIgnoreCancel) return;
    auto it = FPending.find(id);
    if (it == FPending.end()) return;
    cb = std::move(it->second);
    FPending.erase(it);
  }
  cb(id, TLookupResult::Cancelled, THostEntry());
}

bool TFakeResolver::Complete(quint64 id, TLookupResult result, const THostEntry& entry) {
  TCallback cb;
  {
    std::lock_guard lock(FLock);
    auto it = FPending.find(id);
    if (it == FPending.end()) return false;
    cb = std::move(it->second);
    FPending.erase(it);
  }
  cb(id, result, entry);
  return true;
}

QList<QByteArray> TFakeResolver::Requests() const {
  std::lock_guard lock(FLock);
  return FRequests;
}

QList<quint64> TFakeResolver::Cancelled() const {
  std::lock_guard lock(FLock);
  return FCancelled;
}

quint64 TFakeResolver::LastId() const {
  std::lock_guard lock(FLock);
  return FNext;
}

int TFakeResolver::PendingCount() const {
  std::lock_guard lock(FLock);
  return int(FPending.size());
}

THostEntry MakeEntry(const QByteArray& name, const QList<QByteArray>& dotted,
                     const QList<QByteArray>& aliases) {
  THostEntry e;
  e.OfficialName = name;
  e.Aliases = aliases;
  for (const QByteArray& d : dotted)
    e.Addresses.append(TNetAddress::Parse(QString::fromLatin1(d)).value_or(TNetAddress()));
  return e;
}
