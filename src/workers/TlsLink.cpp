#include "workers/TlsLink.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <mutex>

#include <QHash>

#include "common/Idn.h"
#include "platform/SockAddr.h"
#include "workers/TlsReport.h"

namespace {
int NoteVerifyProblem(int ok, X509_STORE_CTX* store);

// One client context serves every session: loading the system's trust
// store takes some 20 ms, which each connection would otherwise pay anew.
// It is built on first use, and again after the trust file has changed.
// Both it and the session book start the library first, so that they are
// freed at exit before the library's own clean-up runs.
struct TSharedContext {
  TSharedContext() { OPENSSL_init_ssl(0, nullptr); }
  ~TSharedContext() { SSL_CTX_free(Ctx); }
  std::mutex Lock;
  QString TrustFile;  // empty: the system's trust store
  SSL_CTX* Ctx = nullptr;
};

TSharedContext& Shared() {
  static TSharedContext shared;
  return shared;
}

SSL_CTX* NewContext(const QString& trust) {
  SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
  const bool loaded =
      ctx && (trust.isEmpty()
                  ? SSL_CTX_set_default_verify_paths(ctx) == 1
                  : SSL_CTX_load_verify_locations(ctx, trust.toLocal8Bit().constData(), nullptr) == 1);
  if (!loaded) {
    SSL_CTX_free(ctx);
    return nullptr;
  }
  // The verdict is reported, not enforced: the request carries no secret.
  SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, NoteVerifyProblem);
  // HTTP/1.0 ends the reply by closing; many servers skip close_notify.
  SSL_CTX_set_options(ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);
  return ctx;
}

// The shared context with a reference of the caller's own; nullptr when it
// cannot be built (the library's error is queued on this thread).
SSL_CTX* TakeContext() {
  TSharedContext& shared = Shared();
  std::lock_guard lock(shared.Lock);
  if (!shared.Ctx) shared.Ctx = NewContext(shared.TrustFile);
  if (shared.Ctx) SSL_CTX_up_ref(shared.Ctx);
  return shared.Ctx;
}

// Sessions kept for resumption, by server (name, address and port), each
// with what the check of its full handshake found: a resumed handshake
// checks nothing, the verdict is the one the server earned then. A session
// is handed out once, as TLS 1.3 wants, and the connection that used it
// keeps its own successor.
class TSessionBook {
 public:
  struct TEntry {
    SSL_SESSION* Session = nullptr;
    QList<long> Problems;
    quint64 Stored = 0;
  };

  static TSessionBook& Instance() {
    static TSessionBook book;
    return book;
  }
  TSessionBook() { OPENSSL_init_ssl(0, nullptr); }
  ~TSessionBook() { Clear(); }

  // The session kept for key, still within its lifetime; empty otherwise.
  TEntry Take(const QByteArray& key) {
    std::lock_guard lock(FLock);
    TEntry entry = FEntries.take(key);
    if (entry.Session &&
        std::time(nullptr) >= SSL_SESSION_get_time(entry.Session) + SSL_SESSION_get_timeout(entry.Session)) {
      SSL_SESSION_free(entry.Session);
      entry.Session = nullptr;
    }
    return entry;
  }

  // Keeps session (the book takes the reference), the oldest going first
  // once the book is full.
  void Keep(const QByteArray& key, SSL_SESSION* session, const QList<long>& problems) {
    std::lock_guard lock(FLock);
    if (TEntry old = FEntries.take(key); old.Session) SSL_SESSION_free(old.Session);
    if (FEntries.size() >= Capacity) {
      auto oldest = std::min_element(FEntries.begin(), FEntries.end(),
                                     [](const TEntry& a, const TEntry& b) { return a.Stored < b.Stored; });
      SSL_SESSION_free(oldest->Session);
      FEntries.erase(oldest);
    }
    FEntries.insert(key, {session, problems, ++FCount});
  }

  // Drops every session: their verdicts were found under another trust.
  void Clear() {
    std::lock_guard lock(FLock);
    for (const TEntry& entry : std::as_const(FEntries)) SSL_SESSION_free(entry.Session);
    FEntries.clear();
  }

 private:
  static constexpr qsizetype Capacity = 32;
  std::mutex FLock;
  QHash<QByteArray, TEntry> FEntries;
  quint64 FCount = 0;
};

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

// reason, with the library's text of error in brackets when it has one.
QString WithLibraryText(QString reason, unsigned long error) {
  if (const char* text = error ? ERR_reason_error_string(error) : nullptr)
    reason += QStringLiteral(" (") + QString::fromUtf8(text) + u')';
  return reason;
}

// Notes each problem the certificate check finds and lets the check go on,
// so that the verdict names them all, not the first alone.
int NoteVerifyProblem(int ok, X509_STORE_CTX* store) {
  if (ok) return 1;
  auto* ssl =
      static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
  auto* problems = static_cast<QList<long>*>(SSL_get_app_data(ssl));
  const long error = X509_STORE_CTX_get_error(store);
  if (problems && !problems->contains(error)) problems->append(error);
  return 1;
}
}  // namespace

void TTlsLink::SetTrustFile(const QString& path) {
  TSharedContext& shared = Shared();
  std::lock_guard lock(shared.Lock);
  shared.TrustFile = path;
  // Sessions still open keep their own reference.
  SSL_CTX_free(shared.Ctx);
  shared.Ctx = nullptr;
  TSessionBook::Instance().Clear();
}

TTlsLink::TTlsLink(int fd, const QString& host, TWait wait) : FWait(std::move(wait)) {
  BlockSigPipeOnThisThread();
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  // A handshake's last flight and the request that follows it go out as
  // two small writes: with Nagle's wait the second would sit until the
  // server's delayed acknowledgement, some 40 ms on every connection.
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  FHost = host;
  FSetUpFailure = SetUp(fd, host);
}

std::optional<QString> TTlsLink::SetUp(int fd, const QString& host) {
  ERR_clear_error();
  FCtx = TakeContext();
  if (!FCtx) return WithLibraryText(TlsHandshakeReason(-1), TakeLastError());
  FSsl = SSL_new(FCtx);
  if (!FSsl || SSL_set_fd(FSsl, fd) != 1 || SSL_set_app_data(FSsl, &FProblems) != 1)
    return WithLibraryText(TlsHandshakeReason(-1), TakeLastError());
  // As browsers do: a certificate names its hosts in its alternative names,
  // never in its subject's common name alone.
  X509_VERIFY_PARAM_set_hostflags(SSL_get0_param(FSsl), X509_CHECK_FLAG_NEVER_CHECK_SUBJECT);
  return ParseHostAddress(host) ? CheckPeerAddress(fd) : CheckName(host);
}

// "srv.test." is the host srv.test: a certificate and SNI carry names
// without the final dot. An empty name would clear the check, not set it.
std::optional<QString> TTlsLink::CheckName(QString name) {
  name = HostToAce(name);
  if (name.endsWith(u'.')) name.chop(1);
  const QByteArray bytes = name.toUtf8();
  // With its length, the check refuses a name with a NUL in it before SNI
  // could send the part in front of the NUL.
  X509_VERIFY_PARAM* param = SSL_get0_param(FSsl);
  if (bytes.isEmpty() ||
      X509_VERIFY_PARAM_set1_host(param, bytes.constData(), size_t(bytes.size())) != 1 ||
      SSL_set_tlsext_host_name(FSsl, bytes.constData()) != 1)
    return WithLibraryText(TlsSetupReason(TTlsSetupFault::Name), TakeLastError());
  return std::nullopt;
}

// The address the socket is connected to is checked by its bytes: the text
// typed may be any form the socket layer takes ("127.1", "0177.0.0.1",
// "fe80::1%lo"), which the library's own parser reads otherwise or not at
// all. A mapped IPv4 peer is checked as the IPv4 address it is.
std::optional<QString> TTlsLink::CheckPeerAddress(int fd) {
  const std::optional<TAddressPort> connected = PeerOf(fd);
  if (!connected)
    return TlsSetupReason(TTlsSetupFault::PeerAddress) +
           QStringLiteral(" (%1)").arg(QString::fromLatin1(strerrorname_np(errno)));
  // The 16 bytes hold an IPv4 address in its mapped form: the last four.
  const size_t size = connected->Address.IsIPv4() ? 4 : 16;
  const quint8* bytes = connected->Address.Bytes().data() + 16 - size;
  if (X509_VERIFY_PARAM_set1_ip(SSL_get0_param(FSsl), bytes, size) != 1)
    return WithLibraryText(TlsSetupReason(TTlsSetupFault::PeerAddress), TakeLastError());
  return std::nullopt;
}

void TTlsLink::ResumeSessions() {
  if (!FSsl || FSetUpFailure) return;
  const std::optional<TAddressPort> at = PeerOf(SSL_get_fd(FSsl));
  if (!at) return;
  FSessionKey = FHost.toUtf8() + '\n' + at->Address.ToString().toLatin1() + '\n' +
                QByteArray::number(at->Port);
  TSessionBook::TEntry kept = TSessionBook::Instance().Take(FSessionKey);
  if (!kept.Session) return;
  if (SSL_set_session(FSsl, kept.Session) == 1) FKeptProblems = kept.Problems;
  SSL_SESSION_free(kept.Session);
}

bool TTlsLink::Resumed() const { return FSsl && SSL_session_reused(FSsl); }

QList<long> TTlsLink::VerifyProblems() const {
  // A check that ended without reaching the callback still has its result.
  const long result = FSsl ? SSL_get_verify_result(FSsl) : X509_V_OK;
  if (FProblems.isEmpty() && result != X509_V_OK) return {result};
  return FProblems;
}

TTlsLink::~TTlsLink() {
  KeepSession();
  if (FSsl) {
    // A close_notify if the socket takes it now; no wait for the answer.
    if (!FStopped && SSL_is_init_finished(FSsl)) SSL_shutdown(FSsl);
    SSL_free(FSsl);
  }
  SSL_CTX_free(FCtx);
}

// After the exchange, when the server's tickets have been read: the session
// this connection ends with, for the next one to the same server.
void TTlsLink::KeepSession() {
  if (FSessionKey.isEmpty() || FStopped || !SSL_is_init_finished(FSsl)) return;
  SSL_SESSION* session = SSL_get1_session(FSsl);
  if (session && SSL_SESSION_is_resumable(session))
    TSessionBook::Instance().Keep(FSessionKey, session, VerifyProblems());
  else
    SSL_SESSION_free(session);
}

bool TTlsLink::WaitFor(int rc) {
  const int error = SSL_get_error(FSsl, rc);
  short events = 0;
  if (error == SSL_ERROR_WANT_READ) events = POLLIN;
  if (error == SSL_ERROR_WANT_WRITE) events = POLLOUT;
  if (events == 0) return false;
  if (events == POLLIN) {
    // Acknowledged at once: a server that sends its session tickets and then
    // its answer would otherwise hold the answer (Nagle) until our delayed
    // acknowledgement, some 40 ms later. The kernel clears this after a
    // while, so it is asked again before each wait for data.
    const int on = 1;
    ::setsockopt(SSL_get_fd(FSsl), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
  }
  if (!FWait(events)) {
    FStopped = true;
    return false;
  }
  return true;
}

std::optional<QString> TTlsLink::Handshake() {
  if (FSetUpFailure) return FSetUpFailure;
  ERR_clear_error();
  for (;;) {
    const int rc = SSL_connect(FSsl);
    if (rc == 1) {
      if (SSL_session_reused(FSsl)) FProblems = FKeptProblems;
      return std::nullopt;
    }
    const int error = SSL_get_error(FSsl, rc);
    if (WaitFor(rc)) continue;
    if (FStopped) return std::nullopt;
    const unsigned long last = TakeLastError();
    return WithLibraryText(TlsHandshakeReason(error == SSL_ERROR_SSL ? ERR_GET_REASON(last) : 0),
                           last);
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
