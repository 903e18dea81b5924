#include "workers/RawTrsRteThrd.h"

#include "platform/RawIcmp.h"

TRawTraceRouteThread::TRawTraceRouteThread(std::shared_ptr<TOutputChannel> channel,
                                           TLookupSetup lookup, const QString& host,
                                           const TTraceParams& params)
    : TIcmpThread(std::move(channel), std::move(lookup), host), FParams(params) {}

void TRawTraceRouteThread::Work() {
  if (!ReachTarget(TraceAddressWidth)) return;
  RunWithRawSocket(RawTraceDataSize, [this](int fd) {
    SetReceiveTimeout(fd, FParams.TimeoutSec * 1000);
    SetDontFragment(fd, false);
    ForEachStep(FParams.FirstHop, FParams.LastHop,
                [this, fd](int hop) { return TraceHop(fd, hop); });
  });
}

// One hop; false when the trace ends here.
bool TRawTraceRouteThread::TraceHop(int fd, int hop) {
  SyncStatus(HopStatus(hop));
  SetTtl(fd, hop);
  if (!SendRawRequest(quint32(hop))) {
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
    SyncResult(hop, TSampleKind::Reply, answer.Source, answer.ElapsedMs);
    return;
  }
  const TEchoVerdict verdict = answered ? TEchoVerdict::NoAnswer : answer.Verdict;
  SyncVerdict(hop, verdict, answer.Mtu);
  if (const auto kind = VerdictSampleKind(verdict)) SyncResult(hop, *kind, {});
}
