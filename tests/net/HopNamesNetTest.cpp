// Hop names through a real DNS server: runs inside dns_netns.sh, whose
// dnsmasq on 127.0.0.1 names 127.0.0.1 loop.ostrekon.test (DNS_EXTRA_CONF)
// and knows no name for any other loopback address.
#include <gtest/gtest.h>

#include <cstdlib>

#include "IcmpWorkerRun.h"
#include "platform/HostResolver.h"

namespace {

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
  const auto resolver = std::make_shared<THostResolver>(TResolverSetup{"127.0.0.1", 0, 0});
  const struct {
    const char* Dest;
    QByteArray Name;
  } cases[] = {
      {"127.0.0.1", "loop.ostrekon.test"},
      {"127.0.0.2", ToSjis(TextNoHopName)},
  };
  for (const auto& c : cases) {
    TWorkerRun run;
    run.RealResolver = resolver;
    run.StartTrace(GetParam(), c.Dest, {5, 1, 64, true});
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
