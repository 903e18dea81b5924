#pragma once
#include <span>

#include "common/NetAddress.h"
#include "platform/IcmpService.h"
#include "workers/IcmpPacket.h"

// How a run reaches ICMP: a raw socket or the echo service, over IPv4 or
// IPv6. A worker picks its transport once, from the target's family, when
// the run starts; after that nothing in it asks for the family.

// Raw sockets: the worker builds each request and judges what arrives.
struct TRawTransport {
  int (*Open)();  // the raw socket, or -1 with errno set
  // Fills one echo request; false when dataSize does not fit the buffer.
  bool (*Build)(std::span<quint8> request, int dataSize, quint32 sequence);
  // A received datagram in ICMP's words, so that one judge serves both.
  TIcmpDatagram (*Decode)(std::span<const quint8> received);
};

// What one call of the echo service gave.
struct TServiceAnswer {
  quint32 Replies = 0;  // 0: no answer
  TNetAddress Address;
  quint32 Status = 0;
  int RoundTripMs = 0;
  quint32 Mtu = 0;  // IPv6, packet too big from a router
};

// The echo service over ICMP datagram sockets: the system builds the
// requests and matches the replies; the answer is the service's status.
struct TServiceTransport {
  TIcmpHandle (*Create)();  // InvalidHandleValue with errno set
  // One request with data to dest; reply is room for the service's record.
  TServiceAnswer (*Echo)(TIcmpHandle handle, const TNetAddress& dest,
                         std::span<const quint8> data, const TIpOptionInformation& options,
                         std::span<quint8> reply, quint32 timeoutMs);
};

const TRawTransport& RawTransportFor(TAddressFamily family);
const TServiceTransport& ServiceTransportFor(TAddressFamily family);
