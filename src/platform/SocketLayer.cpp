#include "platform/SocketLayer.h"

#include <sys/resource.h>
#include <sys/utsname.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr quint16 HighestVersion = MakeVersion(2, 2);
// An IPv4 datagram of 65535 bytes less the 20-byte IP and 8-byte UDP headers.
constexpr quint16 MaxDatagram = 65507;

int VersionOrder(quint16 version) { return VersionMajor(version) * 256 + VersionMinor(version); }

void CopyText(char* field, std::size_t size, const QByteArray& text) {
  const std::size_t n = std::min(size - 1, std::size_t(text.size()));
  std::memcpy(field, text.constData(), n);
  field[n] = '\0';
}

QByteArray KernelRelease() {
  utsname name{};
  if (uname(&name) != 0) return QByteArrayLiteral("unknown");
  return QByteArray(name.release);
}

// The open-file limit bounds how many sockets the process can hold; the
// record has only 16 bits for it.
quint16 MaxSockets() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 0xFFFF;
  return quint16(std::min<rlim_t>(limit.rlim_cur, 0xFFFF));
}

}  // namespace

int WSAStartup(quint16 requested, TWsaData* data) {
  if (data == nullptr) return WsaEFault;
  if (VersionOrder(requested) < VersionOrder(MakeVersion(1, 1))) return WsaVerNotSupported;
  *data = TWsaData{};
  data->Version =
      VersionOrder(requested) < VersionOrder(HighestVersion) ? requested : HighestVersion;
  data->HighVersion = HighestVersion;
  CopyText(data->Description, sizeof data->Description,
           "Linux Sockets (kernel " + KernelRelease() + ")");
  CopyText(data->SystemStatus, sizeof data->SystemStatus, "Running");
  data->MaxSockets = MaxSockets();
  data->MaxUdpDg = MaxDatagram;
  return 0;
}

int WSACleanup() { return 0; }

QByteArray WsaRecordText(const char* field, qsizetype size) {
  const void* zero = std::memchr(field, 0, std::size_t(size));
  return QByteArray(field, zero ? static_cast<const char*>(zero) - field : size);
}
