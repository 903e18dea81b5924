#pragma once
#include <functional>

#include "platform/SocketSlot.h"
#include "workers/QueryThread.h"

// Finger, Whois and HTTP: connect, send one request, show the reply line by
// line (each line converted to Shift_JIS) until the server closes or Stop.
// With TLS (https), the session's report comes before the reply.
class TTCPThread : public TQueryThread {
  Q_OBJECT
 public:
  // host is a name or a dotted address; the server's official name (empty
  // for a dotted address) starts the error lines. request is sent with one
  // more CR LF appended. tls: the exchange goes through a TLS session.
  TTCPThread(std::shared_ptr<TOutputChannel> channel, TLookupSetup lookup, const QString& host,
             const QByteArray& request, int port, bool tls = false);

 protected:
  void Work() override;
  // One exchange: connect to target at port (its next address when one
  // cannot be reached), send request (with its line end), show the reply.
  void Query(const TTarget& target, const QByteArray& request, int port);
  // Each reply line as it arrives, before its conversion.
  virtual void NoteReplyLine(const QByteArray&) {}

  // A connected socket of the run, published for Stop; -1 when no address
  // could be reached within waitMs each (-1: as long as it takes) or the run
  // was stopped. Release with CloseSocket.
  int ConnectAny(const QList<TNetAddress>& addresses, int port, TSocketSlot::TToken* token,
                 int waitMs = -1);
  static void CloseSocket(int fd, TSocketSlot::TToken token);

 private:
  int ConnectOne(const TNetAddress& addr, int port, TSocketSlot::TToken* token, int waitMs);
  void Exchange(int fd, const TTarget& target, const QByteArray& request);
  // Reads a block: bytes read, or 0 at the end, a failure or a stop.
  using TRead = std::function<qsizetype(char*, qsizetype)>;
  qsizetype ReadPlain(int fd, char* block, qsizetype size);
  bool SendRequest(int fd, const QByteArray& request);
  void ReceiveReply(const TRead& read);
  void ExchangeOverTls(int fd, const TTarget& target, const QByteArray& request);

  const QString FHost;
  const QByteArray FRequest;  // with its line end
  const int FPort;
  const bool FTls;
};
