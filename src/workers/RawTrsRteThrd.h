#pragma once
#include "workers/IcmpThread.h"

// TraceRoute over a raw ICMP socket: one echo request per hop with the
// time-to-live equal to the hop number, until the target answers.
class TRawTraceRouteThread : public TIcmpThread {
  Q_OBJECT
 public:
  // targetAddr in network byte order; hostText is kept but not shown;
  // lookup names the answering addresses when params.ResolveNames is set.
  TRawTraceRouteThread(std::shared_ptr<TOutputChannel> channel, quint32 targetAddr,
                       const QByteArray& hostText, const TTraceParams& params, THopLookup lookup);

 protected:
  void run() override;

 private:
  bool TraceHop(int fd, int hop);
  void ShowAnswer(int hop, const TRawAnswer& answer);

  const TTraceParams FParams;
  const THopLookup FLookup;
};
