#include "platform/HostResolver.h"

#include <ares.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/SockAddr.h"

// c-ares 1.18 cannot cancel one query. A cancelled request is therefore only
// taken out of FPending (its Cancelled callback runs at once); its query
// lives on in the channel and whatever c-ares reports for it later finds no
// request and is dropped. Ids are never reused, so such a late answer cannot
// reach another request. When only dropped queries are left, the whole
// channel is cancelled, which also closes its sockets.

struct THostResolver::TQueryArg {
  THostResolver* Owner = nullptr;
  quint64 Id = 0;
  bool Reverse = false;
  TNetAddress Addr;
};

namespace {

void InitLibraryOnce() {
  static std::once_flag once;
  std::call_once(once, [] { ares_library_init(ARES_LIB_INIT_ALL); });
}

// How many tries c-ares makes before it gives up: each server, tries times.
int AttemptsOf(ares_channel channel, int tries) {
  ares_addr_port_node* servers = nullptr;
  if (ares_get_servers_ports(channel, &servers) != ARES_SUCCESS) return tries;
  int count = 0;
  for (ares_addr_port_node* s = servers; s; s = s->next) ++count;
  ares_free_data(servers);
  return std::max(count, 1) * tries;
}

ares_channel OpenChannel(const TResolverSetup* setup, int& attempts) {
  ares_options opts{};
  int mask = ARES_OPT_TIMEOUTMS | ARES_OPT_TRIES;
  opts.timeout = THostResolver::KTryTimeoutMs;
  opts.tries = THostResolver::KTries;
  char dnsOnly[] = "b";
  if (setup) {
    if (setup->TryTimeoutMs > 0) opts.timeout = setup->TryTimeoutMs;
    if (setup->Tries > 0) opts.tries = setup->Tries;
    mask |= ARES_OPT_LOOKUPS | ARES_OPT_DOMAINS;
    opts.lookups = dnsOnly;
    opts.domains = nullptr;
    opts.ndomains = 0;
  }
  ares_channel channel = nullptr;
  if (ares_init_options(&channel, &opts, mask) != ARES_SUCCESS) return nullptr;
  if (setup && ares_set_servers_ports_csv(channel, setup->Servers.constData()) != ARES_SUCCESS) {
    ares_destroy(channel);
    return nullptr;
  }
  attempts = AttemptsOf(channel, opts.tries);
  return channel;
}

TLookupResult ResultOf(int status) {
  switch (status) {
    case ARES_SUCCESS:
      return TLookupResult::Succeeded;
    case ARES_ETIMEOUT:
      return TLookupResult::TimedOut;
    case ARES_ECANCELLED:
      return TLookupResult::Cancelled;
    case ARES_EDESTRUCTION:
      return TLookupResult::Destroyed;
    default:
      return TLookupResult::Error;
  }
}

// Other names of the host. c-ares repeats the PTR name of a reverse answer
// among the aliases; the official name is not an alias of itself.
QList<QByteArray> AliasesOf(const hostent* host) {
  const QByteArray official(host->h_name ? host->h_name : "");
  QList<QByteArray> aliases;
  for (char** p = host->h_aliases; p && *p; ++p)
    if (qstricmp(*p, official.constData()) != 0) aliases.append(QByteArray(*p));
  return aliases;
}

// A reverse answer is about the address that was asked for, whatever
// c-ares copied into the record.
THostEntry ReverseEntryOf(const hostent* host, const TNetAddress& queried) {
  THostEntry entry;
  entry.OfficialName = QByteArray(host->h_name ? host->h_name : "");
  entry.Aliases = AliasesOf(host);
  entry.Addresses = {queried};
  return entry;
}

// The IPv4 addresses first, then the IPv6 ones, each in the order c-ares
// got them (no sorting was asked for), at most KMaxAddresses in all.
QList<TNetAddress> AddressesOf(const ares_addrinfo* info) {
  QList<TNetAddress> v4, v6;
  for (const ares_addrinfo_node* n = info->nodes; n; n = n->ai_next)
    if (const auto found = FromSockAddr(n->ai_addr, n->ai_addrlen))
      (found->Address.IsIPv4() ? v4 : v6).append(found->Address);
  return (v4 + v6).mid(0, THostResolver::KMaxAddresses);
}

bool FitsDns(const QByteArray& name) {
  const qsizetype length = name.endsWith('.') ? name.size() - 1 : name.size();
  return length <= THostResolver::KMaxNameLength;
}

// Names as a hosts-file or CNAME answer gives them: the end of the CNAME
// chain is the official name, every name that pointed there an alias.
THostEntry ForwardEntryOf(const ares_addrinfo* info) {
  THostEntry entry;
  entry.OfficialName = QByteArray(info->name ? info->name : "");
  for (const ares_addrinfo_cname* c = info->cnames; c; c = c->next) {
    if (c->name) entry.OfficialName = QByteArray(c->name);
    if (c->alias) entry.Aliases.append(QByteArray(c->alias));
  }
  entry.Aliases.removeIf([&](const QByteArray& alias) {
    return qstricmp(alias.constData(), entry.OfficialName.constData()) == 0;
  });
  entry.Addresses = AddressesOf(info);
  return entry;
}

}  // namespace

THostResolver::THostResolver() { Start(nullptr); }

THostResolver::THostResolver(const TResolverSetup& setup) { Start(&setup); }

void THostResolver::Start(const TResolverSetup* setup) {
  InitLibraryOnce();
  FSystemConfig = !setup;
  FResolvConf = ReadResolvConf();
  FChannel = OpenChannel(setup, FAttempts);
  FWakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (!FChannel || FWakeFd < 0) return;  // every lookup is refused then
  FThread = std::thread([this] { Run(); });
}

THostResolver::~THostResolver() {
  {
    std::lock_guard lock(FLock);
    FStopping = true;
  }
  Wake();
  if (FThread.joinable()) {
    FThread.join();
  } else if (FChannel) {
    ares_destroy(FChannel);
  }
  if (FWakeFd >= 0) close(FWakeFd);
}

quint64 THostResolver::LookupByName(const QByteArray& name, TCallback cb) {
  if (name.isEmpty() || name.contains('\0')) return 0;
  TSubmission submission;
  submission.Name = name;
  return Enqueue(std::move(submission), std::move(cb));
}

quint64 THostResolver::LookupByAddr(const TNetAddress& addr, TCallback cb) {
  if (addr.IsNull()) return 0;
  TSubmission submission;
  submission.Reverse = true;
  submission.Addr = addr;
  return Enqueue(std::move(submission), std::move(cb));
}

quint64 THostResolver::Enqueue(TSubmission submission, TCallback cb) {
  if (!cb) return 0;
  std::lock_guard lock(FLock);
  if (!FThread.joinable() || FStopping) return 0;
  submission.Id = ++FLastId;
  FPending.emplace(submission.Id, std::move(cb));
  FToSubmit.push_back(std::move(submission));
  Wake();
  return FLastId;
}

void THostResolver::Cancel(quint64 id) {
  if (id == 0) return;  // a refused request; 0 also means "nobody" below
  std::unique_lock lock(FLock);
  auto it = FPending.find(id);
  if (it != FPending.end()) {
    FToCancel.emplace_back(id, std::move(it->second));
    FPending.erase(it);
    Wake();
    return;
  }
  // Its result is being delivered right now: wait, so that it has run when
  // we return. On the resolver thread that callback is our own caller.
  if (std::this_thread::get_id() != FThread.get_id())
    FDelivered.wait(lock, [&] { return FDeliveringId != id; });
}

void THostResolver::Wake() {
  const quint64 one = 1;
  // A full counter means a wake-up is pending anyway.
  [[maybe_unused]] ssize_t n = write(FWakeFd, &one, sizeof one);
}

void THostResolver::Run() {
  std::vector<TSubmission> submissions;
  for (;;) {
    DeliverCancelled();
    if (TakeWork(submissions)) break;
    if (!submissions.empty()) ReloadIfChanged();
    for (const TSubmission& submission : submissions) Submit(submission);
    submissions.clear();
    DropOrphanQueries();
    WaitAndProcess();
  }
  Shutdown();
}

bool THostResolver::TakeWork(std::vector<TSubmission>& submissions) {
  std::lock_guard lock(FLock);
  submissions.swap(FToSubmit);
  return FStopping;
}

// The text itself, not its time stamp: a rewrite within one clock tick
// keeps the time stamp.
QByteArray THostResolver::ReadResolvConf() {
  QByteArray text;
  const int fd = open("/etc/resolv.conf", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return text;
  char buf[4096];
  ssize_t n;
  while (text.size() < 65536 && (n = read(fd, buf, sizeof buf)) > 0) text.append(buf, n);
  close(fd);
  return text;
}

// A laptop changes networks while the program runs, and the network manager
// rewrites resolv.conf: take up the new servers, as the C library does, at
// the next lookup after the change. Only while no query is in the channel,
// so nothing pending is lost.
void THostResolver::ReloadIfChanged() {
  if (!FSystemConfig || !FInChannel.empty()) return;
  const QByteArray now = ReadResolvConf();
  if (now == FResolvConf) return;
  int attempts = 0;
  ares_channel fresh = OpenChannel(nullptr, attempts);
  if (!fresh) return;  // keep the old configuration
  ares_destroy(FChannel);
  FChannel = fresh;
  FAttempts = attempts;
  FResolvConf = now;
}

void THostResolver::Submit(const TSubmission& submission) {
  {
    std::lock_guard lock(FLock);
    if (!FPending.contains(submission.Id)) return;  // cancelled before it was sent
  }
  auto* arg = new TQueryArg{this, submission.Id, submission.Reverse, submission.Addr};
  FInChannel.insert(submission.Id);
  // c-ares may complete at once (hosts file, numeric name): the callback runs
  // inside these calls.
  if (submission.Reverse) {
    const TNetAddress& addr = submission.Addr;
    if (addr.IsIPv4()) {
      const quint32 v4 = addr.IPv4NetOrder();
      ares_gethostbyaddr(FChannel, &v4, sizeof v4, AF_INET, OnHostDone, arg);
    } else {
      ares_gethostbyaddr(FChannel, addr.Bytes().data(), int(addr.Bytes().size()), AF_INET6,
                         OnHostDone, arg);
    }
  } else if (const auto numeric = TNetAddress::Parse(QString::fromLatin1(submission.Name))) {
    // An address for a name: c-ares would send it to the servers.
    std::unique_ptr<TQueryArg> query(arg);
    Finish(std::move(query), ARES_SUCCESS, 0, {submission.Name, {}, {*numeric}});
  } else if (!FitsDns(submission.Name)) {
    // No such name can exist: it ends as one not found, without a query.
    std::unique_ptr<TQueryArg> query(arg);
    Finish(std::move(query), ARES_EBADNAME, 0, {});
  } else {
    ares_addrinfo_hints hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_flags = ARES_AI_NOSORT;
    ares_getaddrinfo(FChannel, submission.Name.constData(), nullptr, &hints, OnAddrInfoDone, arg);
  }
}

void THostResolver::Finish(std::unique_ptr<TQueryArg> query, int status, int timeouts,
                           const THostEntry& entry) {
  FInChannel.erase(query->Id);
  // A reverse lookup reports "not found" even when no server ever answered;
  // every attempt having timed out tells the two apart.
  if (query->Reverse && status == ARES_ENOTFOUND && timeouts >= FAttempts) status = ARES_ETIMEOUT;
  Deliver(query->Id, ResultOf(status), status == ARES_SUCCESS ? entry : THostEntry());
}

void THostResolver::OnHostDone(void* arg, int status, int timeouts, hostent* host) {
  std::unique_ptr<TQueryArg> query(static_cast<TQueryArg*>(arg));
  THostEntry entry;
  if (status == ARES_SUCCESS && host) entry = ReverseEntryOf(host, query->Addr);
  THostResolver* self = query->Owner;
  self->Finish(std::move(query), status, timeouts, entry);
}

void THostResolver::OnAddrInfoDone(void* arg, int status, int timeouts, ares_addrinfo* info) {
  std::unique_ptr<TQueryArg> query(static_cast<TQueryArg*>(arg));
  THostEntry entry;
  if (status == ARES_SUCCESS && info) entry = ForwardEntryOf(info);
  // An answer without a usable address is no answer.
  if (status == ARES_SUCCESS && entry.Addresses.isEmpty()) status = ARES_ENODATA;
  if (info) ares_freeaddrinfo(info);
  THostResolver* self = query->Owner;
  self->Finish(std::move(query), status, timeouts, entry);
}

bool THostResolver::Deliver(quint64 id, TLookupResult result, const THostEntry& entry) {
  TCallback cb;
  {
    std::lock_guard lock(FLock);
    auto it = FPending.find(id);
    if (it == FPending.end()) return false;  // cancelled: a late answer
    cb = std::move(it->second);
    FPending.erase(it);
    FDeliveringId = id;
  }
  RunCallback(id, cb, result, entry);
  return true;
}

void THostResolver::DeliverCancelled() {
  for (;;) {
    std::pair<quint64, TCallback> item;
    {
      std::lock_guard lock(FLock);
      if (FToCancel.empty()) return;
      item = std::move(FToCancel.front());
      FToCancel.pop_front();
      FDeliveringId = item.first;
    }
    RunCallback(item.first, item.second, TLookupResult::Cancelled, THostEntry());
  }
}

void THostResolver::RunCallback(quint64 id, TCallback& cb, TLookupResult result,
                                const THostEntry& entry) {
  cb(id, result, entry);
  {
    std::lock_guard lock(FLock);
    FDeliveringId = 0;
  }
  FDelivered.notify_all();
}

bool THostResolver::HasLiveQuery() {
  std::lock_guard lock(FLock);
  for (quint64 id : FInChannel)
    if (FPending.contains(id)) return true;
  return false;
}

void THostResolver::DropOrphanQueries() {
  if (FInChannel.empty() || HasLiveQuery()) return;
  // Everything left belongs to cancelled requests. ares_cancel reports them
  // as cancelled (ignored: they have ended) and, the channel being idle then,
  // closes its sockets, so a never-answered query leaves nothing behind.
  ares_cancel(FChannel);
}

int THostResolver::PollTimeoutMs() {
  timeval tv{};
  const timeval* next = ares_timeout(FChannel, nullptr, &tv);
  if (!next) return -1;  // nothing pending: sleep until woken
  // Round up so that a due retry is not polled for in a busy loop.
  return int(next->tv_sec * 1000 + (next->tv_usec + 999) / 1000);
}

void THostResolver::WaitAndProcess() {
  ares_socket_t socks[ARES_GETSOCK_MAXNUM];
  const int bits = ares_getsock(FChannel, socks, ARES_GETSOCK_MAXNUM);
  pollfd fds[1 + ARES_GETSOCK_MAXNUM];
  nfds_t count = 0;
  fds[count++] = pollfd{FWakeFd, POLLIN, 0};
  for (int i = 0; i < ARES_GETSOCK_MAXNUM; ++i) {
    short events = 0;
    if (ARES_GETSOCK_READABLE(bits, i)) events |= POLLIN;
    if (ARES_GETSOCK_WRITABLE(bits, i)) events |= POLLOUT;
    if (events) fds[count++] = pollfd{socks[i], events, 0};
  }
  if (poll(fds, count, PollTimeoutMs()) < 0) return;  // EINTR: go round again
  if (fds[0].revents & POLLIN) {
    quint64 drained;
    [[maybe_unused]] ssize_t n = read(FWakeFd, &drained, sizeof drained);
  }
  bool processed = false;
  for (nfds_t i = 1; i < count; ++i) {
    const short ev = fds[i].revents;
    if (!ev) continue;
    const bool readable = ev & (POLLIN | POLLERR | POLLHUP);
    ares_process_fd(FChannel, readable ? fds[i].fd : ARES_SOCKET_BAD,
                    (ev & POLLOUT) ? fds[i].fd : ARES_SOCKET_BAD);
    processed = true;
  }
  // Retries and time-outs are handled by any call; make one when no socket
  // was ready.
  if (!processed) ares_process_fd(FChannel, ARES_SOCKET_BAD, ARES_SOCKET_BAD);
}

void THostResolver::Shutdown() {
  DeliverCancelled();
  // Queries in the channel end here with Destroyed (or are dropped when
  // cancelled); requests never sent follow below.
  ares_destroy(FChannel);
  FChannel = nullptr;
  FInChannel.clear();
  for (;;) {
    DeliverCancelled();
    quint64 id;
    {
      std::lock_guard lock(FLock);
      if (FPending.empty()) return;
      id = FPending.begin()->first;
    }
    Deliver(id, TLookupResult::Destroyed, THostEntry());
  }
}
