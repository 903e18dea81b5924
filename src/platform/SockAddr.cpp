#include "platform/SockAddr.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

int SocketFamily(const TNetAddress& address) {
  if (address.IsIPv4()) return AF_INET;
  return address.IsIPv6() ? AF_INET6 : AF_UNSPEC;
}

TSockAddr ToSockAddr(const TNetAddress& address, quint16 port) {
  TSockAddr result;
  if (address.IsIPv4()) {
    auto* in = reinterpret_cast<sockaddr_in*>(&result.Storage);
    in->sin_family = AF_INET;
    in->sin_port = htons(port);
    in->sin_addr.s_addr = address.IPv4NetOrder();
    result.Length = sizeof(sockaddr_in);
  } else if (address.IsIPv6()) {
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&result.Storage);
    in6->sin6_family = AF_INET6;
    in6->sin6_port = htons(port);
    std::memcpy(&in6->sin6_addr, address.Bytes().data(), sizeof in6->sin6_addr);
    in6->sin6_scope_id = address.ScopeId();
    result.Length = sizeof(sockaddr_in6);
  }
  return result;
}

std::optional<TAddressPort> FromSockAddr(const sockaddr* addr, socklen_t length) {
  if (!addr || length < socklen_t(sizeof(sa_family_t))) return std::nullopt;
  if (addr->sa_family == AF_INET && length >= socklen_t(sizeof(sockaddr_in))) {
    sockaddr_in in;
    std::memcpy(&in, addr, sizeof in);
    return TAddressPort{TNetAddress::FromIPv4(in.sin_addr.s_addr), ntohs(in.sin_port)};
  }
  if (addr->sa_family == AF_INET6 && length >= socklen_t(sizeof(sockaddr_in6))) {
    sockaddr_in6 in6;
    std::memcpy(&in6, addr, sizeof in6);
    TNetAddress::TBytes bytes;
    std::memcpy(bytes.data(), &in6.sin6_addr, bytes.size());
    return TAddressPort{TNetAddress::FromIPv6(bytes, in6.sin6_scope_id), ntohs(in6.sin6_port)};
  }
  return std::nullopt;
}

std::optional<quint32> InterfaceScopeId(QStringView name) {
  const QByteArray latin = name.toLatin1();
  if (latin.isEmpty() || latin.size() >= IF_NAMESIZE || latin.contains('\0')) return std::nullopt;
  const unsigned index = ::if_nametoindex(latin.constData());
  if (index == 0) return std::nullopt;
  return quint32(index);
}

std::optional<TNetAddress> ParseHostAddress(QStringView text) {
  return TNetAddress::Parse(text, InterfaceScopeId);
}

std::optional<TAddressPort> PeerOf(int fd) {
  TSockAddr peer;
  peer.Length = sizeof peer.Storage;
  if (::getpeername(fd, peer.Get(), &peer.Length) != 0) return std::nullopt;
  std::optional<TAddressPort> at = FromSockAddr(peer.Get(), peer.Length);
  if (!at) errno = EAFNOSUPPORT;
  return at;
}
