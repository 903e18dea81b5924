#include "workers/PngThrd.h"

TPingThread::TPingThread(std::shared_ptr<TOutputChannel> channel, TLookupSetup lookup,
                         const QString& host, const TPingParams& params)
    : TIcmpThread(std::move(channel), std::move(lookup), host), FParams(params) {}

void TPingThread::Work() {
  if (!ReachTarget(PingAddressWidth)) return;
  RunWithServiceHandle(FParams.DataSize, ServicePingReplySize(FParams.DataSize), [this] {
    ForEachStep(1, FParams.Count, [this](int number) { return PingOnce(number); });
  });
}

// One request with its line and the pause after it (the last one too);
// false when the run was stopped.
bool TPingThread::PingOnce(int number) {
  SyncStatus(WaitingStatus());
  ShowAnswer(number, SendServiceEcho(FParams.Ttl, FParams.DontFragment, FParams.TimeoutSec * 1000));
  return !PauseBetweenRequests(FParams.DelayMs);
}

void TPingThread::ShowAnswer(int number, const TServiceAnswer& answer) {
  const TSampleKind kind = ServiceSampleKind(answer.Replies, answer.Status);
  const TNetAddress who = Known(answer.Address) ? answer.Address : FTarget;
  if (TargetIsIPv6()) {
    const TEchoVerdict verdict = ServicePing6Verdict(answer.Replies, answer.Status);
    if (verdict != TEchoVerdict::EchoReply) {
      SyncVerdict(number, verdict, answer.Mtu);
      SyncResult(number, kind, who);
      return;
    }
  } else if (const char16_t* message =
                 ServiceMessage(JudgeServicePing(answer.Replies, answer.Status))) {
    SyncMessage(number, message);
    SyncResult(number, kind, who);
    return;
  }
  // The service matched the reply to our request: the target answered.
  SyncReply(number, FTarget, answer.RoundTripMs);
  SyncResult(number, kind, FTarget, answer.RoundTripMs);
}
