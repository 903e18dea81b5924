#pragma once
#include "workers/QueryThread.h"

// Finger, Whois and HTTP: connect, send one request, show the reply line by
// line (each line converted to Shift_JIS) until the server closes or Stop.
class TTCPThread : public TQueryThread {
  Q_OBJECT
 public:
  // host is a name or a dotted address; the server's official name (empty
  // for a dotted address) starts the error lines. request is sent with one
  // more CR LF appended.
  TTCPThread(std::shared_ptr<TOutputChannel> channel, TLookupSetup lookup, const QString& host,
             const QByteArray& request, int port);

 protected:
  void Work() override;
  // One exchange: connect to target at port, send request (with its line
  // end), show the reply.
  void Query(const TTarget& target, const QByteArray& request, int port);
  // Each reply line as it arrives, before its conversion.
  virtual void NoteReplyLine(const QByteArray&) {}

 private:
  bool ConnectSocket(int fd, quint32 addr, int port);
  bool SendRequest(int fd, const QByteArray& request);
  void ReceiveReply(int fd);

  const QString FHost;
  const QByteArray FRequest;  // with its line end
  const int FPort;
};
