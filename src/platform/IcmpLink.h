#pragma once
#include <QString>
#include <QtGlobal>
#include <memory>
#include <span>

#include "common/NetAddress.h"

// How one Ping or TraceRoute run reaches ICMP: its own raw socket (root),
// the raw-socket helper (an ordinary user), or the echo service's datagram
// sockets. Each run owns its link, and with it its socket, helper or handle
// and the descriptor that wakes it: Stop wakes that run alone.
class TIcmpLink {
 public:
  virtual ~TIcmpLink() = default;
  // From any thread, while the link lives: a pending or later wait of the
  // run returns at once.
  virtual void Wake() = 0;
};

// One echo request of a raw link.
struct TEchoProbe {
  TNetAddress Dest;
  quint16 Sequence = 0;
  int DataSize = 0;
  int HopLimit = 64;  // time-to-live on IPv4, 1..255
  int TrafficClass = 0;
  bool DontFragment = false;
};

// One datagram that came back.
struct TRawArrival {
  int Size = 0;  // bytes in the buffer
  TNetAddress Source;
  int ElapsedMs = 0;     // from its request's send to its arrival
  qint64 ElapsedUs = 0;  // the same in microseconds
};

enum class TLinkResult { Done, Failed, Lost };

// Raw ICMP for one run: the run builds nothing, it describes each request;
// what comes back is the whole datagram (IPv4 with its header, ICMPv6
// without), for the run's judges to read.
class TRawLink : public TIcmpLink {
 public:
  // The identifier of the run's echo requests.
  virtual quint16 Identifier() const = 0;
  // Done when the request went out; Failed when it could not (errno says
  // why); Lost when the link can go on no more (woken, or the helper ended:
  // Failure() says why).
  virtual TLinkResult Send(const TEchoProbe& probe) = 0;
  // Waits at most msecs for the next datagram: Done with it in buffer (cut
  // short when longer) and *arrival filled in, Failed when none came in
  // time, Lost as above.
  virtual TLinkResult Receive(std::span<quint8> buffer, int msecs, TRawArrival* arrival) = 0;
  // Why the link was lost, for the status bar; empty when it was woken.
  virtual QString Failure() const { return {}; }
};

// The run's raw link for a family: its own raw socket when this process may
// open one, else the helper. Null with errno set: this process's own when
// the helper could not even be started, else the helper's.
std::unique_ptr<TRawLink> OpenRawLink(TAddressFamily family);
