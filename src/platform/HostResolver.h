#pragma once
#include <QByteArray>
#include <QList>
#include <QtGlobal>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/Resolver.h"

struct ares_addrinfo;
struct ares_channeldata;
struct hostent;

// Where a resolver sends its queries when it must not use the system's
// configuration (tests): a fixed server list, no hosts file, no search list.
struct TResolverSetup {
  QByteArray Servers;    // c-ares form: "127.0.0.1:5300,127.0.0.2"
  int TryTimeoutMs = 0;  // 0: the defaults below
  int Tries = 0;
};

// Asynchronous host lookups on one resolver thread that owns one c-ares
// channel. Every request ends exactly once: with its result, Cancelled or
// Destroyed. Callbacks run on the resolver thread with no resolver lock held,
// so a callback may post elsewhere or start and cancel lookups; it must not
// block on a thread that is itself waiting in Cancel, and must not destroy
// the resolver.
class THostResolver : public TResolver {
 public:
  // c-ares gives up on its own only after the caller's longest time-out
  // (60 s) has passed: retries at 4.4, 13.2 and 30.8 s, failure at 66 s with
  // one server; more servers only make it later.
  static constexpr int KTryTimeoutMs = 4400;
  static constexpr int KTries = 4;
  static constexpr int KMaxAddresses = 256;
  // The longest name DNS carries, a final dot aside.
  static constexpr int KMaxNameLength = 253;

  // Reads /etc/resolv.conf and /etc/hosts like any Linux program.
  THostResolver();
  explicit THostResolver(const TResolverSetup& setup);
  // Pending requests end with Destroyed (Cancelled if already cancelled);
  // the resolver thread is joined.
  ~THostResolver() override;

  THostResolver(const THostResolver&) = delete;
  THostResolver& operator=(const THostResolver&) = delete;

  // Forward lookup of IPv4 and IPv6 addresses. Returns the request id; 0
  // when refused (empty name or one with a NUL, no channel, shutting down),
  // in which case the callback never runs. A name longer than DNS allows
  // ends with Error, as one that does not exist.
  quint64 LookupByName(const QByteArray& name, TCallback cb) override;
  // Reverse (PTR) lookup of an address (in-addr.arpa or ip6.arpa).
  using TResolver::LookupByAddr;
  quint64 LookupByAddr(const TNetAddress& addr, TCallback cb) override;
  // Ends the request with Cancelled unless it has ended already. When this
  // returns, the request's callback has run or will run with Cancelled.
  void Cancel(quint64 id) override;

 private:
  struct TSubmission {
    quint64 Id = 0;
    bool Reverse = false;
    QByteArray Name;
    TNetAddress Addr;
  };
  struct TQueryArg;
  static QByteArray ReadResolvConf();

  void Start(const TResolverSetup* setup);
  quint64 Enqueue(TSubmission submission, TCallback cb);
  void Wake();

  // Resolver thread.
  void Run();
  bool TakeWork(std::vector<TSubmission>& submissions);
  void ReloadIfChanged();
  void Submit(const TSubmission& submission);
  void DeliverCancelled();
  bool Deliver(quint64 id, TLookupResult result, const THostEntry& entry);
  void RunCallback(quint64 id, TCallback& cb, TLookupResult result, const THostEntry& entry);
  bool HasLiveQuery();
  void DropOrphanQueries();
  void WaitAndProcess();
  int PollTimeoutMs();
  void Shutdown();
  void Finish(std::unique_ptr<TQueryArg> query, int status, int timeouts, const THostEntry& entry);
  static void OnHostDone(void* arg, int status, int timeouts, hostent* host);
  static void OnAddrInfoDone(void* arg, int status, int timeouts, ares_addrinfo* info);

  std::mutex FLock;
  std::condition_variable FDelivered;
  std::unordered_map<quint64, TCallback> FPending;      // not ended yet
  std::vector<TSubmission> FToSubmit;                   // not handed to c-ares yet
  std::deque<std::pair<quint64, TCallback>> FToCancel;  // ended by Cancel, callback due
  quint64 FLastId = 0;
  quint64 FDeliveringId = 0;  // whose callback runs right now
  bool FStopping = false;

  // Owned by the resolver thread once it runs.
  ares_channeldata* FChannel = nullptr;
  std::unordered_set<quint64> FInChannel;  // queries c-ares has not ended yet
  int FAttempts = 0;                       // tries over all servers
  bool FSystemConfig = false;              // follows /etc/resolv.conf
  QByteArray FResolvConf;                  // the text the channel was set up from

  int FWakeFd = -1;
  std::thread FThread;
};
