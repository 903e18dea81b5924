#include "workers/TlsLink.h"

#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>

#include <mutex>

#include "common/Common.h"
#include "workers/TlsReport.h"

namespace {
std::mutex TrustLock;
QString TrustFile;  // empty: the system's trust store

QString TrustFileNow() {
  std::lock_guard lock(TrustLock);
  return TrustFile;
}

// OpenSSL writes with write(), which raises SIGPIPE when the peer has gone.
// The worker's thread ends with its run, so blocking the signal there for
// good is harmless and leaves the rest of the program as it was.
void BlockSigPipeOnThisThread() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

// The newest error OpenSSL queued on this thread, and the queue cleared.
unsigned long TakeLastError() {
  unsigned long last = 0;
  while (const unsigned long e = ERR_get_error()) last = e;
  return last;
}
}  // namespace

void TTlsLink::SetTrustFile(const QString& path) {
  std::lock_guard lock(TrustLock);
  TrustFile = path;
}

TTlsLink::TTlsLink(int fd, const QString& host, TWait wait) : FWait(std::move(wait)) {
  BlockSigPipeOnThisThread();
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  FCtx = SSL_CTX_new(TLS_client_method());
  if (!FCtx) return;
  const QString trust = TrustFileNow();
  if (trust.isEmpty())
    SSL_CTX_set_default_verify_paths(FCtx);
  else
    SSL_CTX_load_verify_locations(FCtx, trust.toLocal8Bit().constData(), nullptr);
  // The verdict is reported, not enforced: the request carries no secret.
  SSL_CTX_set_verify(FCtx, SSL_VERIFY_NONE, nullptr);
  // HTTP/1.0 ends the reply by closing; many servers skip close_notify.
  SSL_CTX_set_options(FCtx, SSL_OP_IGNORE_UNEXPECTED_EOF);
  FSsl = SSL_new(FCtx);
  if (!FSsl) return;
  SSL_set_fd(FSsl, fd);
  const QByteArray name = host.toUtf8();
  quint32 addr = 0;
  if (ParseDottedAddress(host, &addr) || host.contains(u':')) {
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(FSsl), name.constData());
  } else {
    SSL_set_tlsext_host_name(FSsl, name.constData());
    SSL_set1_host(FSsl, name.constData());
  }
}

TTlsLink::~TTlsLink() {
  if (FSsl) {
    // A close_notify if the socket takes it now; no wait for the answer.
    if (!FStopped && SSL_is_init_finished(FSsl)) SSL_shutdown(FSsl);
    SSL_free(FSsl);
  }
  SSL_CTX_free(FCtx);
}

bool TTlsLink::WaitFor(int rc) {
  const int error = SSL_get_error(FSsl, rc);
  short events = 0;
  if (error == SSL_ERROR_WANT_READ) events = POLLIN;
  if (error == SSL_ERROR_WANT_WRITE) events = POLLOUT;
  if (events == 0) return false;
  if (!FWait(events)) {
    FStopped = true;
    return false;
  }
  return true;
}

std::optional<QString> TTlsLink::Handshake() {
  if (!FSsl) return TlsHandshakeReason(-1);
  ERR_clear_error();
  for (;;) {
    const int rc = SSL_connect(FSsl);
    if (rc == 1) return std::nullopt;
    const int error = SSL_get_error(FSsl, rc);
    if (WaitFor(rc)) continue;
    if (FStopped) return std::nullopt;
    const unsigned long last = TakeLastError();
    const int reason = error == SSL_ERROR_SSL ? ERR_GET_REASON(last) : 0;
    const char* text = last ? ERR_reason_error_string(last) : nullptr;
    QString line = TlsHandshakeReason(reason);
    if (text) line += QStringLiteral(" (") + QString::fromUtf8(text) + u')';
    return line;
  }
}

bool TTlsLink::Write(const QByteArray& bytes) {
  qsizetype sent = 0;
  while (sent < bytes.size()) {
    const int rc = SSL_write(FSsl, bytes.constData() + sent, int(bytes.size() - sent));
    if (rc > 0) {
      sent += rc;
    } else if (!WaitFor(rc)) {
      TakeLastError();
      return false;
    }
  }
  return true;
}

qsizetype TTlsLink::Read(char* buffer, qsizetype size) {
  for (;;) {
    const int rc = SSL_read(FSsl, buffer, int(size));
    if (rc > 0) return rc;
    if (!WaitFor(rc)) {
      TakeLastError();
      return 0;
    }
  }
}
