#include "workers/QueryThread.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <mutex>
#include <set>

#include "common/Common.h"
#include "common/SjisText.h"
#include "platform/SockAddr.h"

namespace {
std::mutex& LiveLock() {
  static std::mutex lock;
  return lock;
}
std::set<TQueryThread*>& Live() {
  static std::set<TQueryThread*> live;
  return live;
}
}  // namespace

TQueryThread::TQueryThread(std::shared_ptr<TOutputChannel> channel, TLookupSetup lookup)
    : FChannel(std::move(channel)),
      FPreferIPv6(lookup.PreferIPv6),
      FLookup(std::move(lookup)),
      FWakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  connect(this, &QThread::finished, this, &QObject::deleteLater);
  std::lock_guard lock(LiveLock());
  Live().insert(this);
}

TQueryThread::~TQueryThread() {
  {
    std::lock_guard lock(LiveLock());
    Live().erase(this);
  }
  if (FWakeFd >= 0) ::close(FWakeFd);
}

void TQueryThread::Stop() {
  requestInterruption();
  FChannel->Close();
  FLookup.Stop();
  if (FWakeFd >= 0) {
    const std::uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(FWakeFd, &one, sizeof one);
  }
  WakeTransport();
}

bool TQueryThread::WaitForAll(int msecs) {
  QDeadlineTimer deadline(msecs);
  std::set<TQueryThread*> live;
  {
    std::lock_guard lock(LiveLock());
    live = Live();
  }
  bool all = true;
  for (TQueryThread* t : live) all = t->wait(deadline) && all;
  return all;
}

int TQueryThread::LiveCount() {
  std::lock_guard lock(LiveLock());
  int running = 0;
  for (TQueryThread* t : Live()) running += t->isRunning() ? 1 : 0;
  return running;
}

void TQueryThread::SyncAddOutput(const QByteArray& sjisLine) {
  if (!Terminated()) FChannel->Push({TOutputItem::Line, sjisLine});
}

void TQueryThread::SyncStatus(const QString& text) {
  if (!Terminated()) FChannel->Push({TOutputItem::Status, text.toUtf8()});
}

void TQueryThread::SyncDeleteLast() {
  if (!Terminated()) FChannel->Push({TOutputItem::DeleteLast, {}});
}

void TQueryThread::SyncReplaceLast(const QByteArray& sjisLine) {
  if (!Terminated()) FChannel->Push({TOutputItem::ReplaceLast, sjisLine});
}

void TQueryThread::SyncHopTable(std::vector<THopRow> rows) {
  if (Terminated()) return;
  TOutputItem item(TOutputItem::HopTable);
  item.Table = std::make_shared<const std::vector<THopRow>>(std::move(rows));
  FChannel->Push(std::move(item));
}

void TQueryThread::SyncSample(const TPingSample& sample) {
  if (!Terminated()) FChannel->Push({TOutputItem::Sample, {}, sample});
}

// Every path through a worker ends here, its socket or handle released.
void TQueryThread::run() {
  Work();
  if (!Terminated()) FChannel->Push({TOutputItem::Finish, FClosingStatus.toUtf8()});
}

bool TQueryThread::LookupHost(const QString& name, bool report, THostEntry* entry) {
  SyncStatus(QStringLiteral("ホスト情報取得中...(") + name + u')');
  const TLookupEnd end = FLookup.Lookup(name, entry);
  if (report && end == TLookupEnd::NotFound)
    SyncAddOutput(ToSjis(name + QStringLiteral(" - 見つかりません")));
  if (report && end == TLookupEnd::TimedOut)
    SyncAddOutput(ToSjis(name + QStringLiteral(" - 探索タイムアウト")));
  return end == TLookupEnd::Found;
}

bool TQueryThread::LookupAddr(const TNetAddress& addr, THostEntry* entry) {
  SyncStatus(QStringLiteral("ホスト情報取得中...(") + addr.ToString() + u')');
  return FLookup.LookupAddr(addr, entry) == TLookupEnd::Found;
}

std::optional<TTarget> TQueryThread::ResolveTarget(const QString& host, bool report) {
  TTarget target;
  if (const auto addr = ParseHostAddress(host)) {
    target.Addresses = {*addr};
    return target;
  }
  THostEntry entry;
  if (!LookupHost(host, report, &entry) || entry.Addresses.isEmpty()) return std::nullopt;
  target.Addresses = AddressesInUseOrder(entry.Addresses, FPreferIPv6);
  target.HostText = entry.OfficialName;
  return target;
}

int TQueryThread::WaitFd(int fd, short events, int msecs) {
  QList<pollfd> fds;
  if (fd >= 0) fds.append({fd, events, 0});
  return WaitFds(fds, msecs);
}

int TQueryThread::WaitFds(QList<pollfd>& fds, int msecs) {
  QDeadlineTimer deadline(msecs < 0 ? QDeadlineTimer::Forever : QDeadlineTimer(msecs));
  fds.append({FWakeFd, POLLIN, 0});
  const auto done = [&fds](int result) {
    fds.removeLast();
    return result;
  };
  for (;;) {
    if (Terminated()) return done(-1);
    const qint64 left = deadline.isForever() ? -1 : deadline.remainingTime();
    const int rc = ::poll(fds.data(), nfds_t(fds.size()), left > INT32_MAX ? INT32_MAX : int(left));
    if (Terminated()) return done(-1);
    if (rc == 0) return done(0);
    if (rc < 0) {
      if (errno == EINTR) continue;
      return done(1);  // let the caller's own call report the error
    }
    for (qsizetype i = 0; i + 1 < fds.size(); ++i)
      if (fds[i].revents) return done(1);
  }
}

bool TQueryThread::PauseMs(int msecs) { return WaitFd(-1, 0, msecs) < 0; }
