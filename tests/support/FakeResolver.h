#pragma once
#include <QHash>
#include <map>
#include <mutex>

#include "platform/Resolver.h"

// A resolver for window tests: answers from a table at once, or holds
// requests until the test completes them (from any thread), and records
// every request and cancel.
class TFakeResolver : public TResolver {
 public:
  // Names and dotted addresses with an entry answer Succeeded, those in
  // FMissing answer Error, anything else stays pending.
  QHash<QByteArray, THostEntry> FAnswers;
  QList<QByteArray> FMissing;
  // A cancel is only recorded; the request can still complete later.
  bool FIgnoreCancel = false;

  quint64 LookupByName(const QByteArray& name, TCallback cb) override;
  using TResolver::LookupByAddr;
  quint64 LookupByAddr(const TNetAddress& addr, TCallback cb) override;
  void Cancel(quint64 id) override;

  // Ends a pending request as if the answer came late.
  bool Complete(quint64 id, TLookupResult result, const THostEntry& entry);
  QList<QByteArray> Requests() const;
  QList<quint64> Cancelled() const;
  quint64 LastId() const;
  int PendingCount() const;

 private:
  quint64 Start(const QByteArray& key, TCallback cb);

  mutable std::mutex FLock;
  quint64 FNext = 0;
  std::map<quint64, TCallback> FPending;
  QList<QByteArray> FRequests;
  QList<quint64> FCancelled;
};

// An entry with these addresses (IPv4 or IPv6 text), in this order.
THostEntry MakeEntry(const QByteArray& name, const QList<QByteArray>& dotted,
                     const QList<QByteArray>& aliases = {});
