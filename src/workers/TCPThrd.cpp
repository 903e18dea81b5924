#include "workers/TCPThrd.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "common/SjisConv.h"
#include "common/SjisText.h"
#include "platform/SocketSlot.h"
#include "workers/LineSplitter.h"
#include "workers/TlsLink.h"
#include "workers/TlsReport.h"

namespace {
constexpr qsizetype ReceiveBlock = 32512;
}

TTCPThread::TTCPThread(std::shared_ptr<TOutputChannel> channel, TLookupSetup lookup,
                       const QString& host, const QByteArray& request, int port, bool tls)
    : TQueryThread(std::move(channel), std::move(lookup)),
      FHost(host),
      FRequest(request + "\r\n"),
      FPort(port),
      FTls(tls) {}

void TTCPThread::Work() {
  if (const std::optional<TTarget> target = ResolveTarget(FHost)) Query(*target, FRequest, FPort);
}

void TTCPThread::Query(const TTarget& target, const QByteArray& request, int port) {
  SyncStatus(QStringLiteral("接続中..."));
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const TSocketSlot::TToken token = fd >= 0 ? ActiveSocket.Put(fd) : 0;
  // Stop sets the flag before it shuts the slot down: checking after Put
  // means either Stop saw our socket or we see the flag.
  if (!Terminated()) {
    if (fd < 0 || !ConnectSocket(fd, target.Addr, port)) {
      SyncAddOutput(target.HostText + ToSjis(u" - 接続できません"));
    } else if (FTls && !Terminated()) {
      ExchangeOverTls(fd, target, request);
    } else if (!Terminated()) {
      SyncStatus(QStringLiteral("取得中..."));
      if (!SendRequest(fd, request))
        SyncAddOutput(target.HostText + ToSjis(u" - 送信できません"));
      else
        ReceiveReply(
            [this, fd](char* block, qsizetype size) { return ReadPlain(fd, block, size); });
    }
  }
  if (fd >= 0) {
    ActiveSocket.Release(token);
    ::close(fd);
  }
}

bool TTCPThread::ConnectSocket(int fd, quint32 targetAddr, int port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(quint16(port));
  addr.sin_addr.s_addr = targetAddr;
  // Connect without blocking, so that Stop is seen at once even before the
  // socket is connected; the socket is blocking again for the exchange.
  const int flags = ::fcntl(fd, F_GETFL);
  ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  int rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
  if (rc < 0 && errno == EINPROGRESS) {
    if (WaitFd(fd, POLLOUT, -1) < 0) return false;
    int error = 0;
    socklen_t len = sizeof error;
    rc = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0 ? 0 : -1;
  }
  ::fcntl(fd, F_SETFL, flags);
  return rc == 0;
}

bool TTCPThread::SendRequest(int fd, const QByteArray& request) {
  qsizetype sent = 0;
  while (sent < request.size()) {
    const ssize_t n =
        ::send(fd, request.constData() + sent, size_t(request.size() - sent), MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    sent += n;
  }
  return true;
}

void TTCPThread::ExchangeOverTls(int fd, const TTarget& target, const QByteArray& request) {
  SyncStatus(QStringLiteral("TLS 接続中..."));
  TTlsLink link(fd, FHost, [this, fd](short events) { return WaitFd(fd, events, -1) > 0; });
  if (const std::optional<QString> failure = link.Handshake()) {
    SyncAddOutput(target.HostText + ToSjis(TlsHandshakeLine(*failure)));
    return;
  }
  if (link.Stopped() || Terminated()) return;
  for (const QString& line : TlsSessionReport(link.Session())) SyncAddOutput(ToSjis(line));
  SyncStatus(QStringLiteral("取得中..."));
  if (!link.Write(request)) {
    if (!link.Stopped()) SyncAddOutput(target.HostText + ToSjis(u" - 送信できません"));
    return;
  }
  ReceiveReply([&link](char* block, qsizetype size) { return link.Read(block, size); });
}

qsizetype TTCPThread::ReadPlain(int fd, char* block, qsizetype size) {
  for (;;) {
    // Stop wakes this wait even when the slot no longer holds our socket.
    if (WaitFd(fd, POLLIN, -1) < 0) return 0;
    const ssize_t n = ::recv(fd, block, size_t(size), 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    return n < 0 ? 0 : n;
  }
}

void TTCPThread::ReceiveReply(const TRead& read) {
  TLineSplitter splitter([this](const QByteArray& line) {
    if (Terminated()) return;
    NoteReplyLine(line);
    SyncAddOutput(ConvertToSjis(line));
  });
  QByteArray block(ReceiveBlock, Qt::Uninitialized);
  while (!Terminated()) {
    const qsizetype n = read(block.data(), ReceiveBlock);
    if (n <= 0) break;
    splitter.Feed(QByteArrayView(block.constData(), n));
  }
  if (!Terminated()) splitter.Finish();
}
