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

 private:
  void Query(const TTarget& target);
  bool ConnectSocket(int fd, quint32 addr);
  bool SendRequest(int fd);
  void ReceiveReply(int fd);

  const QString FHost;
  const QByteArray FRequest;  // with its line end
  const int FPort;
};
