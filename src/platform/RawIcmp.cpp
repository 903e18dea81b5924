#include "platform/RawIcmp.h"

#include <linux/icmp.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/SockAddr.h"

namespace {

// ICMP_FILTER: a set bit blocks that ICMP type from this socket.
bool BlockEchoRequests(int fd) {
  icmp_filter filter{};
  filter.data = 1u << ICMP_ECHO;
  return ::setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter) == 0;
}

// ICMP6_FILTER: only what answers an echo request gets through; on loopback
// our own requests, and neighbour discovery everywhere, stay out.
bool PassEchoAnswers6(int fd) {
  icmp6_filter filter;
  ICMP6_FILTER_SETBLOCKALL(&filter);
  for (const int type :
       {ICMP6_ECHO_REPLY, ICMP6_DST_UNREACH, ICMP6_PACKET_TOO_BIG, ICMP6_TIME_EXCEEDED})
    ICMP6_FILTER_SETPASS(type, &filter);
  return ::setsockopt(fd, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter) == 0;
}

bool SetIntOption(int fd, int level, int name, int value) {
  return ::setsockopt(fd, level, name, &value, sizeof value) == 0;
}

bool IsIPv6Socket(int fd) {
  int domain = AF_UNSPEC;
  socklen_t size = sizeof domain;
  return ::getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &size) == 0 && domain == AF_INET6;
}

// Keeps the socket when its filter is set; closes it otherwise, keeping errno.
int Filtered(int fd, bool (*setFilter)(int)) {
  if (fd < 0 || setFilter(fd)) return fd;
  const int error = errno;
  ::close(fd);
  errno = error;
  return -1;
}

int RawIcmpSocket(bool v6) {
  return ::socket(v6 ? AF_INET6 : AF_INET, SOCK_RAW | SOCK_CLOEXEC,
                  v6 ? int(IPPROTO_ICMPV6) : int(IPPROTO_ICMP));
}

}  // namespace

bool IsPermissionError(int error) { return error == EPERM || error == EACCES; }

int OpenRawIcmp() {
  // Without the filter Ping of 127.0.0.1 would see its own request first.
  return Filtered(RawIcmpSocket(false), BlockEchoRequests);
}

int OpenRawIcmp6() { return Filtered(RawIcmpSocket(true), PassEchoAnswers6); }

bool SetReceiveTimeout(int fd, int msecs) {
  // Linux takes a timeval here, not a count of milliseconds.
  timeval limit{};
  limit.tv_sec = msecs / 1000;
  limit.tv_usec = (msecs % 1000) * 1000;
  return msecs > 0 && ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) == 0;
}

bool SetTtl(int fd, int ttl) {
  if (IsIPv6Socket(fd)) return SetIntOption(fd, IPPROTO_IPV6, IPV6_UNICAST_HOPS, ttl);
  return SetIntOption(fd, IPPROTO_IP, IP_TTL, ttl);
}

bool SetDontFragment(int fd, bool on) {
  if (IsIPv6Socket(fd)) return SetIntOption(fd, IPPROTO_IPV6, IPV6_DONTFRAG, on ? 1 : 0);
  // The Linux default (IP_PMTUDISC_WANT) sets the flag on every packet that
  // fits the path, so "off" has to be said explicitly.
  return SetIntOption(fd, IPPROTO_IP, IP_MTU_DISCOVER, on ? IP_PMTUDISC_DO : IP_PMTUDISC_DONT);
}

bool SetTrafficClass(int fd, int value) {
  if (IsIPv6Socket(fd)) return SetIntOption(fd, IPPROTO_IPV6, IPV6_TCLASS, value);
  return SetIntOption(fd, IPPROTO_IP, IP_TOS, value);
}

bool SendIcmp(int fd, quint32 destAddr, std::span<const quint8> message) {
  return SendIcmp(fd, TNetAddress::FromIPv4(destAddr), message);
}

bool SendIcmp(int fd, const TNetAddress& dest, std::span<const quint8> message) {
  const TSockAddr to = ToSockAddr(dest, 0);
  ssize_t sent;
  do {
    sent = ::sendto(fd, message.data(), message.size(), 0, to.Get(), to.Length);
  } while (sent < 0 && errno == EINTR);
  return sent == ssize_t(message.size());
}

int ReceiveIcmp(int fd, std::span<quint8> buffer, quint32* sourceAddr) {
  TNetAddress source;
  const int received = ReceiveIcmp(fd, buffer, &source);
  if (received >= 0 && sourceAddr) *sourceAddr = source.IPv4NetOrder();
  return received;
}

int ReceiveIcmp(int fd, std::span<quint8> buffer, TNetAddress* source, int flags) {
  TSockAddr from;
  socklen_t sourceLength = sizeof from.Storage;
  ssize_t received;
  do {
    received = ::recvfrom(fd, buffer.data(), buffer.size(), flags, from.Get(), &sourceLength);
  } while (received < 0 && errno == EINTR);
  // A raw socket always delivers at least an IP header (an ICMPv6 header
  // on IPv6): 0 bytes means the socket was shut down, which is no datagram.
  if (received <= 0) return -1;
  const auto peer = FromSockAddr(from.Get(), sourceLength);
  if (source) *source = peer ? peer->Address : TNetAddress();
  return int(received);
}

void WakeEventFd(int fd) {
  const std::uint64_t one = 1;
  if (fd >= 0) [[maybe_unused]] auto n = ::write(fd, &one, sizeof one);
}

int WaitReadable(int fd, int wakeFd, const QDeadlineTimer& deadline) {
  for (;;) {
    pollfd fds[2] = {{wakeFd, POLLIN, 0}, {fd, POLLIN, 0}};
    const qint64 left = deadline.remainingTime();
    const int rc = ::poll(fds, 2, left > INT32_MAX ? INT32_MAX : int(left));
    if (rc < 0 && errno == EINTR) continue;
    if (rc < 0 || fds[0].revents) return -1;
    return rc == 0 ? 0 : 1;
  }
}
