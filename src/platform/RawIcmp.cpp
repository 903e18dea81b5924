#include "platform/RawIcmp.h"

#include <linux/icmp.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/RawIcmpHelper.h"

namespace {

// ICMP_FILTER: a set bit blocks that ICMP type from this socket.
bool BlockEchoRequests(int fd) {
  icmp_filter filter{};
  filter.data = 1u << ICMP_ECHO;
  return ::setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter) == 0;
}

bool SetIntOption(int fd, int level, int name, int value) {
  return ::setsockopt(fd, level, name, &value, sizeof value) == 0;
}

// Falls back on the helper for a permission error alone. When the helper
// cannot even be started, the cause the user can act on is still this
// process's own errno.
int RawIcmpSocket() {
  const int fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd >= 0 || !IsPermissionError(errno)) return fd;
  const int error = errno;
  const int received = AskIcmpHelper(IcmpHelperPath(), THelperRequest{});
  if (received < 0 && (errno == ENOENT || errno == EACCES || errno == ENOEXEC)) errno = error;
  return received;
}

}  // namespace

bool IsPermissionError(int error) { return error == EPERM || error == EACCES; }

int OpenRawIcmp() {
  const int fd = RawIcmpSocket();
  if (fd < 0) return -1;
  // Without the filter Ping of 127.0.0.1 would see its own request first.
  if (!BlockEchoRequests(fd)) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

bool CanOpenRawIcmp() {
  const int fd = OpenRawIcmp();
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

bool SetReceiveTimeout(int fd, int msecs) {
  // Linux takes a timeval here, not a count of milliseconds.
  timeval limit{};
  limit.tv_sec = msecs / 1000;
  limit.tv_usec = (msecs % 1000) * 1000;
  return msecs > 0 && ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) == 0;
}

bool SetTtl(int fd, int ttl) { return SetIntOption(fd, IPPROTO_IP, IP_TTL, ttl); }

bool SetDontFragment(int fd, bool on) {
  // The Linux default (IP_PMTUDISC_WANT) sets the flag on every packet that
  // fits the path, so "off" has to be said explicitly.
  return SetIntOption(fd, IPPROTO_IP, IP_MTU_DISCOVER, on ? IP_PMTUDISC_DO : IP_PMTUDISC_DONT);
}

bool SendIcmp(int fd, quint32 destAddr, std::span<const quint8> message) {
  sockaddr_in dest{};
  dest.sin_family = AF_INET;
  dest.sin_addr.s_addr = destAddr;
  ssize_t sent;
  do {
    sent = ::sendto(fd, message.data(), message.size(), 0, reinterpret_cast<const sockaddr*>(&dest),
                    sizeof dest);
  } while (sent < 0 && errno == EINTR);
  return sent == ssize_t(message.size());
}

int ReceiveIcmp(int fd, std::span<quint8> buffer, quint32* sourceAddr) {
  sockaddr_in source{};
  socklen_t sourceLength = sizeof source;
  ssize_t received;
  do {
    received = ::recvfrom(fd, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&source),
                          &sourceLength);
  } while (received < 0 && errno == EINTR);
  // A raw socket always delivers at least an IP header: 0 bytes means the
  // socket was shut down, which is no datagram at all.
  if (received <= 0) return -1;
  if (sourceAddr) *sourceAddr = source.sin_addr.s_addr;
  return int(received);
}
