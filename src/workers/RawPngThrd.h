#pragma once
#include "workers/IcmpThread.h"

// Ping over a raw ICMP socket: builds each echo request itself, waits for the
// reply with the time-out and shows one line per request.
class TRawPingThread : public TIcmpThread {
  Q_OBJECT
 public:
  // targetAddr in network byte order; hostText is the target's official name
  // (empty for a dotted address), shown at the end of every reply line.
  TRawPingThread(std::shared_ptr<TOutputChannel> channel, quint32 targetAddr,
                 const QByteArray& hostText, const TPingParams& params);

 protected:
  void run() override;

 private:
  void SetOptions(int fd);
  bool PingOnce(int index);
  void ShowAnswer(int index, const TRawAnswer& answer);

  const TPingParams FParams;
};
