#pragma once
// Echo requests and what answers them, as bytes on the wire. Shared by
// ostrekon-icmp-helper and the window, so it uses nothing but the language:
// no Qt, no C++ library beyond its headers.
//
// Identifier and sequence are written least significant byte first (not in
// network byte order) and read back the same way, so an answer matches when
// its two bytes equal the two bytes that were sent.
#include <cstddef>
#include <cstdint>
#include <span>

inline constexpr int WireIcmpHeaderSize = 8;
inline constexpr int WireIp4HeaderSize = 20;
inline constexpr int WireIp6HeaderSize = 40;
inline constexpr std::uint8_t WireEchoFiller = 0xAA;

// RFC 1071 Internet checksum, words read least significant byte first: store
// it least significant byte first and the sum is right on the wire.
std::uint16_t WireChecksum(std::span<const std::uint8_t> bytes);

// Fills an echo request in place: type 8 (128 for ICMPv6), code 0,
// identifier, sequence, the send time (32 bits) at offset 8, dataSize - 4
// bytes of 0xAA, and the checksum (left 0 on ICMPv6, where the kernel
// computes it). False, and nothing written, when dataSize < 4 or the buffer
// is shorter than 8 + dataSize.
bool WireBuildEcho(std::span<std::uint8_t> buffer, bool v6, int dataSize, std::uint16_t identifier,
                   std::uint16_t sequence, std::uint32_t sendTime);

// Where the upper-layer header of an IPv6 packet starts: after the fixed
// header and the extension headers a quote may carry (hop-by-hop, routing,
// fragment, destination options, authentication). Its protocol goes to
// *protocol. -1 when the packet ends first, or it is a fragment other than
// the first, which has no upper-layer header.
int WireIp6PayloadAt(std::span<const std::uint8_t> packet, std::uint8_t* protocol);

// What a datagram from a raw socket (IPv4 with its header, ICMPv6 without)
// says about the echo requests of one identifier.
enum class TWireKind : std::uint8_t {
  Other,      // not about them, or too short to tell
  EchoReply,  // an echo reply carrying the identifier
  Error,      // unreachable, packet too big, time exceeded or parameter
              // problem quoting a request that carries it
};
struct TWireEcho {
  TWireKind Kind = TWireKind::Other;
  std::uint16_t Sequence = 0;  // of the reply, or of the quoted request
};
TWireEcho WireReadEcho(std::span<const std::uint8_t> datagram, bool v6, std::uint16_t identifier);

// Whether an address (4 or 16 bytes, network order) names one host: not the
// unspecified address, not a broadcast or multicast address, and on IPv6
// not an IPv4-mapped one.
bool WireIsUnicast(std::span<const std::uint8_t> address);
