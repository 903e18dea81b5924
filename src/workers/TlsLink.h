#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

// A TLS client session on a connected socket. The socket is made
// non-blocking; whenever OpenSSL wants to read or write, the session waits
// through wait (the worker's interruptible wait), so a Stop ends the
// handshake, a read or a write at once. The server's certificate is checked
// (trust store, host name or address) but a failed check does not end the
// session: the caller reports the verdict and goes on. A session that cannot
// be set up to check the server ends at its handshake, with the reason.
class TTlsLink {
 public:
  // Waits until the socket is ready for the poll events; false when stopped.
  using TWait = std::function<bool(short events)>;

  // host: the name the user asked for, sent as SNI and checked against the
  // certificate's alternative names (in its ACE form, without its final
  // dot), or an address
  // in any form a run takes: then the address the socket is connected to is
  // checked, never sent.
  TTlsLink(int fd, const QString& host, TWait wait);
  ~TTlsLink();
  TTlsLink(const TTlsLink&) = delete;
  TTlsLink& operator=(const TTlsLink&) = delete;

  // Before the handshake: offers the session kept from the last connection
  // to the same server (name, address and port), and keeps this one's for
  // the next. A resumed session skips the certificate check and reports the
  // verdict of its full handshake, so this is for DNS exchanges alone: the
  // HTTP tool's certificate report wants the server's own handshake.
  void ResumeSessions();
  bool Resumed() const;

  // The handshake. Nothing when it succeeded or was stopped (Stopped()
  // tells); otherwise the line's reason for the failure.
  std::optional<QString> Handshake();
  bool Stopped() const { return FStopped; }
  bool Write(const QByteArray& bytes);
  // Bytes read (> 0), or 0 at the end of the reply, a failure or a stop.
  qsizetype Read(char* buffer, qsizetype size);

  SSL* Session() const { return FSsl; }
  // After the handshake: what the certificate check found (X509_V_ERR_*),
  // each problem once, in the order found; empty when it passed.
  QList<long> VerifyProblems() const;

  // Tests: trust the certificates of this PEM file instead of the system's
  // trust store (empty: the system's again).
  static void SetTrustFile(const QString& path);

 private:
  // The session, ready to check the server; the reason when it is not.
  std::optional<QString> SetUp(int fd, const QString& host);
  std::optional<QString> CheckName(QString name);
  std::optional<QString> CheckPeerAddress(int fd);
  // Serves SSL_ERROR_WANT_READ/WRITE of rc; false when the call is over.
  bool WaitFor(int rc);
  void KeepSession();

  SSL_CTX* FCtx = nullptr;
  SSL* FSsl = nullptr;
  TWait FWait;
  bool FStopped = false;
  std::optional<QString> FSetUpFailure;
  QList<long> FProblems;  // filled by the check as it goes
  QString FHost;
  QByteArray FSessionKey;     // set when sessions are resumed
  QList<long> FKeptProblems;  // the offered session's verdict
};
