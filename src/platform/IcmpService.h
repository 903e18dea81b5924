#pragma once
#include <QtGlobal>
#include <cstdint>
#include <span>

#include "common/NetAddress.h"

// The ICMP echo service for users without raw-socket privilege: echo requests
// over unprivileged ICMP datagram sockets (SOCK_DGRAM, IPPROTO_ICMP; allowed
// for the groups in net.ipv4.ping_group_range). The system builds the packet
// and fills in the identifier; the service matches replies by sequence
// number. Time-to-live expiry and unreachable destinations come from the
// socket's error queue (IP_RECVERR) with the address of the router that
// sent them.

// A handle names one open echo service. Values are never reused within a
// run, so a late close of an old handle cannot touch a newer one.
using TIcmpHandle = std::intptr_t;
inline constexpr TIcmpHandle InvalidHandleValue = -1;

// IP options of a request.
struct TIpOptionInformation {
  quint8 Ttl = 0;          // time-to-live, 1..255
  quint8 Tos = 0;          // type of service
  quint8 Flags = 0;        // IpFlagDontFragment or 0
  quint8 OptionsSize = 0;  // IP options are not supported: 0
  quint8* OptionsData = nullptr;
};
inline constexpr quint8 IpFlagDontFragment = 0x02;

// The reply record written at the start of the reply buffer, followed by the
// echoed data as far as the buffer holds it.
struct TIcmpEchoReply {
  quint32 Address = 0;        // who answered, IPv4, network byte order
  quint32 Status = 0;         // IpSuccess or one of the other statuses below
  quint32 RoundTripTime = 0;  // milliseconds
  quint16 DataSize = 0;       // echoed bytes at Data (echo replies only)
  quint16 Reserved = 0;
  void* Data = nullptr;          // into the reply buffer, just after this record
  TIpOptionInformation Options;  // Ttl: the reply's time-to-live when known
};

// Reply statuses.
inline constexpr quint32 IpSuccess = 0;
inline constexpr quint32 IpDestNetUnreachable = 11002;
inline constexpr quint32 IpDestHostUnreachable = 11003;
inline constexpr quint32 IpDestProtUnreachable = 11004;
inline constexpr quint32 IpDestPortUnreachable = 11005;
inline constexpr quint32 IpPacketTooBig = 11009;
inline constexpr quint32 IpBadRoute = 11012;
inline constexpr quint32 IpTtlExpiredTransit = 11013;
inline constexpr quint32 IpTtlExpiredReassem = 11014;
inline constexpr quint32 IpParamProblem = 11015;

// Opens an echo service. InvalidHandleValue when no ICMP datagram socket can
// be opened (errno tells why: EACCES when the user's group is outside
// net.ipv4.ping_group_range).
TIcmpHandle IcmpCreateFile();

// Sends one echo request with requestSize bytes of requestData to destAddr
// (IPv4, network byte order) and waits at most timeoutMs for the answer.
// Returns 1 with a reply record at the start of replyBuffer, or 0: no answer
// in time, the handle was closed (also while waiting), a bad argument (no
// room for the record, a time-to-live of 0), or the request could not be
// sent. options may be null: the system's time-to-live, fragmentation
// allowed. A request too large for a path that may not fragment it is
// answered with IpPacketTooBig, by a router or by this host.
quint32 IcmpSendEcho(TIcmpHandle handle, quint32 destAddr, const void* requestData,
                     quint16 requestSize, const TIpOptionInformation* options, void* replyBuffer,
                     quint32 replySize, quint32 timeoutMs);

// The same over ICMPv6 datagram sockets (SOCK_DGRAM, IPPROTO_ICMPV6, which
// net.ipv4.ping_group_range allows as well); errors come through
// IPV6_RECVERR. Ttl is the hop limit, Tos the traffic class, and
// IpFlagDontFragment sets IPV6_DONTFRAG.
TIcmpHandle Icmp6CreateFile();

// The reply record of an ICMPv6 request.
struct TIcmp6EchoReply {
  TNetAddress Address;  // who answered
  quint32 Status = 0;
  quint32 RoundTripTime = 0;  // milliseconds
  quint32 Mtu = 0;            // IpPacketTooBig from a router: the path's MTU
};

// As IcmpSendEcho, for a handle of Icmp6CreateFile and an IPv6 destination;
// the reply record goes to *reply, without the echoed data.
quint32 Icmp6SendEcho(TIcmpHandle handle, const TNetAddress& dest, const void* requestData,
                      quint16 requestSize, const TIpOptionInformation* options,
                      TIcmp6EchoReply* reply, quint32 timeoutMs);

// Many requests in flight on one handle, for a run that numbers them itself
// and matches the answers: sends one request with this sequence number and
// returns at once, 0 when it went out, else the errno.
int IcmpPostEcho(TIcmpHandle handle, const TNetAddress& dest, quint16 sequence,
                 std::span<const quint8> data, const TIpOptionInformation& options);
// The next answer to any posted request.
struct TPostedAnswer {
  quint16 Sequence = 0;
  TNetAddress Address;
  quint32 Status = 0;         // IpSuccess for an echo reply
  quint8 Type = 0, Code = 0;  // an error message's, in its family's numbers
};
// Waits at most timeoutMs for it; false when none came, or the handle was
// closed (also while waiting).
bool IcmpAwaitPosted(TIcmpHandle handle, int timeoutMs, TPostedAnswer* answer);

// Closes the handle; from any thread. A call of IcmpSendEcho waiting on it
// returns 0 at once. False when the handle is not open (closed already).
bool IcmpCloseHandle(TIcmpHandle handle);

// The reply status for an ICMP error message: 0 for messages that are no
// answer to an echo request (redirect, source quench, unknown types).
quint32 IcmpErrorStatus(quint8 type, quint8 code);
// The same for ICMPv6 messages: each unreachable code onto the nearest
// status, packet too big onto IpPacketTooBig.
quint32 Icmp6ErrorStatus(quint8 type, quint8 code);
