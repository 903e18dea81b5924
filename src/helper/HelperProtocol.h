#pragma once
// What the window and ostrekon-icmp-helper say to each other over their
// Unix socket pair (SOCK_SEQPACKET: one message per record). Plain C++: the
// helper links nothing but libc.
#include <cstdint>

// The file name of the helper, beside the program or in its libexec directory.
inline constexpr char IcmpHelperName[] = "ostrekon-icmp-helper";

// The helper finds its end of the pair on this descriptor, and nowhere else.
inline constexpr int HelperPairFd = 3;

inline constexpr std::uint32_t HelperMagic = 0x4f524b31;  // "ORK1"
inline constexpr std::uint16_t HelperVersion = 1;

// The sockets the helper opens, numbered by their protocol (ICMP 1,
// ICMPv6 58); no other number is a kind.
enum class THelperSocket : std::uint16_t { RawIcmpV4 = 1, RawIcmpV6 = 58 };

// The one request, sent by the window before the helper starts.
struct THelperRequest {
  std::uint32_t Magic = HelperMagic;
  std::uint16_t Version = HelperVersion;
  std::uint16_t Kind = std::uint16_t(THelperSocket::RawIcmpV4);
};

// The one reply. Error 0: the socket travels with it (SCM_RIGHTS); otherwise
// the errno of the failure, and no descriptor: EPERM when the helper lacks
// cap_net_raw, EINVAL for a malformed request, EAFNOSUPPORT for an unknown kind.
struct THelperReply {
  std::uint32_t Magic = HelperMagic;
  std::int32_t Error = 0;
};
