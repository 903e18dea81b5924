#include "workers/IcmpThread.h"

#include <poll.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <cstring>

#include "common/Common.h"
#include "common/SjisText.h"
#include "platform/EchoMethod.h"
#include "platform/RawIcmp.h"

TIcmpThread::TIcmpThread(std::shared_ptr<TOutputChannel> channel, TLookupSetup lookup,
                         const QString& host)
    : TQueryThread(std::move(channel), std::move(lookup)), FHost(host) {}

bool TIcmpThread::ReachTarget() {
  const std::optional<TTarget> target = ResolveTarget(FHost);
  if (!target) return false;
  // Echo requests go over IPv4 alone: a host without an IPv4 address is one
  // this tool cannot find.
  const auto v4 = std::find_if(target->Addresses.begin(), target->Addresses.end(),
                               [](const TNetAddress& a) { return a.IsIPv4(); });
  if (v4 == target->Addresses.end()) {
    SyncAddOutput(ToSjis(FHost + QStringLiteral(" - 見つかりません")));
    return false;
  }
  FTargetAddr = v4->IPv4NetOrder();
  FHostText = target->HostText;
  SyncAddOutput(ToSjis(TextColumnHeader));
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
  FRawFd = OpenRawIcmp();
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
  FHandle = IcmpCreateFile();
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
  if (!BuildEchoRequest(FRequest, FDataSize, sequence)) return false;
  FStartTick = Tick16();
  return SendIcmp(FRawFd, FTargetAddr, FRequest);
}

TRawAnswer TIcmpThread::AwaitRawAnswer(quint32 sequence, int timeoutMs, TJudge judge) {
  const QDeadlineTimer deadline(qMax(timeoutMs, 0));
  for (;;) {
    const int ready = WaitFd(FRawFd, POLLIN, int(deadline.remainingTime()));
    if (ready < 0) return {TEchoVerdict::Stopped};
    if (ready == 0) return {TEchoVerdict::NoAnswer};
    quint32 source = 0;
    const int received = ReceiveIcmp(FRawFd, FReceive, &source);
    // Stop shuts the socket down, which fails the receive: no line then.
    if (Terminated()) return {TEchoVerdict::Stopped};
    if (received < 0) return {TEchoVerdict::NoAnswer};
    const TIcmpDatagram datagram =
        DecodeIcmpReply(std::span<const quint8>(FReceive).first(size_t(received)));
    const TEchoVerdict verdict = judge(datagram, EchoIdentifier(), quint16(sequence));
    if (verdict != TEchoVerdict::KeepWaiting) return {verdict, source, ElapsedTick16(FStartTick)};
  }
}

// --- Service requests -----------------------------------------------------------

TServiceAnswer TIcmpThread::SendServiceEcho(int ttl, bool dontFragment, int timeoutMs) {
  TIpOptionInformation options;
  options.Ttl = quint8(ttl);
  options.Flags = dontFragment ? IpFlagDontFragment : 0;
  TServiceAnswer answer;
  answer.Replies =
      IcmpSendEcho(FHandle, FTargetAddr, FRequest.data(), quint16(FRequest.size()), &options,
                   FReceive.data(), quint32(FReceive.size()), quint32(timeoutMs));
  if (answer.Replies == 0) return answer;
  TIcmpEchoReply reply;
  std::memcpy(&reply, FReceive.data(), sizeof reply);
  answer.Address = reply.Address;
  answer.Status = reply.Status;
  answer.RoundTripMs = int(reply.RoundTripTime);
  return answer;
}

// --- What the run shows -------------------------------------------------------------

void TIcmpThread::SyncMessage(int number, const char16_t* message) {
  SyncAddOutput(FormatMessageLine(number, ToSjis(message)));
}

void TIcmpThread::SyncResult(int number, TSampleKind kind, quint32 addr, std::optional<int> ms) {
  const QString address = addr ? QString::fromLatin1(FormatDottedAddress(addr)) : QString();
  SyncSample({number, address, ms, kind});
}

bool TIcmpThread::PauseBetweenRequests(int delayMs) {
  SyncStatus(PauseStatus(delayMs));
  return PauseMs(delayMs);
}

void TIcmpThread::SyncHop(int hop, quint32 addr, int ms, bool resolve) {
  const QByteArray line = FormatHopLine(hop, addr, ms);
  SyncAddOutput(line);
  if (!resolve) return;
  SyncStatus(ResolvingStatus());
  const QByteArray name = HopName(addr);
  SyncReplaceLast(line + name);
}

QByteArray TIcmpThread::HopName(quint32 addr) {
  THostEntry entry;
  if (LookupAddr(TNetAddress::FromIPv4(addr), &entry)) return entry.OfficialName;
  return ToSjis(TextNoHopName);
}
