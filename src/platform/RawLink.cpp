// The run's raw link: its own raw socket when this process may open one
// (root, or a program given CAP_NET_RAW), else the helper.
#include <netinet/in.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <cerrno>
#include <chrono>
#include <unordered_map>

#include "common/Common.h"
#include "helper/ProbeWire.h"
#include "platform/IcmpLink.h"
#include "platform/RawIcmp.h"
#include "platform/RawIcmpHelper.h"

namespace {

using TClock = std::chrono::steady_clock;

// The run's own raw socket. Stop wakes its waits through an eventfd: the
// socket itself is only ever closed here, by the run.
class TOwnRawLink : public TRawLink {
 public:
  TOwnRawLink(int fd, TAddressFamily family)
      : FFd(fd), FWake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), FFamily(family) {}
  ~TOwnRawLink() override {
    ::close(FFd);
    if (FWake >= 0) ::close(FWake);
  }
  TOwnRawLink(const TOwnRawLink&) = delete;
  TOwnRawLink& operator=(const TOwnRawLink&) = delete;

  bool Ready() const { return FWake >= 0; }
  // As ping does: the low 16 bits of the process id.
  quint16 Identifier() const override { return quint16(::getpid()); }
  void Wake() override { WakeEventFd(FWake); }
  TLinkResult Send(const TEchoProbe& probe) override;
  TLinkResult Receive(std::span<quint8> buffer, int msecs, TRawArrival* arrival) override;

 private:
  void ApplyOptions(const TEchoProbe& probe);
  qint64 ElapsedUs(std::span<const quint8> datagram) const;

  const int FFd;
  const int FWake;
  const TAddressFamily FFamily;
  // The options last set, so that a run of equal requests sets them once.
  int FHopLimit = -1, FTrafficClass = -1, FDontFragment = -1;
  std::vector<quint8> FRequest;
  std::unordered_map<quint16, TClock::time_point> FSentAt;
  TClock::time_point FLastSend;
};

// A refused option leaves the system's default; the request still goes out.
void TOwnRawLink::ApplyOptions(const TEchoProbe& probe) {
  if (probe.HopLimit != FHopLimit && SetTtl(FFd, probe.HopLimit)) FHopLimit = probe.HopLimit;
  if (probe.TrafficClass != FTrafficClass && SetTrafficClass(FFd, probe.TrafficClass))
    FTrafficClass = probe.TrafficClass;
  if (int(probe.DontFragment) != FDontFragment && SetDontFragment(FFd, probe.DontFragment))
    FDontFragment = probe.DontFragment;
}

TLinkResult TOwnRawLink::Send(const TEchoProbe& probe) {
  const bool v6 = FFamily == TAddressFamily::IPv6;
  FRequest.resize(size_t(IcmpHeaderSize + std::max(probe.DataSize, 0)));
  if (!WireBuildEcho(FRequest, v6, probe.DataSize, Identifier(), probe.Sequence, TickCount())) {
    errno = EINVAL;
    return TLinkResult::Failed;
  }
  ApplyOptions(probe);
  FLastSend = TClock::now();
  if (!SendIcmp(FFd, probe.Dest, FRequest)) return TLinkResult::Failed;
  FSentAt[probe.Sequence] = FLastSend;
  return TLinkResult::Done;
}

// From the send of the request the datagram answers, when it answers one of
// ours; else from the last send.
qint64 TOwnRawLink::ElapsedUs(std::span<const quint8> datagram) const {
  using namespace std::chrono;
  const TWireEcho echo = WireReadEcho(datagram, FFamily == TAddressFamily::IPv6, Identifier());
  const auto sent = echo.Kind == TWireKind::Other ? FSentAt.end() : FSentAt.find(echo.Sequence);
  const TClock::time_point start = sent == FSentAt.end() ? FLastSend : sent->second;
  return duration_cast<microseconds>(TClock::now() - start).count();
}

TLinkResult TOwnRawLink::Receive(std::span<quint8> buffer, int msecs, TRawArrival* arrival) {
  const QDeadlineTimer deadline(qMax(msecs, 0));
  for (;;) {
    const int ready = WaitReadable(FFd, FWake, deadline);
    if (ready < 0) return TLinkResult::Lost;
    if (ready == 0) return TLinkResult::Failed;
    const int received = ReceiveIcmp(FFd, buffer, &arrival->Source, MSG_DONTWAIT);
    if (received < 0) continue;  // gone again (another reader), or an error: wait on
    arrival->Size = received;
    arrival->ElapsedUs = ElapsedUs(buffer.first(size_t(received)));
    arrival->ElapsedMs = int(arrival->ElapsedUs / 1000);
    return TLinkResult::Done;
  }
}

}  // namespace

std::unique_ptr<TRawLink> OpenRawLink(TAddressFamily family) {
  const bool v6 = family == TAddressFamily::IPv6;
  const int fd = v6 ? OpenRawIcmp6() : OpenRawIcmp();
  if (fd >= 0) {
    auto link = std::make_unique<TOwnRawLink>(fd, family);
    if (link->Ready()) return link;
    return nullptr;  // no eventfd: errno says why
  }
  if (!IsPermissionError(errno)) return nullptr;
  const int error = errno;
  auto link = OpenHelperLink(IcmpHelperPath(), family);
  // When the helper cannot even be started, the cause the user can act on
  // is still this process's own errno.
  if (!link && (errno == ENOENT || errno == EACCES || errno == ENOEXEC)) errno = error;
  return link;
}
