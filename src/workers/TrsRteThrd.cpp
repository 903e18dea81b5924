#include "workers/TrsRteThrd.h"

TTraceRouteThread::TTraceRouteThread(std::shared_ptr<TOutputChannel> channel, TLookupSetup lookup,
                                     const QString& host, const TTraceParams& params)
    : TIcmpThread(std::move(channel), std::move(lookup), host), FParams(params) {}

void TTraceRouteThread::Work() {
  if (!ReachTarget(TraceAddressWidth)) return;
  RunWithServiceHandle(ServiceTraceDataSize, ServiceTraceReplySize, [this] {
    ForEachStep(FParams.FirstHop, FParams.LastHop, [this](int hop) { return TraceHop(hop); });
  });
}

// One hop; false when the trace ends here.
bool TTraceRouteThread::TraceHop(int hop) {
  SyncStatus(HopStatus(hop));
  const TServiceAnswer answer = SendServiceEcho(hop, false, FParams.TimeoutSec * 1000);
  if (const char16_t* message = ServiceMessage(JudgeServiceHop(answer.Replies, answer.Status))) {
    SyncMessage(hop, message);
    SyncResult(hop, ServiceSampleKind(answer.Replies, answer.Status), {});
    return true;
  }
  SyncHop(hop, answer.Address, answer.RoundTripMs, FParams.ResolveNames);
  SyncResult(hop, TSampleKind::Reply, answer.Address, answer.RoundTripMs);
  return !ServiceHopEndsTrace(answer.Status, answer.Address, FTarget);
}
