// Real DNS through the resolver: runs inside dns_netns.sh, whose dnsmasq on
// 127.0.0.1 serves ostrekon.test and the documentation address ranges.
#include <arpa/inet.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>

#include "LookupRecorder.h"
#include "TestSockets.h"
#include "platform/HostResolver.h"

namespace {

using namespace std::chrono_literals;

quint32 Ip(const char* dotted) { return inet_addr(dotted); }

QList<TNetAddress> Addresses(std::initializer_list<const char*> dotted) {
  QList<TNetAddress> list;
  for (const char* d : dotted) list.append(TNetAddress::FromIPv4(Ip(d)));
  return list;
}
quint32 Ip(quint32 a, quint32 b, quint32 c, quint32 d) {
  return htonl((a << 24) | (b << 16) | (c << 8) | d);
}



// Sleeping is too coarse to hit a lookup that is in flight for 50 µs.
void SpinFor(std::chrono::microseconds span) {
  const auto end = std::chrono::steady_clock::now() + span;
  while (std::chrono::steady_clock::now() < end) {
  }
}

std::string ReadText(const char* path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteText(const char* path, const std::string& text) {
  std::ofstream(path, std::ios::trunc) << text;
}

struct TOutcome {
  TLookupResult Result = TLookupResult::Destroyed;
  THostEntry Entry;
  bool Arrived = false;
};

// Every callback, with the id it was for.

class ResolverNet : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DNS_NETNS"))
      GTEST_SKIP() << "run through dns_netns.sh: it must never use the machine's resolver";
  }

  template <typename TStart>
  TOutcome Wait(TStart start) {
    auto done = std::make_shared<std::promise<TOutcome>>();
    auto future = done->get_future();
    const quint64 id = start([done](quint64, TLookupResult r, const THostEntry& e) {
      done->set_value(TOutcome{r, e, true});
    });
    if (id == 0 || future.wait_for(10s) != std::future_status::ready) return {};
    return future.get();
  }
  TOutcome ByName(const char* name) {
    return Wait([&](auto cb) { return FResolver.LookupByName(name, cb); });
  }
  TOutcome ByAddr(quint32 addr) {
    return Wait([&](auto cb) { return FResolver.LookupByAddr(addr, cb); });
  }

  THostResolver FResolver;
};

}  // namespace

TEST_F(ResolverNet, ForwardLookups) {
  const TOutcome alias = ByName("alias.ostrekon.test");
  ASSERT_TRUE(alias.Arrived);
  EXPECT_EQ(alias.Result, TLookupResult::Succeeded);
  EXPECT_EQ(alias.Entry.OfficialName, "two.ostrekon.test");
  EXPECT_TRUE(alias.Entry.Aliases.contains("alias.ostrekon.test"));
  QList<TNetAddress> addresses = alias.Entry.Addresses;
  std::sort(addresses.begin(), addresses.end());
  EXPECT_EQ(addresses, Addresses({"192.0.2.10", "192.0.2.11"}));

  const TOutcome direct = ByName("host1.ostrekon.test");
  EXPECT_EQ(direct.Result, TLookupResult::Succeeded);
  EXPECT_EQ(direct.Entry.OfficialName, "host1.ostrekon.test");
  EXPECT_EQ(direct.Entry.Addresses, Addresses({"192.0.2.1"}));

  // Both families, IPv4 first: from the namespace's hosts file, and from DNS.
  const TOutcome local = ByName("localhost");
  EXPECT_EQ(local.Result, TLookupResult::Succeeded);
  EXPECT_EQ(local.Entry.Addresses, (QList{TNetAddress::FromIPv4(Ip("127.0.0.1")),
                                          *TNetAddress::Parse(u"::1")}));
  EXPECT_EQ(ByName("dual.ostrekon.test").Entry.Addresses,
            (QList{TNetAddress::FromIPv4(Ip("192.0.2.20")), *TNetAddress::Parse(u"2001:db8::20")}));
  // At most 256 addresses, however the families share them.
  const QList<TNetAddress> mixed = ByName("mixed.ostrekon.test").Entry.Addresses;
  ASSERT_EQ(mixed.size(), 256);
  EXPECT_TRUE(mixed[199].IsIPv4() && mixed[200].IsIPv6());
  const TOutcome v6only = ByName("v6only.ostrekon.test");
  EXPECT_EQ(v6only.Result, TLookupResult::Succeeded);
  EXPECT_EQ(v6only.Entry.Addresses, QList{*TNetAddress::Parse(u"2001:db8::10")});

  const TOutcome missing = ByName("nosuch.ostrekon.test");
  ASSERT_TRUE(missing.Arrived);
  EXPECT_EQ(missing.Result, TLookupResult::Error);
  EXPECT_TRUE(missing.Entry.OfficialName.isEmpty());
  EXPECT_TRUE(missing.Entry.Addresses.isEmpty());
}

TEST_F(ResolverNet, ReverseLookups) {
  struct {
    const char* Addr;
    TLookupResult Result;
    const char* Name;
  } const cases[] = {
      {"192.0.2.1", TLookupResult::Succeeded, "host1.ostrekon.test"},
      {"192.0.2.10", TLookupResult::Succeeded, "two.ostrekon.test"},
      {"198.51.100.200", TLookupResult::Succeeded, "scan200.ostrekon.test"},
      {"127.0.0.1", TLookupResult::Succeeded, "localhost"},
      {"192.0.2.3", TLookupResult::Error, ""},
      {"203.0.113.5", TLookupResult::Error, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Addr);
    const TOutcome out = ByAddr(Ip(c.Addr));
    ASSERT_TRUE(out.Arrived);
    EXPECT_EQ(out.Result, c.Result);
    EXPECT_EQ(out.Entry.OfficialName, c.Name);
    if (c.Result == TLookupResult::Succeeded) {
      EXPECT_EQ(out.Entry.Addresses, Addresses({c.Addr}));
    }
  }
  // ip6.arpa: a name, and an address without one.
  const TOutcome named = Wait([&](auto cb) {
    return FResolver.LookupByAddr(*TNetAddress::Parse(u"2001:db8::10"), cb);
  });
  EXPECT_EQ(named.Entry.OfficialName, "v6only.ostrekon.test");
  EXPECT_EQ(Wait([&](auto cb) {
              return FResolver.LookupByAddr(*TNetAddress::Parse(u"2001:db8::99"), cb);
            }).Result,
            TLookupResult::Error);
}

TEST_F(ResolverNet, NeverAnsweredQueryEndsOnlyByCancel) {
  const int baseline = OpenSocketCount();
  TLookupRecorder rec;
  const quint64 id = FResolver.LookupByAddr(Ip("192.0.2.99"), rec.Callback());
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(rec.Count(), 0u) << "192.0.2.99 must stay unanswered";
  EXPECT_GT(OpenSocketCount(), baseline);

  FResolver.Cancel(id);
  ASSERT_TRUE(rec.WaitCount(1));
  EXPECT_TRUE(WaitSocketCount(baseline)) << "the cancelled query kept its socket";
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(rec.ResultsOf(id), std::vector{TLookupResult::Cancelled});
}

TEST_F(ResolverNet, CancelledLookupNeverReachesTheNext) {
  // The cancel comes at varying moments: before the query is sent, while
  // it is in flight, after the answer. From round 50 on a live unanswered
  // query keeps the channel busy, so a cancelled query is not dropped with
  // the channel: its answer does come back, later, and must go nowhere.
  TLookupRecorder firsts;
  std::atomic<bool> cancelReturned = false;
  std::atomic<int> lateResults = 0;
  quint64 background = 0;
  std::vector<quint64> ids;
  for (int round = 0; round < 100; ++round) {
    SCOPED_TRACE(round);
    if (round == 50) background = FResolver.LookupByAddr(Ip("192.0.2.99"), firsts.Callback());
    cancelReturned = false;
    const quint64 first = FResolver.LookupByName(
        "two.ostrekon.test",
        [&, cb = firsts.Callback()](quint64 id, TLookupResult r, const THostEntry& e) {
          if (cancelReturned && r != TLookupResult::Cancelled) ++lateResults;
          cb(id, r, e);
        });
    SpinFor(std::chrono::microseconds(round % 10 * 8));
    FResolver.Cancel(first);
    cancelReturned = true;
    ids.push_back(first);
    const TOutcome second = ByAddr(Ip("192.0.2.2"));
    EXPECT_EQ(second.Result, TLookupResult::Succeeded);
    EXPECT_EQ(second.Entry.OfficialName, "host2.ostrekon.test");
  }
  ASSERT_TRUE(firsts.WaitCount(ids.size()));
  FResolver.Cancel(background);
  ASSERT_TRUE(firsts.WaitCount(ids.size() + 1));
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(firsts.Count(), ids.size() + 1);
  EXPECT_EQ(lateResults, 0) << "a result arrived after Cancel returned";
  for (quint64 id : ids) EXPECT_EQ(firsts.ResultsOf(id).size(), 1u) << "request " << id;
  EXPECT_EQ(firsts.ResultsOf(background), std::vector{TLookupResult::Cancelled});
}

TEST_F(ResolverNet, SequentialScanOfOneNetwork) {
  // What an IP scan does: 256 reverse lookups, one after another.
  const std::map<int, QByteArray> named = {
      {1, "scan1.ostrekon.test"}, {2, "scan2.ostrekon.test"}, {200, "scan200.ostrekon.test"}};
  const auto start = std::chrono::steady_clock::now();
  for (int last = 0; last < 256; ++last) {
    SCOPED_TRACE(last);
    const TOutcome out = ByAddr(Ip(198, 51, 100, last));
    ASSERT_TRUE(out.Arrived);
    const auto name = named.find(last);
    if (name == named.end()) {
      EXPECT_EQ(out.Result, TLookupResult::Error);
    } else {
      EXPECT_EQ(out.Result, TLookupResult::Succeeded);
      EXPECT_EQ(out.Entry.OfficialName, name->second);
    }
  }
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  std::cout << "256 sequential reverse lookups: " << ms.count() << " ms\n";
}

TEST_F(ResolverNet, LookupsFromSeveralThreadsGetTheirOwnResults) {
  // Trace-route workers look up hop names while the main thread may too.
  std::atomic<int> wrong = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 32; ++i) {
        const bool one = (t + i) % 2 == 0;
        const TOutcome out = ByAddr(Ip(one ? "192.0.2.1" : "192.0.2.2"));
        if (out.Entry.OfficialName != (one ? "host1.ostrekon.test" : "host2.ostrekon.test"))
          ++wrong;
      }
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(wrong, 0);
}

TEST_F(ResolverNet, FollowsAChangedResolvConf) {
  // Inside the namespace /etc/resolv.conf is the harness's own copy.
  const std::string original = ReadText("/etc/resolv.conf");
  ASSERT_EQ(original, "nameserver 127.0.0.1\n") << "not the harness's resolv.conf: left alone";
  EXPECT_EQ(ByAddr(Ip("192.0.2.1")).Result, TLookupResult::Succeeded);

  WriteText("/etc/resolv.conf", "nameserver 127.0.0.3\n");  // nothing listens there
  const TOutcome dead = ByAddr(Ip("192.0.2.1"));
  WriteText("/etc/resolv.conf", original);
  ASSERT_TRUE(dead.Arrived);
  EXPECT_NE(dead.Result, TLookupResult::Succeeded) << "still asked the old server";

  EXPECT_EQ(ByAddr(Ip("192.0.2.1")).Entry.OfficialName, "host1.ostrekon.test");
}

TEST_F(ResolverNet, DestructionEndsPendingRequests) {
  TLookupRecorder rec;
  auto resolver = std::make_unique<THostResolver>();
  const quint64 pending = resolver->LookupByAddr(Ip("192.0.2.99"), rec.Callback());
  const quint64 cancelled = resolver->LookupByAddr(Ip("192.0.2.99"), rec.Callback());
  resolver->Cancel(cancelled);
  std::this_thread::sleep_for(200ms);
  resolver.reset();
  EXPECT_EQ(rec.ResultsOf(pending), std::vector{TLookupResult::Destroyed});
  EXPECT_EQ(rec.ResultsOf(cancelled), std::vector{TLookupResult::Cancelled});
  EXPECT_EQ(rec.Count(), 2u);
}
