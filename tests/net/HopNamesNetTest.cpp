// Hop names through a real DNS server: runs inside dns_netns.sh, whose
// dnsmasq on 127.0.0.1 names 127.0.0.1 loop.ostrekon.test (DNS_EXTRA_CONF)
// and knows no name for any other loopback address.
#include <gtest/gtest.h>

#include <cstdlib>

#include "IcmpWorkerRun.h"
#include "platform/HostResolver.h"

namespace {

using namespace std::chrono_literals;

// A blocking reverse lookup over the resolver, as the window's lookup is.
THopLookup ResolverLookup(TResolver& resolver) {
  return [&resolver](const QString& dotted, THostEntry* entry) {
    struct TState {
      std::mutex Lock;
      std::condition_variable Done;
      std::optional<TLookupResult> Result;
      THostEntry Found;
    };
    auto state = std::make_shared<TState>();
    const quint64 id =
        resolver.LookupByAddr(inet_addr(dotted.toLatin1().constData()),
                              [state](quint64, TLookupResult result, const THostEntry& found) {
                                std::lock_guard lock(state->Lock);
                                state->Result = result;
                                state->Found = found;
                                state->Done.notify_all();
                              });
    if (id == 0) return false;
    std::unique_lock lock(state->Lock);
    if (!state->Done.wait_for(lock, 10s, [&] { return state->Result.has_value(); })) {
      lock.unlock();
      resolver.Cancel(id);
      return false;
    }
    if (*state->Result != TLookupResult::Succeeded) return false;
    *entry = state->Found;
    return true;
  };
}

class HopNamesOverDns : public testing::TestWithParam<TMode> {
 protected:
  void SetUp() override {
    if (!std::getenv("DNS_NETNS")) GTEST_SKIP() << "needs the namespace of dns_netns.sh";
    // The namespace is the harness's own: let this process use ICMP
    // datagram sockets in it.
    QFile range("/proc/sys/net/ipv4/ping_group_range");
    ASSERT_TRUE(range.open(QIODevice::WriteOnly) && range.write("0\t2147483647") > 0);
  }
};

TEST_P(HopNamesOverDns, TheHopLineEndsInTheHopsName) {
  THostResolver resolver(TResolverSetup{"127.0.0.1", 0, 0});
  const struct {
    const char* Dest;
    QByteArray Name;
  } cases[] = {
      {"127.0.0.1", "loop.ostrekon.test"},
      {"127.0.0.2", ToSjis(TextNoHopName)},
  };
  for (const auto& c : cases) {
    TWorkerRun run;
    run.StartTrace(GetParam(), c.Dest, {5, 1, 64, true}, ResolverLookup(resolver));
    ASSERT_TRUE(run.CollectUntilFinish()) << c.Dest;
    ASSERT_EQ(run.Pane().size(), 1) << c.Dest;
    ExpectTimeLine(run.Pane()[0], 1, c.Dest, c.Name);
  }
}

INSTANTIATE_TEST_SUITE_P(BothModes, HopNamesOverDns, testing::Values(TMode::Raw, TMode::Service),
                         [](const testing::TestParamInfo<TMode>& info) {
                           return std::string(ModeName(info.param));
                         });

}  // namespace
