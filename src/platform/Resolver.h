#pragma once
#include <QByteArray>
#include <QList>
#include <QtGlobal>
#include <functional>

#include "common/NetAddress.h"

// What a lookup found.
struct THostEntry {
  QByteArray OfficialName;    // canonical name
  QList<QByteArray> Aliases;  // other names (a CNAME alias shows up here)
  // The IPv4 addresses, then the IPv6 ones, each family in the answer's
  // order; at most 256 in all.
  QList<TNetAddress> Addresses;
};

enum class TLookupResult { Succeeded, Error, TimedOut, Cancelled, Destroyed };

// Asynchronous forward and reverse lookups. Every request ends exactly once,
// through its callback, on whatever thread the resolver likes.
class TResolver {
 public:
  using TCallback = std::function<void(quint64 id, TLookupResult, const THostEntry&)>;
  virtual ~TResolver() = default;
  // Return the request id, or 0 when the request is refused (no callback).
  virtual quint64 LookupByName(const QByteArray& name, TCallback cb) = 0;
  virtual quint64 LookupByAddr(const TNetAddress& addr, TCallback cb) = 0;
  // An IPv4 address in network byte order.
  quint64 LookupByAddr(quint32 addrNetOrder, TCallback cb) {
    return LookupByAddr(TNetAddress::FromIPv4(addrNetOrder), std::move(cb));
  }
  // The request ends with Cancelled unless it has ended already.
  virtual void Cancel(quint64 id) = 0;
};
