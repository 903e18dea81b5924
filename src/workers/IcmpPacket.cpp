#include "workers/IcmpPacket.h"

#include <unistd.h>

#include <cstring>

#include "common/Common.h"
#include "helper/ProbeWire.h"

namespace {

constexpr quint8 IpProtocolIcmp = 1;

// Offsets inside an IPv4 header and an ICMP header.
constexpr int IpProtocolAt = 9;
constexpr int IpSourceAt = 12;
constexpr int IpDestAt = 16;
constexpr int IcmpIdentifierAt = 4;
constexpr int IcmpSequenceAt = 6;

quint16 ReadLsbFirst16(const quint8* at) { return quint16(at[0] | (at[1] << 8)); }

// Addresses stay in network byte order: copied, not interpreted.
quint32 ReadAddress(const quint8* at) {
  quint32 addr;
  std::memcpy(&addr, at, sizeof addr);
  return addr;
}

// Version 4, a header length of at least 20 bytes, protocol ICMP. Needs the
// 20 bytes of the fixed header.
bool IsIcmpOverIpv4(std::span<const quint8> header) {
  return (header[0] >> 4) == 4 && (header[0] & 0x0F) * 4 >= IpHeaderSize &&
         header[IpProtocolAt] == IpProtocolIcmp;
}

int IpHeaderLength(std::span<const quint8> header) { return (header[0] & 0x0F) * 4; }

// Whether bytes hold an IPv4 header carrying ICMP and, after its options,
// the whole 8-byte ICMP header.
bool HoldsIcmpHeader(std::span<const quint8> bytes) {
  return bytes.size() >= size_t(IpHeaderSize) && IsIcmpOverIpv4(bytes) &&
         bytes.size() >= size_t(IpHeaderLength(bytes) + IcmpHeaderSize);
}

// Reads the datagram quoted after an error message's ICMP header. RFC 792
// quotes the IP header and 8 bytes of the ICMP header: enough for the
// identifier and sequence of an echo request.
void DecodeQuote(std::span<const quint8> quote, TIcmpDatagram& datagram) {
  if (quote.size() < size_t(IpHeaderSize)) {
    datagram.FQuote = TQuote::TooShort;
    return;
  }
  datagram.FQuotedDestAddr = ReadAddress(&quote[IpDestAt]);
  if (!IsIcmpOverIpv4(quote)) {
    datagram.FQuote = TQuote::OtherPacket;
    return;
  }
  if (!HoldsIcmpHeader(quote)) {
    datagram.FQuote = TQuote::TooShort;
    return;
  }
  const quint8* icmp = &quote[size_t(IpHeaderLength(quote))];
  if (icmp[0] != IcmpEchoRequest || icmp[1] != 0) {
    datagram.FQuote = TQuote::OtherPacket;
    return;
  }
  datagram.FQuote = TQuote::EchoRequest;
  datagram.FQuotedIdentifier = ReadLsbFirst16(icmp + IcmpIdentifierAt);
  datagram.FQuotedSequence = ReadLsbFirst16(icmp + IcmpSequenceAt);
}

// The ICMPv6 types the judges know, as the ICMP type of the same meaning;
// 0xFF for the rest (neighbour discovery and the like), which no judge takes.
quint8 Icmp6AsIcmpType(quint8 type) {
  switch (type) {
    case Icmp6EchoReply:
      return IcmpEchoReply;
    case Icmp6EchoRequest:
      return IcmpEchoRequest;
    case Icmp6DestUnreachable:
    case Icmp6PacketTooBig:
      return IcmpDestUnreachable;
    case Icmp6TimeExceeded:
      return IcmpTimeExceeded;
    default:
      return 0xFF;
  }
}

constexpr quint8 Ip6ProtocolIcmp = 58;

// RFC 4443 quotes as much of the offending packet as fits in 1280 bytes: the
// IPv6 header, any extension headers (a Fragment header when the request
// was larger than the path), and the request's ICMPv6 header.
void DecodeQuote6(std::span<const quint8> quote, TIcmpDatagram& datagram) {
  quint8 protocol = 0;
  const int at = WireIp6PayloadAt(quote, &protocol);
  if (quote.size() < size_t(Ip6HeaderSize + IcmpHeaderSize) ||
      (at >= 0 && protocol == Ip6ProtocolIcmp && quote.size() < size_t(at + IcmpHeaderSize))) {
    datagram.FQuote = TQuote::TooShort;
    return;
  }
  const quint8* icmp = at >= 0 ? &quote[size_t(at)] : nullptr;
  if (!icmp || protocol != Ip6ProtocolIcmp || icmp[0] != Icmp6EchoRequest || icmp[1] != 0) {
    datagram.FQuote = TQuote::OtherPacket;
    return;
  }
  datagram.FQuote = TQuote::EchoRequest;
  datagram.FQuotedIdentifier = ReadLsbFirst16(icmp + IcmpIdentifierAt);
  datagram.FQuotedSequence = ReadLsbFirst16(icmp + IcmpSequenceAt);
}

}  // namespace

quint16 EchoIdentifier() { return quint16(::getpid()); }

bool BuildEchoRequest(std::span<quint8> buffer, int dataSize, quint32 sequence, quint16 identifier,
                      quint32 sendTime) {
  return WireBuildEcho(buffer, false, dataSize, identifier, quint16(sequence), sendTime);
}

bool BuildEchoRequest(std::span<quint8> buffer, int dataSize, quint32 sequence) {
  return BuildEchoRequest(buffer, dataSize, sequence, EchoIdentifier(), TickCount());
}

bool BuildEcho6Request(std::span<quint8> buffer, int dataSize, quint32 sequence) {
  return WireBuildEcho(buffer, true, dataSize, EchoIdentifier(), quint16(sequence), TickCount());
}

TIcmpDatagram DecodeIcmp6Reply(std::span<const quint8> message) {
  TIcmpDatagram result;
  if (message.size() < size_t(IcmpHeaderSize)) return result;
  const quint8* icmp = message.data();
  result.FValid = true;
  result.FType = Icmp6AsIcmpType(icmp[0]);
  result.FCode = icmp[1];
  result.FIdentifier = ReadLsbFirst16(icmp + IcmpIdentifierAt);
  result.FSequence = ReadLsbFirst16(icmp + IcmpSequenceAt);
  if (icmp[0] == Icmp6PacketTooBig)
    result.FMtu = quint32(icmp[4] << 24 | icmp[5] << 16 | icmp[6] << 8 | icmp[7]);
  if (IsIcmpError(result.FType)) DecodeQuote6(message.subspan(size_t(IcmpHeaderSize)), result);
  return result;
}

bool IsIcmpError(quint8 type) { return type == IcmpDestUnreachable || type == IcmpTimeExceeded; }

TIcmpDatagram DecodeIcmpReply(std::span<const quint8> datagram) {
  TIcmpDatagram result;
  if (!HoldsIcmpHeader(datagram)) return result;
  const int headerLength = IpHeaderLength(datagram);
  const quint8* icmp = &datagram[headerLength];
  result.FValid = true;
  result.FIpHeaderLength = headerLength;
  result.FSourceAddr = ReadAddress(&datagram[IpSourceAt]);
  result.FType = icmp[0];
  result.FCode = icmp[1];
  result.FIdentifier = ReadLsbFirst16(icmp + IcmpIdentifierAt);
  result.FSequence = ReadLsbFirst16(icmp + IcmpSequenceAt);
  if (IsIcmpError(result.FType))
    DecodeQuote(datagram.subspan(size_t(headerLength + IcmpHeaderSize)), result);
  return result;
}

bool QuotesEchoRequest(const TIcmpDatagram& datagram, quint16 identifier, quint32 sequence) {
  return datagram.FValid && datagram.FQuote == TQuote::EchoRequest &&
         datagram.FQuotedIdentifier == identifier && datagram.FQuotedSequence == quint16(sequence);
}

bool IsEchoReplyFor(const TIcmpDatagram& datagram, quint16 identifier) {
  return datagram.FValid && datagram.FType == IcmpEchoReply && datagram.FIdentifier == identifier;
}
