#pragma once
#include <QtGlobal>
#include <algorithm>
#include <span>

#include "common/Common.h"

// ICMP echo requests as the raw-socket workers send them, and the IPv4
// datagrams a raw ICMP socket hands back. Pure functions over bytes.
//
// Identifier and sequence are written least significant byte first (not in
// network byte order) and read back the same way, so a reply matches when
// its two bytes equal the two bytes that were sent.

inline constexpr int IpHeaderSize = 20;     // without options
inline constexpr int MaxIpHeaderSize = 60;  // with 40 bytes of options
inline constexpr int MinEchoDataSize = 4;   // the send time must fit
inline constexpr quint8 EchoFiller = 0xAA;

// Bytes of one echo request carrying dataSize bytes of data.
constexpr int EchoRequestSize(int dataSize) { return IcmpHeaderSize + dataSize; }

// Receive buffer for the replies to such a request: the reply with its echoed
// data, and in any case room for an error message that quotes our request's
// headers even when both IP headers carry options.
constexpr int ReceiveBufferSize(int dataSize) {
  return std::max(IpHeaderSize + IcmpHeaderSize + dataSize, 2 * (MaxIpHeaderSize + IcmpHeaderSize));
}

// The identifier of every echo request of this program run: the low 16 bits
// of the process id.
quint16 EchoIdentifier();

// Fills one echo request in place: type 8, code 0, identifier, sequence (its
// low 16 bits), the send time (32 bits) at offset 8, dataSize - 4 bytes of
// 0xAA, and the checksum at offset 2. Writes nothing and returns false when
// dataSize < 4 or the buffer is shorter than EchoRequestSize(dataSize).
bool BuildEchoRequest(std::span<quint8> buffer, int dataSize, quint32 sequence, quint16 identifier,
                      quint32 sendTime);
// The same with EchoIdentifier() and TickCount() now.
bool BuildEchoRequest(std::span<quint8> buffer, int dataSize, quint32 sequence);

// What the datagram quoted by a destination-unreachable or time-exceeded
// message is.
enum class TQuote {
  None,         // not such an error message
  TooShort,     // the quote ends before the quoted ICMP header's 8 bytes
  OtherPacket,  // a whole quote, but not of an ICMP echo request
  EchoRequest,  // an echo request: see FQuotedIdentifier, FQuotedSequence
};

// One received datagram, IPv4 header included.
struct TIcmpDatagram {
  // A whole IPv4 header carrying ICMP and a whole 8-byte ICMP header after
  // it. Nothing below is meaningful without it.
  bool FValid = false;
  int FIpHeaderLength = 0;  // from the header length field: 20 to 60
  quint32 FSourceAddr = 0;  // network byte order
  quint8 FType = 0;
  quint8 FCode = 0;
  quint16 FIdentifier = 0;  // read least significant byte first
  quint16 FSequence = 0;    // read least significant byte first
  TQuote FQuote = TQuote::None;
  quint32 FQuotedDestAddr = 0;  // network byte order; with OtherPacket, EchoRequest
  quint16 FQuotedIdentifier = 0;
  quint16 FQuotedSequence = 0;
  // The path MTU of an ICMPv6 packet too big message, which is also an
  // unreachable destination here; 0 for every other message.
  quint32 FMtu = 0;
};

// Decodes the received bytes (exactly the count that the receive returned).
// The ICMP part is found through the header length, so IP options are
// skipped; a datagram too short for its headers is not valid.
TIcmpDatagram DecodeIcmpReply(std::span<const quint8> datagram);

// ICMPv6 as raw and datagram ICMPv6 sockets hand it over: no IP header, and
// the kernel computes the checksum.
inline constexpr int Ip6HeaderSize = 40;

// An ICMPv6 echo request: as BuildEchoRequest, with type 128 and the
// checksum left 0 for the kernel.
bool BuildEcho6Request(std::span<quint8> buffer, int dataSize, quint32 sequence);

// Decodes an ICMPv6 message (no IP header) into the same record the judges
// read, in ICMP's words: echo reply, destination unreachable (packet too
// big too, with FMtu), time exceeded; FCode keeps the ICMPv6 code. The quote
// is an IPv6 header without extension headers and the request's ICMPv6
// header. FIpHeaderLength and FSourceAddr stay 0: the source comes from the
// receive call.
TIcmpDatagram DecodeIcmp6Reply(std::span<const quint8> message);

// True for destination unreachable and time exceeded, the messages that
// quote the datagram that caused them.
bool IsIcmpError(quint8 type);

// Whether an error message quotes our echo request with this identifier and
// sequence (the low 16 bits of the sequence number). False too when the quote
// is too short to tell: check FQuote == TQuote::TooShort for that.
bool QuotesEchoRequest(const TIcmpDatagram& datagram, quint16 identifier, quint32 sequence);

// Whether the datagram is an echo reply with this identifier (any sequence).
bool IsEchoReplyFor(const TIcmpDatagram& datagram, quint16 identifier);
