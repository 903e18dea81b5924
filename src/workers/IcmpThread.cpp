#include "workers/IcmpThread.h"

#include <poll.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <cerrno>

#include "common/Common.h"
#include "common/SjisText.h"
#include "platform/EchoMethod.h"
#include "platform/RawIcmp.h"

TIcmpThread::TIcmpThread(std::shared_ptr<TOutputChannel> channel, TLookupSetup lookup,
                         const QString& host)
    : TQueryThread(std::move(channel), std::move(lookup)), FHost(host) {}

bool TIcmpThread::ReachTarget(int (*addressWidth)(const TNetAddress&)) {
  const std::optional<TTarget> target = ResolveTarget(FHost);
  if (!target) return false;
  FTarget = target->Addresses.front();
  FHostText = target->HostText;
  FAddressWidth = addressWidth(FTarget);
  SyncAddOutput(ToSjis(ColumnHeader(FAddressWidth)));
  return true;
}

// --- The run's socket or handle ---------------------------------------------

void TIcmpThread::RunWithRawSocket(int dataSize, const std::function<void(int fd)>& work) {
  // Stop sets the flag before it shuts the slot down: checking after the
  // socket is published means either Stop saw it or we see the flag.
  if (OpenRawSocket(dataSize) && !Terminated()) work(FRawFd);
  CloseRawSocket();
}

void TIcmpThread::RunWithServiceHandle(int dataSize, int replySize,
                                       const std::function<void()>& work) {
  if (OpenServiceHandle(dataSize, replySize) && !Terminated()) work();
  CloseServiceHandle();
}

bool TIcmpThread::OpenRawSocket(int dataSize) {
  FRaw = &RawTransportFor(FTarget.Family());
  FRawFd = FRaw->Open();
  if (FRawFd < 0) {
    SetClosingStatus(RawIcmpFailure(errno));
    return false;
  }
  FRawToken = ActiveSocket.Put(FRawFd);
  FDataSize = dataSize;
  FRequest.assign(size_t(EchoRequestSize(dataSize)), EchoFiller);
  FReceive.assign(size_t(ReceiveBufferSize(dataSize)), 0);
  return true;
}

void TIcmpThread::CloseRawSocket() {
  if (FRawFd < 0) return;
  // Stop may have shut it down and emptied the slot; closing is ours alone.
  ActiveSocket.Release(FRawToken);
  ::close(FRawFd);
  FRawFd = -1;
}

bool TIcmpThread::OpenServiceHandle(int dataSize, int replySize) {
  FService = &ServiceTransportFor(FTarget.Family());
  FHandle = FService->Create();
  if (FHandle == InvalidHandleValue) {
    SetClosingStatus(IcmpServiceFailure(errno));
    SyncAddOutput(ToSjis(TextNoHandle));
    return false;
  }
  FHandlePublished = IcmpHandle.Put(FHandle);
  FRequest.assign(size_t(dataSize), EchoFiller);
  FReceive.assign(size_t(replySize), 0);
  return true;
}

void TIcmpThread::CloseServiceHandle() {
  // Unless Stop took the handle out of the slot and closed it already.
  if (FHandle != InvalidHandleValue && (!FHandlePublished || IcmpHandle.Release(FHandle)))
    IcmpCloseHandle(FHandle);
  FHandle = InvalidHandleValue;
}

void TIcmpThread::ForEachStep(int first, int last, const std::function<bool(int)>& step) {
  for (int n = first; n <= last && !Terminated(); ++n)
    if (!step(n)) break;
}

// --- Raw requests -------------------------------------------------------------

bool TIcmpThread::SendRawRequest(quint32 sequence) {
  if (!FRaw->Build(FRequest, FDataSize, sequence)) return false;
  FStartTick = Tick16();
  return SendIcmp(FRawFd, FTarget, FRequest);
}

TRawAnswer TIcmpThread::AwaitRawAnswer(quint32 sequence, int timeoutMs, TJudge judge) {
  const QDeadlineTimer deadline(qMax(timeoutMs, 0));
  for (;;) {
    const int ready = WaitFd(FRawFd, POLLIN, int(deadline.remainingTime()));
    if (ready < 0) return {TEchoVerdict::Stopped, {}};
    if (ready == 0) return {TEchoVerdict::NoAnswer, {}};
    TNetAddress source;
    const int received = ReceiveIcmp(FRawFd, FReceive, &source);
    // Stop shuts the socket down, which fails the receive: no line then.
    if (Terminated()) return {TEchoVerdict::Stopped, {}};
    if (received < 0) return {TEchoVerdict::NoAnswer, {}};
    const auto bytes = std::span<const quint8>(FReceive).first(size_t(received));
    const TIcmpDatagram datagram = FRaw->Decode(bytes);
    const TEchoVerdict verdict = judge(datagram, EchoIdentifier(), quint16(sequence));
    if (verdict != TEchoVerdict::KeepWaiting)
      return {verdict, source, ElapsedTick16(FStartTick), datagram.FMtu};
  }
}

// --- Service requests -----------------------------------------------------------

TServiceAnswer TIcmpThread::SendServiceEcho(int ttl, bool dontFragment, int timeoutMs) {
  TIpOptionInformation options;
  options.Ttl = quint8(ttl);
  options.Flags = dontFragment ? IpFlagDontFragment : 0;
  return FService->Echo(FHandle, FTarget, FRequest, options, FReceive, quint32(timeoutMs));
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
                             std::optional<int> ms) {
  SyncSample({number, Known(addr) ? addr.ToString() : QString(), ms, kind});
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
