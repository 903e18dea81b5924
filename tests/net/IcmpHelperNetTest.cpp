// Raw-socket Ping and TraceRoute for an ordinary user, through the helper:
// run by helper_user.sh in the client namespace of chain_netns.sh.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>
#include <utility>

#include "IcmpWorkerRun.h"
#include "platform/EchoMethod.h"
#include "platform/RawIcmpHelper.h"

namespace {

QByteArray Env(const char* name) { return std::getenv(name); }

class TIcmpHelperAsUser : public testing::Test {
 protected:
  void SetUp() override {
    if (Env("ICMP_HELPER_CAPABLE").isEmpty()) GTEST_SKIP() << "needs helper_user.sh";
    // Meaningless if this process could open raw sockets itself.
    ASSERT_LT(::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP), 0);
  }
};

TEST_F(TIcmpHelperAsUser, PingAndTraceRouteRunRawThroughTheCapableHelper) {
  SetIcmpHelperPath(QFile::decodeName(Env("ICMP_HELPER_CAPABLE")));
  EXPECT_FALSE(ProbeEchoMethod().ServiceMode);
  const QByteArray target = Env("CHAIN_TARGET");
  TWorkerRun ping;
  ping.StartPing(TMode::Raw, target.constData(), "", {5, 1, 100, 56, 64, false});
  ASSERT_TRUE(ping.CollectUntilFinish());
  ASSERT_EQ(ping.Lines().size(), 1);
  ExpectTimeLine(ping.Lines()[0], 1, target, "");
  // Each router by its own address, as only a raw socket sees them.
  TWorkerRun trace;
  trace.StartTrace(TMode::Raw, target.constData(), {5, 1, 64, false});
  ASSERT_TRUE(trace.CollectUntilFinish());
  const QList<QByteArray> hops = {Env("CHAIN_ROUTER1"), Env("CHAIN_ROUTER2"), target};
  ASSERT_EQ(trace.Lines().size(), hops.size());
  for (int n = 0; n < hops.size(); ++n) ExpectTimeLine(trace.Lines()[n], n + 1, hops[n], "");
}

// With a helper that lacks the capability, or none, and the echo service
// closed to this user, the probe says why and names both fixes.
TEST_F(TIcmpHelperAsUser, WithoutTheCapabilityTheProbeNamesBothFixes) {
  const QString plain = QFile::decodeName(Env("ICMP_HELPER_PLAIN")), missing = plain + ".missing";
  for (const auto& [helper, fix] :
       {std::pair{plain, "sudo setcap cap_net_raw+ep " + plain},
        std::pair{missing, missing + " が見つからないか、実行できません"}}) {
    SetIcmpHelperPath(helper);
    const TEchoMethod method = ProbeEchoMethod();
    EXPECT_TRUE(method.ServiceMode);
    for (const QString& part : {QStringLiteral("(EPERM)"), fix, QStringLiteral("ping_group_range")})
      EXPECT_TRUE(method.Reason.contains(part)) << method.Reason.toStdString();
  }
}

}  // namespace
