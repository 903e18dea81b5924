#include "workers/TCPThrd.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "common/SjisConv.h"
#include "common/SjisText.h"
#include "platform/SockAddr.h"
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
  TSocketSlot::TToken token = 0;
  const int fd = ConnectAny(target.Addresses, port, &token);
  if (fd >= 0) {
    Exchange(fd, target, request);
    CloseSocket(fd, token);
  } else if (!Terminated()) {
    SyncAddOutput(target.HostText + ToSjis(u" - 接続できません"));
  }
}

void TTCPThread::Exchange(int fd, const TTarget& target, const QByteArray& request) {
  if (Terminated()) return;
  if (FTls) {
    ExchangeOverTls(fd, target, request);
    return;
  }
  SyncStatus(QStringLiteral("取得中..."));
  if (!SendRequest(fd, request))
    SyncAddOutput(target.HostText + ToSjis(u" - 送信できません"));
  else
    ReceiveReply([this, fd](char* block, qsizetype size) { return ReadPlain(fd, block, size); });
}

int TTCPThread::ConnectAny(const QList<TNetAddress>& addresses, int port,
                           TSocketSlot::TToken* token, int waitMs) {
  for (const TNetAddress& addr : addresses) {
    if (Terminated()) break;
    if (const int fd = ConnectOne(addr, port, token, waitMs); fd >= 0) return fd;
  }
  return -1;
}

int TTCPThread::ConnectOne(const TNetAddress& addr, int port, TSocketSlot::TToken* token,
                           int waitMs) {
  const TSockAddr to = ToSockAddr(addr, quint16(port));
  const int fd = ::socket(to.Family(), SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  *token = ActiveSocket.Put(fd);
  // Stop sets the flag before it shuts the slot down: checking after Put
  // means either Stop saw our socket or we see the flag. The connect does
  // not block, so Stop is seen at once even before the socket is connected.
  int rc = Terminated() ? -1 : ::connect(fd, to.Get(), to.Length);
  if (rc < 0 && errno == EINPROGRESS && WaitFd(fd, POLLOUT, waitMs) > 0) {
    int error = 0;
    socklen_t len = sizeof error;
    rc = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0 ? 0 : -1;
  }
  if (rc != 0) {
    CloseSocket(fd, *token);
    return -1;
  }
  // Blocking again for the exchange.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

void TTCPThread::CloseSocket(int fd, TSocketSlot::TToken token) {
  ActiveSocket.Release(token);
  ::close(fd);
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
  for (const QString& line : TlsSessionReport(link.Session(), link.VerifyProblems()))
    SyncAddOutput(ToSjis(line));
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
