#pragma once
#include "workers/IcmpThread.h"

// TraceRoute through the ICMP echo service, for users without raw sockets.
class TTraceRouteThread : public TIcmpThread {
  Q_OBJECT
 public:
  // As TRawTraceRouteThread.
  TTraceRouteThread(std::shared_ptr<TOutputChannel> channel, TLookupSetup lookup,
                    const QString& host, const TTraceParams& params);

 protected:
  void Work() override;

 private:
  bool TraceHop(int hop);

  const TTraceParams FParams;
};
