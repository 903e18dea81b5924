#pragma once
#include <sys/socket.h>

#include <QStringView>
#include <optional>

#include "common/NetAddress.h"

// An address and port as the socket calls take them: sockaddr_in for IPv4,
// sockaddr_in6 (with its scope id) for IPv6.
struct TSockAddr {
  sockaddr_storage Storage{};
  socklen_t Length = 0;  // 0 for the null address

  const sockaddr* Get() const { return reinterpret_cast<const sockaddr*>(&Storage); }
  sockaddr* Get() { return reinterpret_cast<sockaddr*>(&Storage); }
  // AF_INET or AF_INET6; AF_UNSPEC for the null address.
  int Family() const { return Storage.ss_family; }
};

// The socket family of an address: AF_INET, AF_INET6, or AF_UNSPEC when null.
int SocketFamily(const TNetAddress& address);

// address and port (host byte order) as a socket address.
TSockAddr ToSockAddr(const TNetAddress& address, quint16 port);

// What a socket call filled in. An IPv4-mapped IPv6 peer is IPv4. Nothing
// for another family or a length too short for its family.
struct TAddressPort {
  TNetAddress Address;
  quint16 Port = 0;  // host byte order
};
std::optional<TAddressPort> FromSockAddr(const sockaddr* addr, socklen_t length);
// The peer a socket is connected to; nothing (errno says why) otherwise.
std::optional<TAddressPort> PeerOf(int fd);

// The scope id of an interface name (if_nametoindex); nothing when there is
// no such interface.
std::optional<quint32> InterfaceScopeId(QStringView name);

// TNetAddress::Parse that also takes an interface name as the zone
// ("fe80::1%eth0").
std::optional<TNetAddress> ParseHostAddress(QStringView text);
