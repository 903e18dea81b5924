#pragma once
#include "workers/IcmpThread.h"

// Ping over a raw ICMP socket: builds each echo request itself, waits for the
// reply with the time-out and shows one line per request.
class TRawPingThread : public TIcmpThread {
  Q_OBJECT
 public:
  // host is a name or a dotted address; its official name (none for a
  // dotted address) ends every reply line.
  TRawPingThread(std::shared_ptr<TOutputChannel> channel, TLookupSetup lookup, const QString& host,
                 const TPingParams& params);

 protected:
  void Work() override;

 private:
  bool PingOnce(int index);
  void ShowAnswer(int index, const TRawAnswer& answer);

  const TPingParams FParams;
};
