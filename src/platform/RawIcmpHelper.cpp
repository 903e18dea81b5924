#include "platform/RawIcmpHelper.h"

#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <utility>
#include <vector>

#include "common/ProgramDir.h"
#include "platform/RawIcmp.h"

namespace {

QMutex PathLock;
QString OverridePath;  // guarded by PathLock

// Where the helper goes, relative to the program's directory, when installed.
constexpr char InstalledDir[] = OSTREKON_HELPER_RELDIR;

// Closes a descriptor it owns, keeping errno.
class TFd {
 public:
  explicit TFd(int fd = -1) : FFd(fd) {}
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  ~TFd() { Reset(); }
  int Get() const { return FFd; }
  int Take() { return std::exchange(FFd, -1); }
  void Reset(int fd = -1) {
    if (FFd >= 0) {
      const int error = errno;
      ::close(FFd);
      errno = error;
    }
    FFd = fd;
  }

 private:
  int FFd;
};

// The helper gets its end of the pair as descriptor 3 and no other
// descriptor of this process, no environment and no arguments; signals as
// a fresh process has them.
pid_t SpawnHelper(const QByteArray& path, int pairEnd) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pairEnd, HelperPairFd);
  posix_spawn_file_actions_addclosefrom_np(&actions, HelperPairFd + 1);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  char name[sizeof IcmpHelperName];
  std::memcpy(name, IcmpHelperName, sizeof name);
  char* arguments[] = {name, nullptr};
  char* environment[] = {nullptr};
  pid_t pid = -1;
  const int error =
      ::posix_spawn(&pid, path.constData(), &actions, &attributes, arguments, environment);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  errno = error;
  return error == 0 ? pid : -1;
}

// The helper exits as soon as it has replied; one that has not by the
// deadline is killed. Either way it is reaped here: no zombie is left, and a
// helper that hangs cannot hang the worker.
void Reap(pid_t pid, const QDeadlineTimer& deadline) {
  const int error = errno;
  const TFd exited(int(::syscall(SYS_pidfd_open, pid, 0)));
  if (exited.Get() >= 0) WaitReadable(exited.Get(), -1, deadline);
  if (::waitpid(pid, nullptr, WNOHANG) == 0) {
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  errno = error;
}

// The window's mirror of the helper's rate bound, a little slower, so that
// no run of the window's ever meets it: a burst of this many requests, then
// as many a second.
constexpr int PacedPerSecond = HelperRequestsPerSecond - 5;
constexpr qint64 PaceCostNs = 1000000000 / PacedPerSecond;

// The address as the helper takes it: IPv4 in the first 4 bytes.
void PutAddress(const TNetAddress& address, THelperProbe* probe) {
  if (address.IsIPv4()) {
    const quint32 netOrder = address.IPv4NetOrder();
    std::memcpy(probe->Address, &netOrder, 4);
  } else {
    std::memcpy(probe->Address, address.Bytes().data(), 16);
    probe->ScopeId = address.ScopeId();
  }
}

TNetAddress TakeAddress(const THelperAnswer& answer, bool v6) {
  if (!v6) {
    quint32 netOrder;
    std::memcpy(&netOrder, answer.Source, 4);
    return TNetAddress::FromIPv4(netOrder);
  }
  TNetAddress::TBytes bytes;
  std::memcpy(bytes.data(), answer.Source, 16);
  return TNetAddress::FromIPv6(bytes, answer.SourceScopeId);
}

// What one read of the pair gave.
enum class TRead { Record, TimedOut, Woken, Gone };

// The run's link to its helper. The helper holds the raw socket; this side
// holds the pair and its wake descriptor. Stop shuts the pair down, which
// ends the helper at once and wakes this side's wait.
class THelperLink : public TRawLink {
 public:
  THelperLink(int pair, pid_t pid, int wake, TAddressFamily family, quint16 identifier)
      : FPair(pair), FPid(pid), FWake(wake), FV6(family == TAddressFamily::IPv6),
        FIdentifier(identifier) {}
  ~THelperLink() override {
    EndIcmpHelper(FPair, FPid);
    ::close(FWake);
  }
  THelperLink(const THelperLink&) = delete;
  THelperLink& operator=(const THelperLink&) = delete;

  quint16 Identifier() const override { return FIdentifier; }
  void Wake() override {
    WakeEventFd(FWake);
    ::shutdown(FPair, SHUT_RDWR);
  }
  TLinkResult Send(const TEchoProbe& probe) override;
  TLinkResult Receive(std::span<quint8> buffer, int msecs, TRawArrival* arrival) override;
  QString Failure() const override { return FFailure; }

 private:
  bool Pace();
  TRead ReadRecord(const QDeadlineTimer& deadline);
  TLinkResult Lose(TRead read);
  TLinkResult Deliver(std::span<const quint8> record, std::span<quint8> buffer,
                      TRawArrival* arrival) const;

  const int FPair;
  const pid_t FPid;
  const int FWake;
  const bool FV6;
  const quint16 FIdentifier;
  // The record read last, and its answer part.
  std::vector<quint8> FRecord = std::vector<quint8>(sizeof(THelperAnswer) + HelperMaxDatagram + 1);
  qsizetype FRecordSize = 0;
  THelperAnswer FAnswer;
  // Datagrams that arrived while a send waited for the helper's word on it.
  std::deque<std::vector<quint8>> FPending;
  qint64 FCreditNs = qint64(PacedPerSecond) * PaceCostNs;
  QElapsedTimer FCreditClock;
  QString FFailure;
};

// Waits, when need be, until one more request keeps within the rate; false
// when woken meanwhile.
bool THelperLink::Pace() {
  if (!FCreditClock.isValid()) FCreditClock.start();
  FCreditNs = std::min(FCreditNs + FCreditClock.nsecsElapsed(), qint64(PacedPerSecond) * PaceCostNs);
  FCreditClock.restart();
  if (FCreditNs < PaceCostNs) {
    const QDeadlineTimer wait((PaceCostNs - FCreditNs + 999999) / 1000000);
    if (WaitReadable(-1, FWake, wait) < 0) return false;
    FCreditNs += FCreditClock.nsecsElapsed();
    FCreditClock.restart();
  }
  FCreditNs -= PaceCostNs;
  return true;
}

TRead THelperLink::ReadRecord(const QDeadlineTimer& deadline) {
  const int ready = WaitReadable(FPair, FWake, deadline);
  if (ready < 0) return TRead::Woken;
  if (ready == 0) return TRead::TimedOut;
  ssize_t size;
  do {
    size = ::recv(FPair, FRecord.data(), FRecord.size(), MSG_DONTWAIT);
  } while (size < 0 && errno == EINTR);
  if (size < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return ReadRecord(deadline);
  FRecordSize = std::max<qsizetype>(size, 0);
  FAnswer = {};
  // The helper writes nothing else: anything shorter, or longer, ends the run.
  if (size < qsizetype(sizeof FAnswer) || size >= qsizetype(FRecord.size())) return TRead::Gone;
  std::memcpy(&FAnswer, FRecord.data(), sizeof FAnswer);
  return FAnswer.Magic == HelperMagic ? TRead::Record : TRead::Gone;
}

TLinkResult THelperLink::Lose(TRead read) {
  if (read == TRead::Gone && FAnswer.Magic == HelperMagic &&
      FAnswer.Event == quint16(THelperEvent::Refused))
    FFailure = HelperRefusalText(THelperRefusal(FAnswer.Error));
  else if (read == TRead::Gone || read == TRead::TimedOut)
    FFailure = QStringLiteral("RAWソケット用のヘルパーが応答しなくなりました。");
  return TLinkResult::Lost;
}

TLinkResult THelperLink::Send(const TEchoProbe& probe) {
  if (!Pace()) return TLinkResult::Lost;
  THelperProbe record;
  record.Sequence = probe.Sequence;
  record.DataSize = quint16(std::clamp(probe.DataSize, 0, 0xFFFF));
  record.HopLimit = quint8(std::clamp(probe.HopLimit, 0, 255));
  record.TrafficClass = quint8(probe.TrafficClass);
  record.DontFragment = probe.DontFragment ? 1 : 0;
  PutAddress(probe.Dest, &record);
  if (::send(FPair, &record, sizeof record, MSG_NOSIGNAL) != ssize_t(sizeof record))
    return Lose(TRead::Gone);
  const QDeadlineTimer deadline(IcmpHelperWaitMs);
  for (;;) {
    const TRead read = ReadRecord(deadline);
    if (read != TRead::Record) return Lose(read);
    const THelperAnswer& answer = FAnswer;
    if (answer.Event == quint16(THelperEvent::Received)) {
      FPending.emplace_back(FRecord.begin(), FRecord.begin() + FRecordSize);
    } else if (answer.Sequence == probe.Sequence && answer.Event == quint16(THelperEvent::Sent)) {
      return TLinkResult::Done;
    } else if (answer.Sequence == probe.Sequence &&
               answer.Event == quint16(THelperEvent::SendFailed)) {
      errno = answer.Error;
      return TLinkResult::Failed;
    } else {
      return Lose(TRead::Gone);
    }
  }
}

TLinkResult THelperLink::Deliver(std::span<const quint8> record, std::span<quint8> buffer,
                                 TRawArrival* arrival) const {
  THelperAnswer answer;
  std::memcpy(&answer, record.data(), sizeof answer);
  const size_t size = std::min(record.size() - sizeof answer, buffer.size());
  std::memcpy(buffer.data(), record.data() + sizeof answer, size);
  arrival->Size = int(size);
  arrival->Source = TakeAddress(answer, FV6);
  arrival->ElapsedUs = answer.ElapsedMicroseconds;
  arrival->ElapsedMs = int(answer.ElapsedMicroseconds / 1000);
  return TLinkResult::Done;
}

TLinkResult THelperLink::Receive(std::span<quint8> buffer, int msecs, TRawArrival* arrival) {
  if (!FPending.empty()) {
    const std::vector<quint8> record = std::move(FPending.front());
    FPending.pop_front();
    return Deliver(record, buffer, arrival);
  }
  const QDeadlineTimer deadline(qMax(msecs, 0));
  for (;;) {
    const TRead read = ReadRecord(deadline);
    if (read == TRead::TimedOut) return TLinkResult::Failed;
    if (read != TRead::Record) return Lose(read);
    if (FAnswer.Event == quint16(THelperEvent::Received))
      return Deliver(std::span(FRecord).first(size_t(FRecordSize)), buffer, arrival);
    if (FAnswer.Event == quint16(THelperEvent::Refused)) return Lose(TRead::Gone);
  }
}

// The helper's answer to the open record: its identifier, or errno.
bool ReceiveReady(int pair, const QDeadlineTimer& deadline, THelperReady* ready) {
  if (WaitReadable(pair, -1, deadline) <= 0) {
    errno = ETIMEDOUT;
    return false;
  }
  unsigned char record[sizeof(THelperReady) + 1];
  ssize_t size;
  do {
    size = ::recv(pair, record, sizeof record, MSG_DONTWAIT);
  } while (size < 0 && errno == EINTR);
  if (size == ssize_t(sizeof *ready)) std::memcpy(ready, record, sizeof *ready);
  if (size != ssize_t(sizeof *ready) || ready->Magic != HelperMagic || ready->Error < 0 ||
      ready->Error >= 4096 || ready->Reserved != 0) {
    errno = EPROTO;
    return false;
  }
  errno = ready->Error;
  return ready->Error == 0;
}

}  // namespace

QString IcmpHelperPath() {
  {
    const QMutexLocker lock(&PathLock);
    if (!OverridePath.isEmpty()) return OverridePath;
  }
  const QString programDir = ProgramDir();
  if (!QDir::isAbsolutePath(programDir)) return {};
  const QDir dir(programDir);
  const QString installed =
      QDir::cleanPath(dir.filePath(QString::fromLatin1(InstalledDir) + u'/' + IcmpHelperName));
  const QString beside = dir.filePath(QString::fromLatin1(IcmpHelperName));
  return QFileInfo::exists(installed) || !QFileInfo::exists(beside) ? installed : beside;
}

void SetIcmpHelperPath(const QString& path) {
  const QMutexLocker lock(&PathLock);
  OverridePath = path;
}

int StartIcmpHelper(const QString& helper, pid_t* pid) {
  if (helper.isEmpty()) {
    errno = ENOENT;
    return -1;
  }
  int pair[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return -1;
  TFd ours(pair[0]);
  const TFd theirs(pair[1]);
  *pid = SpawnHelper(QFile::encodeName(helper), theirs.Get());
  if (*pid < 0) return -1;
  // Without our copy of its end, the pair reports the helper's end.
  return ours.Take();
}

void EndIcmpHelper(int pairEnd, pid_t pid, int waitMs) {
  if (pairEnd >= 0) ::close(pairEnd);
  if (pid > 0) Reap(pid, QDeadlineTimer(waitMs));
}

std::unique_ptr<TRawLink> OpenHelperLink(const QString& helper, TAddressFamily family,
                                         int timeoutMs) {
  pid_t pid = -1;
  const int pair = StartIcmpHelper(helper, &pid);
  if (pair < 0) return nullptr;
  THelperOpen open;
  if (family == TAddressFamily::IPv6) open.Kind = quint16(THelperSocket::RawIcmpV6);
  THelperReady ready;
  const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  // A helper that ended at once fails the send; what it said before it
  // ended, if anything, still decides.
  if (wake >= 0) ::send(pair, &open, sizeof open, MSG_NOSIGNAL);
  if (wake < 0 || !ReceiveReady(pair, QDeadlineTimer(timeoutMs), &ready)) {
    const int error = errno;
    EndIcmpHelper(pair, pid);
    if (wake >= 0) ::close(wake);
    errno = error;
    return nullptr;
  }
  return std::make_unique<THelperLink>(pair, pid, wake, family, ready.Identifier);
}

QString HelperRefusalText(THelperRefusal refusal) {
  QString why;
  switch (refusal) {
    case THelperRefusal::NotUnicast:
      why = QStringLiteral("ブロードキャストやマルチキャストのあて先には送れません");
      break;
    case THelperRefusal::DataSize:
      why = QStringLiteral("データサイズが範囲外です");
      break;
    case THelperRefusal::HopLimit:
      why = QStringLiteral("TTLが範囲外です");
      break;
    case THelperRefusal::Rate:
      why = QStringLiteral("要求が多すぎます（毎秒%1件まで）").arg(HelperRequestsPerSecond);
      break;
    default:
      why = QStringLiteral("要求の形式が正しくありません");
  }
  return QStringLiteral("RAWソケット用のヘルパーが要求を拒否しました: ") + why + u'。';
}
