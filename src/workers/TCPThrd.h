#pragma once
#include "workers/QueryThread.h"

// Finger, Whois and HTTP: connect, send one request, show the reply line by
// line (each line converted to Shift_JIS) until the server closes or Stop.
class TTCPThread : public TQueryThread {
  Q_OBJECT
 public:
  // targetAddr in network byte order; hostText is the server's official name
  // (empty for a dotted address), used in the error lines; request is sent
  // with one more CR LF appended.
  TTCPThread(std::shared_ptr<TOutputChannel> channel, quint32 targetAddr,
             const QByteArray& hostText, const QByteArray& request, int port);

 protected:
  void run() override;

 private:
  bool ConnectSocket(int fd);
  bool SendRequest(int fd);
  void ReceiveReply(int fd);

  const QByteArray FHostText;
  QByteArray FRequest;
  const quint32 FTargetAddr;
  const int FPort;
};
