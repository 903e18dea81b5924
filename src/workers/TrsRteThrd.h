#pragma once
#include "workers/IcmpThread.h"

// TraceRoute through the ICMP echo service, for users without raw sockets.
class TTraceRouteThread : public TIcmpThread {
  Q_OBJECT
 public:
  // As TRawTraceRouteThread.
  TTraceRouteThread(std::shared_ptr<TOutputChannel> channel, quint32 targetAddr,
                    const QByteArray& hostText, const TTraceParams& params, THopLookup lookup);

 protected:
  void run() override;

 private:
  bool TraceHop(int hop);

  const TTraceParams FParams;
  const THopLookup FLookup;
};
