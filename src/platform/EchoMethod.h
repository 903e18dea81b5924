#pragma once
#include <QString>

// How Ping and TraceRoute reach ICMP, decided once at start-up, and why the
// better way is closed, in words the user can act on.
struct TEchoMethod {
  bool ServiceMode = false;   // no raw ICMP socket: the ICMP echo service
  QString Reason;             // empty while raw sockets work
  bool ServiceUsable = true;  // in service mode: whether it could open its socket
};

// Tries a raw ICMP socket, and when that fails the echo service's datagram
// socket, keeping the reasons.
TEchoMethod ProbeEchoMethod();

// What a failure to open a raw ICMP socket (or an ICMP datagram socket for
// the echo service) with this errno means, and which privilege or setting
// would fix it.
QString RawIcmpFailure(int error);
QString IcmpServiceFailure(int error);

// Whether a raw and a datagram ICMPv6 socket can be opened now: one line
// each, with the reason and its fix when not.
QString ProbeIcmp6Sockets();
