#pragma once
#include <QDeadlineTimer>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/IcmpLink.h"
#include "platform/IcmpService.h"
#include "workers/IcmpCommon.h"
#include "workers/IcmpTransport.h"
#include "workers/QueryThread.h"

// What ended the wait for one raw request.
struct TRawAnswer {
  TEchoVerdict Verdict = TEchoVerdict::NoAnswer;
  TNetAddress Source;  // who sent the datagram
  int ElapsedMs = 0;   // since the request was sent
  quint32 Mtu = 0;     // with PacketTooBig
  qint64 ElapsedUs = 0;
  double ExactMs() const { return double(ElapsedUs) / 1000; }
};

// What answered one of many requests in flight.
struct TAnyAnswer {
  quint16 Sequence = 0;
  TEchoVerdict Verdict = TEchoVerdict::NoAnswer;  // Stopped: the run ends
  TNetAddress Source;
  quint8 Code = 0;                  // an error message's
  std::optional<qint64> ElapsedUs;  // when the link measured it
};

// Base of the Ping and TraceRoute workers: the run's link (its own raw
// socket, the helper, or the echo service's handle), which Stop wakes and
// the run alone closes; the wait for a raw answer with its filtering; the
// lines, the pause and the hop names. The workers themselves only say what
// to send and what to show.
class TIcmpThread : public TQueryThread {
  Q_OBJECT
 protected:
  // host is a name or an address of either family.
  TIcmpThread(std::shared_ptr<TOutputChannel> channel, TLookupSetup lookup, const QString& host);

  // Resolves the host, takes its first address in use order and shows the
  // column header of the report, its address column as wide as
  // addressWidth says for that address (without header, no line); false
  // when the run ends here (the lookup wrote why, or the run was stopped).
  bool ReachTarget(int (*addressWidth)(const TNetAddress&), bool header = true);

  // Runs work with the run's raw link open and its buffers ready for
  // requests of dataSize bytes, unless the link cannot be opened (no line;
  // the status bar tells why) or the run is stopped first; then closes it.
  void RunWithRawSocket(int dataSize, const std::function<void()>& work);
  // The same with an echo service handle; without one the run shows the
  // one line that says so, and the status bar why.
  void RunWithServiceHandle(int dataSize, int replySize, const std::function<void()>& work);

  // Calls step(n) for n = first..last until it returns false, the run
  // stops or its link is lost. Nothing when last < first.
  void ForEachStep(int first, int last, const std::function<bool(int)>& step);

  // Raw: sends the echo request with this sequence number to the target.
  // Failed (errno says why) gets its line from the caller; Lost ends the
  // run without one, the status bar saying why.
  TLinkResult SendRawRequest(quint32 sequence, int hopLimit, bool dontFragment);
  // Raw: waits at most timeoutMs after the send for the datagram that judge
  // says ends the wait. Whatever else arrives is skipped without restarting
  // the time-out, so a busy network cannot make the wait endless.
  // The link's datagrams of either family are decoded into the same record.
  using TJudge = TEchoVerdict (*)(const TIcmpDatagram&, quint16, quint16);
  TRawAnswer AwaitRawAnswer(quint32 sequence, int timeoutMs, TJudge judge);

  // Either link, many requests in flight: sends one with this sequence
  // number and hop limit (as SendRawRequest), and waits at most timeoutMs
  // for the next answer to any of them: NoAnswer when none came.
  TLinkResult PostRequest(quint16 sequence, int hopLimit);
  TAnyAnswer AwaitAnyAnswer(int timeoutMs);

  // Service: one request to the target with the run's data.
  TServiceAnswer SendServiceEcho(int ttl, bool dontFragment, int timeoutMs);

  void SyncMessage(int number, const char16_t* message);
  // The message line of a verdict, when it has one; mtu for PacketTooBig.
  void SyncVerdict(int number, TEchoVerdict verdict, quint32 mtu = 0);
  // The line and sample of a raw send that failed: packet too big when an
  // IPv6 request may not be fragmented on a path known to be narrower.
  void SyncSendFailure(int number, const TNetAddress& addr);
  // A reply line of Ping.
  void SyncReply(int number, const TNetAddress& addr, int ms);
  // The request's result for the statistics, after its line: who answered
  // (or whom we asked), and the round-trip time of a reply.
  // The time of day of the last request sent goes with it.
  void SyncResult(int number, TSampleKind kind, const TNetAddress& addr,
                  std::optional<double> ms = {});
  // Shows the pause's status text and pauses; true when stopped meanwhile.
  bool PauseBetweenRequests(int delayMs);
  // The hop line; with resolve, then replaced by the same line followed by
  // the hop's name, or by "検出できません" when it has none.
  void SyncHop(int hop, const TNetAddress& addr, int ms, bool resolve);

  bool TargetIsIPv6() const { return FTarget.IsIPv6(); }
  // Whether an answer names who sent it: not null, not 0.0.0.0.
  static bool Known(const TNetAddress& addr);

  TNetAddress FTarget;
  QByteArray FHostText;  // the target's official name, empty for a dotted address

 private:
  void WakeTransport() final;
  // Hands the run's link to Stop's reach; false when the run was stopped
  // already, and then the link is closed.
  bool PublishLink(std::unique_ptr<TIcmpLink> link);
  void CloseLink();
  bool LinkLost();
  TAnyAnswer AwaitAnyRawAnswer(int timeoutMs);
  // The next datagram before the deadline, decoded: KeepWaiting with it,
  // NoAnswer when none came, Stopped when the run ends.
  TEchoVerdict NextRawDatagram(const QDeadlineTimer& deadline, TRawArrival& arrival,
                               TIcmpDatagram& datagram);
  QByteArray HopName(const TNetAddress& addr);

  const QString FHost;
  // The run's link, opened for the target's family. Stop reaches it under
  // the lock; the run uses it through the typed pointer of its kind.
  std::mutex FLinkLock;
  std::unique_ptr<TIcmpLink> FLink;
  TRawLink* FRawLink = nullptr;
  TServiceLink* FServiceLink = nullptr;
  TRawDecoder FDecode = nullptr;
  bool FLost = false;
  int FDataSize = 0;
  int FAddressWidth = IPv4AddressWidth;
  std::vector<quint8> FRequest;
  std::vector<quint8> FReceive;
  qint64 FSentAtMs = 0;
};
