#pragma once
#include "workers/IcmpThread.h"

// Ping through the ICMP echo service, for users without raw sockets: the
// service builds the requests, matches the replies and measures the time.
class TPingThread : public TIcmpThread {
  Q_OBJECT
 public:
  // As TRawPingThread.
  TPingThread(std::shared_ptr<TOutputChannel> channel, TLookupSetup lookup, const QString& host,
              const TPingParams& params);

 protected:
  void Work() override;

 private:
  bool PingOnce(int number);
  void ShowAnswer(int number, const TServiceAnswer& answer);

  const TPingParams FParams;
};
