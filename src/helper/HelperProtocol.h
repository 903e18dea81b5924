#pragma once
// What the window and ostrekon-icmp-helper say to each other over their
// Unix socket pair (SOCK_SEQPACKET: one message per record). Plain C++: the
// helper links nothing but libc.
//
// The helper is a probe server for one run. The window asks it once for a
// raw socket of one family (THelperOpen); the helper answers with
// THelperReady, which names the identifier it chose for the run's echo
// requests. Then the window describes each echo request (THelperProbe) and
// the helper builds and sends it, and answers with THelperAnswer records:
// one Sent or SendFailed for each request, and one Received for each
// datagram that answers one of the run's requests, the datagram after it.
// A request it cannot take ends the helper with Refused and its reason.
// The run ends when the window closes its end of the pair.
#include <cstdint>

#include "common/ToolValues.h"

// The file name of the helper, beside the program or in its libexec directory.
inline constexpr char IcmpHelperName[] = "ostrekon-icmp-helper";

// The helper finds its end of the pair on this descriptor, and nowhere else.
inline constexpr int HelperPairFd = 3;

inline constexpr std::uint32_t HelperMagic = 0x4f524b32;  // "ORK2"
inline constexpr std::uint16_t HelperVersion = 2;

// The sockets the helper opens, numbered by their protocol (ICMP 1,
// ICMPv6 58); no other number is a kind.
enum class THelperSocket : std::uint16_t { RawIcmpV4 = 1, RawIcmpV6 = 58 };

// Bounds of a request: the data sizes of the Ping page, any hop limit but
// 0, and requests at no more than this rate (a burst of this many, then as
// many a second).
inline constexpr int HelperMinDataSize = PingSizeValue.Min;
inline constexpr int HelperMaxDataSize = PingSizeValue.Max;
inline constexpr int HelperRequestsPerSecond = 100;

// The first record from the window.
struct THelperOpen {
  std::uint32_t Magic = HelperMagic;
  std::uint16_t Version = HelperVersion;
  std::uint16_t Kind = std::uint16_t(THelperSocket::RawIcmpV4);
};

// The helper's answer to it. Error 0: the socket is open, the helper holds
// no capability any more and waits for requests. Otherwise the errno of the
// failure, and the helper has ended: EPERM when it lacks cap_net_raw,
// EINVAL for a malformed record, EAFNOSUPPORT for an unknown kind.
struct THelperReady {
  std::uint32_t Magic = HelperMagic;
  std::int32_t Error = 0;
  std::uint16_t Identifier = 0;  // of every echo request of the run
  std::uint16_t Reserved = 0;
};

// One echo request to send. Every byte counts: reserved bytes are 0.
struct THelperProbe {
  std::uint32_t Magic = HelperMagic;
  std::uint16_t Sequence = 0;
  std::uint16_t DataSize = HelperMinDataSize;
  std::uint8_t HopLimit = 64;      // time-to-live on IPv4, 1..255
  std::uint8_t TrafficClass = 0;   // IPv4 type of service, IPv6 traffic class
  std::uint8_t DontFragment = 0;   // 0 or 1
  std::uint8_t Reserved = 0;
  std::uint32_t ScopeId = 0;       // IPv6 only: the interface of a link-local address
  std::uint8_t Address[16] = {};   // network order; IPv4 in the first 4 bytes, the rest 0
};

enum class THelperEvent : std::uint16_t { Sent = 1, SendFailed = 2, Received = 3, Refused = 4 };

// Why the helper refused a request and ended.
enum class THelperRefusal : std::int32_t {
  Malformed = 1,     // not a whole record of the right kind
  NotUnicast = 2,    // a broadcast, multicast or unspecified destination
  DataSize = 3,      // outside HelperMinDataSize..HelperMaxDataSize
  HopLimit = 4,      // 0
  Rate = 5,          // faster than HelperRequestsPerSecond
};

struct THelperAnswer {
  std::uint32_t Magic = HelperMagic;
  std::uint16_t Event = 0;     // THelperEvent
  std::uint16_t Sequence = 0;  // Sent, SendFailed: the request's
  std::int32_t Error = 0;      // SendFailed: errno; Refused: THelperRefusal
  // Received: from the request's send to the datagram's arrival, both taken
  // in the helper.
  std::uint32_t ElapsedMicroseconds = 0;
  std::uint32_t SourceScopeId = 0;
  std::uint8_t Source[16] = {};  // Received: who sent it, as Address above
};

// A Received record's datagram, after the answer, is cut to this length:
// the largest echo reply the bounds allow, with IPv4 options.
inline constexpr int HelperMaxDatagram = 60 + 8 + HelperMaxDataSize;
