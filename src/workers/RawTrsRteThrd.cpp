#include "workers/RawTrsRteThrd.h"


TRawTraceRouteThread::TRawTraceRouteThread(std::shared_ptr<TOutputChannel> channel,
                                           TLookupSetup lookup, const QString& host,
                                           const TTraceParams& params)
    : TIcmpThread(std::move(channel), std::move(lookup), host), FParams(params) {}

void TRawTraceRouteThread::Work() {
  if (!ReachTarget(TraceAddressWidth)) return;
  RunWithRawSocket(RawTraceDataSize, [this] {
    ForEachStep(FParams.FirstHop, FParams.LastHop, [this](int hop) { return TraceHop(hop); });
  });
}

// One hop; false when the trace ends here.
bool TRawTraceRouteThread::TraceHop(int hop) {
  SyncStatus(HopStatus(hop));
  const TLinkResult sent = SendRawRequest(quint32(hop), hop, false);
  if (sent == TLinkResult::Lost) return false;
  if (sent == TLinkResult::Failed) {
    SyncSendFailure(hop, {});
    return true;
  }
  const TRawAnswer answer =
      AwaitRawAnswer(quint32(hop), FParams.TimeoutSec * 1000, JudgeTraceDatagram);
  ShowAnswer(hop, answer);
  return !VerdictEndsTrace(answer.Verdict);
}

void TRawTraceRouteThread::ShowAnswer(int hop, const TRawAnswer& answer) {
  const bool answered =
      answer.Verdict == TEchoVerdict::EchoReply || answer.Verdict == TEchoVerdict::TimeExceeded;
  if (answered && !AnswerTooLate(answer.ElapsedMs, FParams.TimeoutSec * 1000)) {
    SyncHop(hop, answer.Source, answer.ElapsedMs, FParams.ResolveNames);
    SyncResult(hop, TSampleKind::Reply, answer.Source, answer.ExactMs());
    return;
  }
  const TEchoVerdict verdict = answered ? TEchoVerdict::NoAnswer : answer.Verdict;
  SyncVerdict(hop, verdict, answer.Mtu);
  if (const auto kind = VerdictSampleKind(verdict)) SyncResult(hop, *kind, {});
}
