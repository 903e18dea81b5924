#include "workers/RawPngThrd.h"


TRawPingThread::TRawPingThread(std::shared_ptr<TOutputChannel> channel, TLookupSetup lookup,
                               const QString& host, const TPingParams& params)
    : TIcmpThread(std::move(channel), std::move(lookup), host), FParams(params) {}

void TRawPingThread::Work() {
  if (!ReachTarget(PingAddressWidth)) return;
  RunWithRawSocket(FParams.DataSize, [this] {
    ForEachStep(0, FParams.Count - 1, [this](int index) { return PingOnce(index); });
  });
}

// One request with its line; false when the run ends here.
bool TRawPingThread::PingOnce(int index) {
  const TLinkResult sent = SendRawRequest(quint32(index), FParams.Ttl, FParams.DontFragment);
  if (sent == TLinkResult::Lost) return false;
  if (sent == TLinkResult::Failed) {
    SyncSendFailure(index + 1, FTarget);
    return !PauseMs(FParams.DelayMs);
  }
  SyncStatus(WaitingStatus());
  const TRawAnswer answer =
      AwaitRawAnswer(quint32(index), FParams.TimeoutSec * 1000, JudgePingDatagram);
  ShowAnswer(index, answer);
  // Stopped: by Stop, or the link was lost; no pause before the end then.
  if (answer.Verdict == TEchoVerdict::Stopped || Terminated() || index == FParams.Count - 1)
    return false;
  return !PauseBetweenRequests(FParams.DelayMs);
}

void TRawPingThread::ShowAnswer(int index, const TRawAnswer& answer) {
  const int timeoutMs = FParams.TimeoutSec * 1000;
  if (answer.Verdict == TEchoVerdict::EchoReply && !AnswerTooLate(answer.ElapsedMs, timeoutMs)) {
    // The reply's sequence number equals the index here.
    SyncReply(index + 1, answer.Source, answer.ElapsedMs);
    SyncResult(index + 1, TSampleKind::Reply, answer.Source, answer.ExactMs());
    return;
  }
  const TEchoVerdict verdict =
      answer.Verdict == TEchoVerdict::EchoReply ? TEchoVerdict::NoAnswer : answer.Verdict;
  SyncVerdict(index + 1, verdict, answer.Mtu);
  if (const auto kind = VerdictSampleKind(verdict))
    SyncResult(index + 1, *kind, Known(answer.Source) ? answer.Source : FTarget);
}
