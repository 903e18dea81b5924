// Raw-socket Ping and TraceRoute for an ordinary user, through the helper:
// runs as nobody under helper_user.sh, in the client namespace of
// chain_netns.sh. One copy of the helper has cap_net_raw, as the package
// gives it; the other has none. The namespace's ping_group_range leaves the
// user out, so the echo service is closed too.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "IcmpWorkerRun.h"
#include "platform/EchoMethod.h"
#include "platform/RawIcmpHelper.h"

namespace {

const char* Env(const char* name) { return std::getenv(name); }

QByteArray EffectiveCaps() {
  QFile status("/proc/self/status");
  if (!status.open(QIODevice::ReadOnly)) return {};
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("CapEff:")) return line.mid(7).trimmed();
  return {};
}

class TIcmpHelperAsUser : public testing::Test {
 protected:
  void SetUp() override {
    if (!Env("CHAIN_TARGET") || !Env("ICMP_HELPER_CAPABLE"))
      GTEST_SKIP() << "needs helper_user.sh inside chain_netns.sh";
    // Meaningless unless this process holds no privilege of its own.
    ASSERT_NE(::getuid(), 0u);
    ASSERT_EQ(EffectiveCaps(), "0000000000000000");
    FSocketsBefore = OpenSockets();
  }
  void TearDown() override {
    SetIcmpHelperPath({});
    if (IsSkipped()) return;
    EXPECT_EQ(OpenSockets(), FSocketsBefore);
    EXPECT_TRUE(::waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD) << "a helper was left";
  }

  int FSocketsBefore = 0;
};

TEST_F(TIcmpHelperAsUser, PingAndTraceRouteRunRawThroughTheHelper) {
  SetIcmpHelperPath(QString::fromLocal8Bit(Env("ICMP_HELPER_CAPABLE")));
  const TEchoMethod method = ProbeEchoMethod();
  EXPECT_FALSE(method.ServiceMode) << method.Reason.toStdString();
  EXPECT_TRUE(method.Reason.isEmpty());

  {
    TWorkerRun run;
    run.StartPing(TMode::Raw, "127.0.0.1", "", {5, 2, 100, 56, 64, false});
    ASSERT_TRUE(run.CollectUntilFinish());
    ASSERT_EQ(run.Lines().size(), 2);
    for (int n = 1; n <= 2; ++n) ExpectTimeLine(run.Lines()[n - 1], n, "127.0.0.1", "");
  }
  {
    // Each router by its own address: the echo service would show the target's.
    TWorkerRun run;
    run.StartTrace(TMode::Raw, Env("CHAIN_TARGET"), {5, 1, 64, false});
    ASSERT_TRUE(run.CollectUntilFinish());
    const QList<QByteArray> lines = run.Lines();
    ASSERT_EQ(lines.size(), 3);
    ExpectTimeLine(lines[0], 1, Env("CHAIN_ROUTER1"), "");
    ExpectTimeLine(lines[1], 2, Env("CHAIN_ROUTER2"), "");
    ExpectTimeLine(lines[2], 3, Env("CHAIN_TARGET"), "");
  }
}

// The probe's reason, which the Winsock information shows, names both fixes;
// a run says which one its own way needs, in the status bar.
TEST_F(TIcmpHelperAsUser, WithoutTheHelpersCapabilityItSaysWhyAndWhatWouldFixIt) {
  const QString plain = QString::fromLocal8Bit(Env("ICMP_HELPER_PLAIN"));
  const QString missing = plain + ".missing";
  const struct {
    QString Helper;
    QString Fix;
  } cases[] = {
      {plain, "sudo setcap cap_net_raw+ep " + plain},
      {missing, missing + " が見つからないか、実行できません"},
  };
  const QString groups = QStringLiteral("net.ipv4.ping_group_range");
  for (const auto& c : cases) {
    SetIcmpHelperPath(c.Helper);
    const TEchoMethod method = ProbeEchoMethod();
    EXPECT_TRUE(method.ServiceMode);
    EXPECT_TRUE(method.Reason.contains("(EPERM)")) << method.Reason.toStdString();
    EXPECT_TRUE(method.Reason.contains(c.Fix)) << method.Reason.toStdString();
    EXPECT_TRUE(method.Reason.contains(groups)) << method.Reason.toStdString();

    for (TMode mode : {TMode::Service, TMode::Raw}) {
      TWorkerRun run;
      run.StartPing(mode, Env("CHAIN_TARGET"), "", {5, 3, 100, 32, 64, false});
      ASSERT_TRUE(run.CollectUntilFinish());
      const QList<QByteArray> lines =
          mode == TMode::Raw ? QList<QByteArray>() : QList<QByteArray>{ToSjis(TextNoHandle)};
      EXPECT_EQ(run.Lines(), lines);
      const QString status = QString::fromUtf8(run.Items.last().Text);  // Finish: closing status
      EXPECT_TRUE(status.contains(mode == TMode::Raw ? c.Fix : groups)) << status.toStdString();
    }
  }
}

}  // namespace
