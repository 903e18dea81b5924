#pragma once
#include "workers/IcmpThread.h"

// TraceRoute over a raw ICMP socket: one echo request per hop with the
// time-to-live equal to the hop number, until the target answers.
class TRawTraceRouteThread : public TIcmpThread {
  Q_OBJECT
 public:
  // host is a name or a dotted address; the answering addresses are named
  // through lookup when params.ResolveNames is set.
  TRawTraceRouteThread(std::shared_ptr<TOutputChannel> channel, TLookupSetup lookup,
                       const QString& host, const TTraceParams& params);

 protected:
  void Work() override;

 private:
  bool TraceHop(int hop);
  void ShowAnswer(int hop, const TRawAnswer& answer);

  const TTraceParams FParams;
};
