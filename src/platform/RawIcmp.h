#pragma once
#include <QtGlobal>
#include <span>

#include "common/NetAddress.h"

#include <QDeadlineTimer>

// Raw ICMP sockets of this process: socket(AF_INET, SOCK_RAW, IPPROTO_ICMP).
// They need CAP_NET_RAW, which root has; an ordinary user's runs go through
// the helper instead (IcmpLink.h). A datagram comes back whole, IPv4 header
// included.

// Opens a raw ICMP socket (close-on-exec, blocking). It never receives echo
// requests: on loopback the host's own outgoing requests would otherwise
// arrive before each reply. Returns the descriptor, or -1 with errno set.
int OpenRawIcmp();

// The same for ICMPv6: socket(AF_INET6, SOCK_RAW, IPPROTO_ICMPV6), with an
// ICMP6_FILTER that lets through echo replies, destination unreachable,
// packet too big and time exceeded alone. The kernel computes the checksum;
// datagrams come back without their IPv6 header.
int OpenRawIcmp6();

// Whether a socket failed for want of a privilege or permission.
bool IsPermissionError(int error);

// The socket options the workers set; each returns false when the system
// refuses it.
// Every receive waits at most msecs (> 0) milliseconds.
bool SetReceiveTimeout(int fd, int msecs);
// Time-to-live of the requests sent from now on (1..255, -1: the system's);
// the hop limit (IPV6_UNICAST_HOPS) on an IPv6 socket, raw or datagram.
bool SetTtl(int fd, int ttl);
// on: the don't-fragment flag is set and nothing is fragmented (a request
// larger than the path allows fails); off: the flag is clear and large
// requests are fragmented. IPV6_DONTFRAG on an IPv6 socket.
bool SetDontFragment(int fd, bool on);

// Type of service on IPv4, traffic class on IPv6.
bool SetTrafficClass(int fd, int value);

// Sends one ICMP message to destAddr (IPv4, network byte order). True when
// the whole message was handed to the system.
bool SendIcmp(int fd, quint32 destAddr, std::span<const quint8> message);

// The same to an address of the socket's family.
bool SendIcmp(int fd, const TNetAddress& dest, std::span<const quint8> message);

// Receives one datagram into buffer (cut short when longer). Returns its byte
// count and its source address (network byte order) in *sourceAddr when
// given; -1 on time-out, error, or when the socket was shut down (Stop).
int ReceiveIcmp(int fd, std::span<quint8> buffer, quint32* sourceAddr = nullptr);
// The same with the source of either family, and recv flags.
int ReceiveIcmp(int fd, std::span<quint8> buffer, TNetAddress* source, int flags = 0);

// A run's wake descriptor (an eventfd): Wake makes it readable for good.
void WakeEventFd(int fd);
// Waits until fd is readable (1), wakeFd is (-1), or the deadline passes (0).
int WaitReadable(int fd, int wakeFd, const QDeadlineTimer& deadline);
