#include "LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <chrono>

#include "platform/SockAddr.h"

namespace {
int ListenOnLoopback(quint16* port, const char* addrText = "127.0.0.1") {
  const auto addr = TNetAddress::Parse(QString::fromLatin1(addrText));
  if (!addr) return -1;
  TSockAddr local = ToSockAddr(*addr, *port);
  const int fd = ::socket(local.Family(), SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || ::bind(fd, local.Get(), local.Length) != 0 || ::listen(fd, 8) != 0 ||
      ::getsockname(fd, local.Get(), &local.Length) != 0) {
    if (fd >= 0) ::close(fd);
    return -1;
  }
  *port = FromSockAddr(local.Get(), local.Length)->Port;
  return fd;
}
}  // namespace

TLoopbackServer::TLoopbackServer() : TLoopbackServer("127.0.0.1", 0) {}

TLoopbackServer::TLoopbackServer(const char* dottedAddr, quint16 port) : FPort(port) {
  FListen = ListenOnLoopback(&FPort, dottedAddr);
  FThread = std::thread([this] { Serve(); });
}

TLoopbackServer::~TLoopbackServer() {
  FStopping = true;
  if (FListen >= 0) ::shutdown(FListen, SHUT_RDWR);
  FThread.join();
  if (FListen >= 0) ::close(FListen);
}

void TLoopbackServer::SetReply(QList<TChunk> chunks) {
  std::lock_guard lock(FLock);
  FReply = std::move(chunks);
  FStreamCount = -1;
}

void TLoopbackServer::SetStream(const QByteArray& line, qint64 count, int maxSeconds) {
  std::lock_guard lock(FLock);
  FStreamLine = line;
  FStreamCount = count;
  FStreamSeconds = maxSeconds;
}

QByteArray TLoopbackServer::LastRequest() const {
  std::lock_guard lock(FLock);
  return FRequest;
}

quint16 TLoopbackServer::ClosedPort() {
  quint16 port = 0;
  const int fd = ListenOnLoopback(&port);
  if (fd >= 0) ::close(fd);
  return port;
}

void TLoopbackServer::Serve() {
  while (!FStopping) {
    pollfd p{FListen, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    const int fd = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++FConnections;
    Handle(fd);
    if (FReset) {
      const linger hard{1, 0};
      ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }
    ::close(fd);
  }
}

void TLoopbackServer::Handle(int fd) {
  FClientGone = false;
  QByteArray request;
  char buf[4096];
  const QDeadlineTimer readLimit(5000);
  while (!request.contains(FRequestEnd) && !readLimit.hasExpired() && !FStopping) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    request.append(buf, n);
  }
  QList<TChunk> reply;
  QByteArray streamLine;
  qint64 streamCount;
  int streamSeconds;
  {
    std::lock_guard lock(FLock);
    FRequest = request;
    reply = FReply;
    streamLine = FStreamLine;
    streamCount = FStreamCount;
    streamSeconds = FStreamSeconds;
  }
  if (FSilent) {
    // Wait for the client to give up (Stop), bounded.
    const QDeadlineTimer limit(30000);
    while (!FStopping && !limit.hasExpired()) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 50) > 0 && ::recv(fd, buf, sizeof buf, 0) <= 0) {
        FClientGone = true;
        return;
      }
    }
    return;
  }
  if (streamCount >= 0) {
    const QDeadlineTimer limit(streamSeconds * 1000);
    QByteArray block;
    for (int i = 0; i < 256; ++i) block += streamLine;
    for (qint64 sent = 0;
         (streamCount == 0 || sent < streamCount) && !limit.hasExpired() && !FStopping;) {
      const qint64 lines = streamCount == 0 ? 256 : std::min<qint64>(256, streamCount - sent);
      if (!SendAll(fd, lines == 256 ? block : block.left(lines * streamLine.size()))) return;
      sent += lines;
    }
    return;
  }
  for (const TChunk& chunk : reply) {
    if (chunk.DelayMsBefore > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(chunk.DelayMsBefore));
    if (!SendAll(fd, chunk.Bytes)) return;
  }
}

bool TLoopbackServer::SendAll(int fd, const QByteArray& bytes) {
  qsizetype sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n =
        ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
    if (n <= 0) {
      FClientGone = true;
      return false;
    }
    sent += n;
  }
  return true;
}
