#pragma once
#include <memory>
#include <span>

#include "common/NetAddress.h"
#include "platform/IcmpLink.h"
#include "platform/IcmpService.h"
#include "workers/IcmpPacket.h"

// How a run reaches ICMP: a raw link (IcmpLink.h) or the echo service, over
// IPv4 or IPv6. A worker opens its run's link once, for the target's
// family, when the run starts; after that nothing in it asks for the family.

// Raw links hand back whole datagrams; this reads those of a family in
// ICMP's words, so that one judge serves both.
using TRawDecoder = TIcmpDatagram (*)(std::span<const quint8> received);
TRawDecoder RawDecoderFor(TAddressFamily family);

// What one call of the echo service gave.
struct TServiceAnswer {
  quint32 Replies = 0;  // 0: no answer
  TNetAddress Address;
  quint32 Status = 0;
  int RoundTripMs = 0;
  quint32 Mtu = 0;  // IPv6, packet too big from a router
};

// The echo service over ICMP datagram sockets, for one run: the system
// builds the requests and matches the replies; the answer is the service's
// status. Waking closes the run's handle, which ends a pending call at once.
class TServiceLink : public TIcmpLink {
 public:
  // The run's handle for family; null with errno set.
  static std::unique_ptr<TServiceLink> Open(TAddressFamily family);
  ~TServiceLink() override;
  TServiceLink(const TServiceLink&) = delete;
  TServiceLink& operator=(const TServiceLink&) = delete;

  void Wake() override;
  // One request with data to dest; reply is room for the service's record.
  TServiceAnswer Echo(const TNetAddress& dest, std::span<const quint8> data,
                      const TIpOptionInformation& options, std::span<quint8> reply,
                      quint32 timeoutMs) const;
  // Many requests in flight: one more, and the next answer to any of them.
  int Post(const TNetAddress& dest, quint16 sequence, std::span<const quint8> data, int ttl) const;
  bool AwaitPosted(int timeoutMs, TPostedAnswer* answer) const;

 private:
  TServiceLink(TIcmpHandle handle, TAddressFamily family) : FHandle(handle), FFamily(family) {}

  const TIcmpHandle FHandle;
  const TAddressFamily FFamily;
};
