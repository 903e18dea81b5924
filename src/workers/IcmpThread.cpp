#include "workers/IcmpThread.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <cerrno>

#include "common/Common.h"
#include "common/SjisText.h"
#include "platform/EchoMethod.h"
#include "platform/RawIcmp.h"

TIcmpThread::TIcmpThread(std::shared_ptr<TOutputChannel> channel, TLookupSetup lookup,
                         const QString& host)
    : TQueryThread(std::move(channel), std::move(lookup)), FHost(host) {}

bool TIcmpThread::ReachTarget(int (*addressWidth)(const TNetAddress&), bool header) {
  const std::optional<TTarget> target = ResolveTarget(FHost);
  if (!target) return false;
  FTarget = target->Addresses.front();
  FHostText = target->HostText;
  FAddressWidth = addressWidth(FTarget);
  if (header) SyncAddOutput(ToSjis(ColumnHeader(FAddressWidth)));
  return true;
}

// --- The run's link ------------------------------------------------------------

void TIcmpThread::RunWithRawSocket(int dataSize, const std::function<void()>& work) {
  FDecode = RawDecoderFor(FTarget.Family());
  std::unique_ptr<TRawLink> link = OpenRawLink(FTarget.Family());
  if (!link) {
    SetClosingStatus(RawIcmpFailure(errno));
    return;
  }
  FRawLink = link.get();
  FDataSize = dataSize;
  FReceive.assign(size_t(ReceiveBufferSize(dataSize)), 0);
  if (PublishLink(std::move(link))) work();
  CloseLink();
}

void TIcmpThread::RunWithServiceHandle(int dataSize, int replySize,
                                       const std::function<void()>& work) {
  std::unique_ptr<TServiceLink> link = TServiceLink::Open(FTarget.Family());
  if (!link) {
    SetClosingStatus(IcmpServiceFailure(errno));
    SyncAddOutput(ToSjis(TextNoHandle));
    return;
  }
  FServiceLink = link.get();
  FRequest.assign(size_t(dataSize), EchoFiller);
  FReceive.assign(size_t(replySize), 0);
  if (PublishLink(std::move(link))) work();
  CloseLink();
}

// Stop sets the flag before it wakes the link: checking after the link is
// published means either Stop saw the link or we see the flag.
bool TIcmpThread::PublishLink(std::unique_ptr<TIcmpLink> link) {
  {
    const std::lock_guard lock(FLinkLock);
    FLink = std::move(link);
  }
  return !Terminated();
}

void TIcmpThread::WakeTransport() {
  const std::lock_guard lock(FLinkLock);
  if (FLink) FLink->Wake();
}

// Closed outside the lock: ending a helper may take a moment, and Stop must
// never wait for it.
void TIcmpThread::CloseLink() {
  std::unique_ptr<TIcmpLink> link;
  {
    const std::lock_guard lock(FLinkLock);
    link = std::move(FLink);
  }
  FRawLink = nullptr;
  FServiceLink = nullptr;
}

// A link lost by anything but Stop ends the run, with its reason.
bool TIcmpThread::LinkLost() {
  if (!FLost && FRawLink && !FRawLink->Failure().isEmpty()) {
    FLost = true;
    SetClosingStatus(FRawLink->Failure());
  }
  return FLost;
}

void TIcmpThread::ForEachStep(int first, int last, const std::function<bool(int)>& step) {
  for (int n = first; n <= last && !Terminated() && !LinkLost(); ++n)
    if (!step(n)) break;
}

// --- Raw requests -------------------------------------------------------------

TLinkResult TIcmpThread::SendRawRequest(quint32 sequence, int hopLimit, bool dontFragment) {
  TEchoProbe probe;
  probe.Dest = FTarget;
  probe.Sequence = quint16(sequence);
  probe.DataSize = FDataSize;
  probe.HopLimit = hopLimit;
  probe.DontFragment = dontFragment;
  FSentAtMs = QDateTime::currentMSecsSinceEpoch();
  const TLinkResult result = FRawLink->Send(probe);
  if (result == TLinkResult::Lost) LinkLost();
  return result;
}

// Stop wakes the link, which ends the wait: no line then.
TEchoVerdict TIcmpThread::NextRawDatagram(const QDeadlineTimer& deadline, TRawArrival& arrival,
                                          TIcmpDatagram& datagram) {
  const TLinkResult received = FRawLink->Receive(FReceive, int(deadline.remainingTime()), &arrival);
  if (Terminated() || (received == TLinkResult::Lost && LinkLost())) return TEchoVerdict::Stopped;
  if (received != TLinkResult::Done) return TEchoVerdict::NoAnswer;
  datagram = FDecode(std::span<const quint8>(FReceive).first(size_t(arrival.Size)));
  return TEchoVerdict::KeepWaiting;
}

TRawAnswer TIcmpThread::AwaitRawAnswer(quint32 sequence, int timeoutMs, TJudge judge) {
  const QDeadlineTimer deadline(qMax(timeoutMs, 0));
  for (;;) {
    TRawArrival arrival;
    TIcmpDatagram datagram;
    if (const TEchoVerdict end = NextRawDatagram(deadline, arrival, datagram);
        end != TEchoVerdict::KeepWaiting)
      return {end, {}};
    const TEchoVerdict verdict = judge(datagram, FRawLink->Identifier(), quint16(sequence));
    if (verdict != TEchoVerdict::KeepWaiting)
      return {verdict, arrival.Source, arrival.ElapsedMs, datagram.FMtu, arrival.ElapsedUs};
  }
}

// --- Many requests in flight -------------------------------------------------------

namespace {
TAnyAnswer Ended(TEchoVerdict verdict) {
  TAnyAnswer answer;
  answer.Verdict = verdict;
  return answer;
}
}  // namespace

TLinkResult TIcmpThread::PostRequest(quint16 sequence, int hopLimit) {
  if (FRawLink) return SendRawRequest(sequence, hopLimit, false);
  errno = FServiceLink->Post(FTarget, sequence, FRequest, hopLimit);
  return errno == 0 ? TLinkResult::Done : TLinkResult::Failed;
}

TAnyAnswer TIcmpThread::AwaitAnyAnswer(int timeoutMs) {
  if (FRawLink) return AwaitAnyRawAnswer(timeoutMs);
  TPostedAnswer posted;
  const bool answered = FServiceLink->AwaitPosted(timeoutMs, &posted);
  if (Terminated()) return Ended(TEchoVerdict::Stopped);
  if (!answered) return {};
  return {posted.Sequence, ServiceStatusVerdict(posted.Status), posted.Address, posted.Code, {}};
}

TAnyAnswer TIcmpThread::AwaitAnyRawAnswer(int timeoutMs) {
  const QDeadlineTimer deadline(qMax(timeoutMs, 0));
  for (;;) {
    TRawArrival arrival;
    TIcmpDatagram datagram;
    if (const TEchoVerdict end = NextRawDatagram(deadline, arrival, datagram);
        end != TEchoVerdict::KeepWaiting)
      return Ended(end);
    quint16 sequence = 0;
    const TEchoVerdict verdict = JudgeAnyDatagram(datagram, FRawLink->Identifier(), &sequence);
    if (verdict != TEchoVerdict::KeepWaiting)
      return {sequence, verdict, arrival.Source, datagram.FCode, arrival.ElapsedUs};
  }
}

// --- Service requests -----------------------------------------------------------

TServiceAnswer TIcmpThread::SendServiceEcho(int ttl, bool dontFragment, int timeoutMs) {
  TIpOptionInformation options;
  options.Ttl = quint8(ttl);
  options.Flags = dontFragment ? IpFlagDontFragment : 0;
  FSentAtMs = QDateTime::currentMSecsSinceEpoch();
  return FServiceLink->Echo(FTarget, FRequest, options, FReceive, quint32(timeoutMs));
}

// --- What the run shows -------------------------------------------------------------

void TIcmpThread::SyncMessage(int number, const char16_t* message) {
  SyncAddOutput(FormatMessageLine(number, ToSjis(message), FAddressWidth));
}

void TIcmpThread::SyncVerdict(int number, TEchoVerdict verdict, quint32 mtu) {
  if (verdict == TEchoVerdict::PacketTooBig)
    SyncAddOutput(FormatMessageLine(number, ToSjis(PacketTooBigText(mtu)), FAddressWidth));
  else if (const char16_t* message = VerdictMessage(verdict))
    SyncMessage(number, message);
}

void TIcmpThread::SyncSendFailure(int number, const TNetAddress& addr) {
  if (TargetIsIPv6() && errno == EMSGSIZE) {
    SyncVerdict(number, TEchoVerdict::PacketTooBig);
    SyncResult(number, TSampleKind::Unreachable, addr);
    return;
  }
  SyncMessage(number, TextSendError);
  SyncResult(number, TSampleKind::Error, addr);
}

void TIcmpThread::SyncReply(int number, const TNetAddress& addr, int ms) {
  SyncAddOutput(FormatReplyLine(number, addr, ms, FHostText, FAddressWidth));
}

void TIcmpThread::SyncResult(int number, TSampleKind kind, const TNetAddress& addr,
                             std::optional<double> ms) {
  SyncSample({number, Known(addr) ? addr.ToString() : QString(), ms, kind, FSentAtMs});
}

bool TIcmpThread::Known(const TNetAddress& addr) {
  return !addr.IsNull() && !(addr.IsIPv4() && addr.IPv4NetOrder() == 0);
}

bool TIcmpThread::PauseBetweenRequests(int delayMs) {
  SyncStatus(PauseStatus(delayMs));
  return PauseMs(delayMs);
}

void TIcmpThread::SyncHop(int hop, const TNetAddress& addr, int ms, bool resolve) {
  const QByteArray line = FormatHopLine(hop, addr, ms, FAddressWidth);
  SyncAddOutput(line);
  if (!resolve) return;
  SyncStatus(ResolvingStatus());
  const QByteArray name = HopName(addr);
  SyncReplaceLast(line + name);
}

QByteArray TIcmpThread::HopName(const TNetAddress& addr) {
  THostEntry entry;
  if (LookupAddr(addr, &entry)) return entry.OfficialName;
  return ToSjis(TextNoHopName);
}
