// The resolver's request bookkeeping, without any DNS answer: queries go to a
// UDP socket on loopback that reads them and never replies, so requests stay
// pending for as long as a case needs.
#include <arpa/inet.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <map>
#include <memory>
#include <thread>

#include "LookupRecorder.h"
#include "SilentDns.h"
#include "TestSockets.h"
#include "platform/HostResolver.h"

namespace {

using namespace std::chrono_literals;

quint32 Ip(const char* dotted) { return inet_addr(dotted); }

// Every callback, in order, with the thread it ran on.

}  // namespace

TEST(HostResolver, RefusedRequestsNeverCallBack) {
  TLookupRecorder rec;
  {
    THostResolver resolver;  // system configuration; nothing is sent below
    EXPECT_EQ(resolver.LookupByName("", rec.Callback()), 0u);
    EXPECT_EQ(resolver.LookupByName(QByteArray("a\0b", 3), rec.Callback()), 0u);
    EXPECT_EQ(resolver.LookupByName("host", nullptr), 0u);
    EXPECT_EQ(resolver.LookupByAddr(Ip("192.0.2.1"), nullptr), 0u);
    resolver.Cancel(0);
    resolver.Cancel(12345);
  }
  EXPECT_EQ(rec.Count(), 0u);

  TResolverSetup broken{"not a server list"};
  THostResolver unusable(broken);
  EXPECT_EQ(unusable.LookupByAddr(Ip("192.0.2.1"), rec.Callback()), 0u);
}

TEST(HostResolver, NumericNameCompletesInsideSubmission) {
  // c-ares answers a dotted name without a query, from within the call that
  // starts it: the callback must not find a resolver lock held.
  TSilentServer server;
  THostResolver resolver(server.Setup());
  TLookupRecorder rec;
  const quint64 id = resolver.LookupByName("192.0.2.5", rec.Callback());
  ASSERT_NE(id, 0u);
  ASSERT_TRUE(rec.WaitCount(1));
  EXPECT_EQ(rec.ById()[id], std::vector{TLookupResult::Succeeded});
  EXPECT_EQ(rec.EntryOf(id).Addresses, QList{TNetAddress::FromIPv4(Ip("192.0.2.5"))});
  // Nor is a name longer than DNS allows sent: it is not found.
  const QByteArray tooLongName = (QByteArray(63, 'a') + '.').repeated(4) + "test";
  const quint64 tooLong = resolver.LookupByName(tooLongName, rec.Callback());
  ASSERT_TRUE(rec.WaitCount(2));
  EXPECT_EQ(rec.ById()[tooLong], std::vector{TLookupResult::Error});
}

// Cancel of a request whose callback is running returns only once the
// callback has ended: the caller may then free what the callback uses.
TEST(HostResolver, CancelDuringItsCallbackWaitsForTheCallback) {
  TSilentServer server;
  THostResolver resolver(server.Setup());
  std::promise<void> entered, release;
  std::shared_future<void> released = release.get_future().share();
  const quint64 id = resolver.LookupByName(
      "192.0.2.5", [&entered, released](quint64, TLookupResult, const THostEntry&) {
        entered.set_value();
        released.wait();
      });
  ASSERT_NE(id, 0u);
  entered.get_future().wait();
  std::atomic<bool> returned{false};
  std::thread canceller([&] {
    resolver.Cancel(id);
    returned = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(returned) << "Cancel returned while the callback still ran";
  release.set_value();
  canceller.join();
  EXPECT_TRUE(returned);
}

TEST(HostResolver, CancelledLoneQueryEndsOnceAndClosesItsSocket) {
  TSilentServer server;
  THostResolver resolver(server.Setup());
  const int baseline = OpenSocketCount();
  TLookupRecorder rec;
  const quint64 id = resolver.LookupByAddr(Ip("192.0.2.7"), rec.Callback());
  ASSERT_TRUE(server.HeardQuery(5000));
  EXPECT_GT(OpenSocketCount(), baseline);
  EXPECT_EQ(rec.Count(), 0u);

  resolver.Cancel(id);
  ASSERT_TRUE(rec.WaitCount(1));
  EXPECT_TRUE(WaitSocketCount(baseline)) << "the cancelled query kept its socket";
  resolver.Cancel(id);  // a second cancel of an ended request is a no-op
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(rec.ById()[id], std::vector{TLookupResult::Cancelled});
}

TEST(HostResolver, SilentServerGivesTimedOut) {
  TSilentServer server;
  TResolverSetup setup = server.Setup();
  setup.TryTimeoutMs = 100;
  setup.Tries = 1;
  THostResolver resolver(setup);
  TLookupRecorder rec;
  const quint64 byName = resolver.LookupByName("host.ostrekon.test", rec.Callback());
  ASSERT_TRUE(rec.WaitCount(1));
  // c-ares turns a reverse time-out into "not found"; it must still read
  // as a time-out.
  const quint64 byAddr = resolver.LookupByAddr(Ip("192.0.2.7"), rec.Callback());
  ASSERT_TRUE(rec.WaitCount(2));
  EXPECT_EQ(rec.ById()[byName], std::vector{TLookupResult::TimedOut});
  EXPECT_EQ(rec.ById()[byAddr], std::vector{TLookupResult::TimedOut});
}

TEST(HostResolver, DestructionEndsEveryRequestExactlyOnce) {
  TSilentServer server;
  TLookupRecorder rec;
  quint64 a, b, cancelled;
  {
    THostResolver resolver(server.Setup());
    a = resolver.LookupByAddr(Ip("192.0.2.8"), rec.Callback());
    b = resolver.LookupByName("pending.ostrekon.test", rec.Callback());
    cancelled = resolver.LookupByAddr(Ip("192.0.2.9"), rec.Callback());
    resolver.Cancel(cancelled);
  }
  auto byId = rec.ById();
  EXPECT_EQ(byId.size(), 3u);
  EXPECT_EQ(byId[a], std::vector{TLookupResult::Destroyed});
  EXPECT_EQ(byId[b], std::vector{TLookupResult::Destroyed});
  EXPECT_EQ(byId[cancelled], std::vector{TLookupResult::Cancelled});
}

TEST(HostResolver, CallbacksMayStartAndCancelLookups) {
  TSilentServer server;
  TLookupRecorder rec;
  std::atomic<quint64> second = 0, third = 0, duringDestruction = 1;
  {
    THostResolver resolver(server.Setup());
    auto thirdCb = [&](quint64 id, TLookupResult r, const THostEntry& e) {
      rec.Callback()(id, r, e);
      if (r == TLookupResult::Destroyed)  // no new work once shutting down
        duringDestruction = resolver.LookupByAddr(Ip("192.0.2.12"), rec.Callback());
    };
    auto secondCb = [&](quint64 id, TLookupResult r, const THostEntry& e) {
      third = resolver.LookupByAddr(Ip("192.0.2.11"), thirdCb);
      rec.Callback()(id, r, e);
    };
    auto firstCb = [&](quint64 id, TLookupResult r, const THostEntry& e) {
      rec.Callback()(id, r, e);
      second = resolver.LookupByAddr(Ip("192.0.2.10"), secondCb);
      resolver.Cancel(second);
      resolver.Cancel(id);  // itself, while running: must not wait for itself
    };
    const quint64 first = resolver.LookupByAddr(Ip("192.0.2.9"), firstCb);
    resolver.Cancel(first);
    ASSERT_TRUE(rec.WaitCount(2));
    ASSERT_NE(third, 0u);
  }
  auto byId = rec.ById();
  EXPECT_EQ(byId.size(), 3u);
  EXPECT_EQ(byId[second], std::vector{TLookupResult::Cancelled});
  EXPECT_EQ(byId[third], std::vector{TLookupResult::Destroyed});
  EXPECT_EQ(duringDestruction, 0u);
}

TEST(HostResolver, ConcurrentLookupAndCancelFromManyThreads) {
  TSilentServer server;
  THostResolver resolver(server.Setup());
  const int baseline = OpenSocketCount();
  TLookupRecorder rec;
  constexpr int KThreads = 4, KEach = 100;
  std::vector<std::thread> threads;
  for (int t = 0; t < KThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < KEach; ++i) {
        const quint32 addr = htonl((192u << 24) | (2u << 8) | quint32(t * KEach + i) % 250);
        resolver.Cancel(resolver.LookupByAddr(addr, rec.Callback()));
      }
    });
  for (auto& th : threads) th.join();
  ASSERT_TRUE(rec.WaitCount(KThreads * KEach));
  auto byId = rec.ById();
  EXPECT_EQ(byId.size(), size_t(KThreads * KEach));
  for (const auto& [id, results] : byId)
    EXPECT_EQ(results, std::vector{TLookupResult::Cancelled}) << "request " << id;
  EXPECT_TRUE(WaitSocketCount(baseline));
}
