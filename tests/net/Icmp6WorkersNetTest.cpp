// Ping and TraceRoute over ICMPv6, raw socket and echo service alike, across
// the IPv6 side of chain_netns.sh (CHAIN6_* variables). Also runs as nobody
// under helper_user.sh, where the raw socket comes from the capable helper.
#include <gtest/gtest.h>

#include <cstdlib>

#include "IcmpWorkerRun.h"
#include "platform/EchoMethod.h"
#include "platform/RawIcmpHelper.h"

namespace {

QByteArray Env(const char* name) { return std::getenv(name); }

bool AsNobody() { return std::getenv("ICMP_HELPER_CAPABLE") != nullptr; }

class TIcmp6Workers : public testing::TestWithParam<TMode> {
 protected:
  void SetUp() override {
    if (Env("CHAIN6_TARGET").isEmpty()) GTEST_SKIP() << "needs the namespaces of chain_netns.sh";
    if (AsNobody() && GetParam() == TMode::Service)
      GTEST_SKIP() << "helper_user.sh shuts nobody out of ICMP datagram sockets";
    if (AsNobody()) SetIcmpHelperPath(QFile::decodeName(Env("ICMP_HELPER_CAPABLE")));
    FSocketsBefore = OpenSockets();
  }
  void TearDown() override {
    if (!IsSkipped()) ExpectNothingLeftOpen(FSocketsBefore);
  }

  // A finished run's pane, its column header included, and its samples.
  QList<QByteArray> Ping(const QByteArray& dest, const TPingParams& params) {
    TWorkerRun run;
    run.StartPing(GetParam(), dest.constData(), "", params);
    EXPECT_TRUE(run.CollectUntilFinish()) << dest.constData();
    FSamples.clear();
    for (const TOutputItem& i : run.Items)
      if (i.Kind == TOutputItem::Sample) FSamples.append(i.Result);
    return run.AllShown();
  }

  QList<TPingSample> FSamples;
  int FSocketsBefore = 0;
};

// A message line under the host text of a run whose column is dest's width.
QByteArray Message(int number, const QString& text, const QByteArray& dest) {
  return QByteArray::number(number).rightJustified(3) + QByteArray(dest.size() + 18, ' ') +
         ToSjis(text);
}

// A reply or hop line in an address column of width, whatever its time.
void ExpectTimeLine(const QByteArray& line, int number, const QByteArray& addr, int width) {
  const QByteArray head =
      QByteArray::number(number).rightJustified(3) + "  " + addr.leftJustified(width) + "  ";
  EXPECT_EQ(line.left(head.size()), head) << line.constData();
  EXPECT_EQ(line.mid(head.size() + 8, 6), " ms   ") << line.constData();
}

TEST_P(TIcmp6Workers, PingOfTheTargetGivesReplyLinesAndSamples) {
  const QByteArray target = Env("CHAIN6_TARGET");
  const QList<QByteArray> pane = Ping(target, {5, 2, 100, 56, 64, false});
  ASSERT_EQ(pane.size(), 3);
  EXPECT_EQ(pane[0], ToSjis(ColumnHeader(int(target.size()))));
  for (int n = 1; n <= 2; ++n) ExpectTimeLine(pane[n], n, target, int(target.size()));
  for (const TPingSample& s : FSamples)
    EXPECT_EQ(s, (TPingSample{s.Number, QString::fromLatin1(target), s.RoundTripMs,
                              TSampleKind::Reply, s.SentAtMs}));
  EXPECT_EQ(FSamples.size(), 2);
}

// Every way a request goes unanswered has its line, the same in both modes.
TEST_P(TIcmp6Workers, PingWithoutAReplyGivesTheLineOfWhatCameBack) {
  struct TCase {
    QByteArray Dest;
    int Ttl, TimeoutSec;
    const char16_t* Text;
    TSampleKind Kind;
    int Size = 32, Count = 1;  // the line and sample of the last request count
  };
  // Past router1's packet too big, the second request of 1400 bytes goes in
  // fragments: router2's time exceeded quotes the first, Fragment header
  // and all. An address of its own, so that no other test meets the MTU.
  QByteArray unassigned = Env("CHAIN6_TARGET");
  unassigned.replace("::2", "::7");
  QList<TCase> cases = {
      {Env("CHAIN6_TARGET"), 1, 5, TextTimeExceeded, TSampleKind::TtlExpired},
      {Env("CHAIN6_TARGET"), 2, 5, TextTimeExceeded, TSampleKind::TtlExpired},
      {Env("CHAIN6_BLACKHOLE"), 64, 1, TextNoReply, TSampleKind::TimedOut},
      {unassigned, 2, 5, TextTimeExceeded, TSampleKind::TtlExpired, 1400, 2},
  };
  for (char code = '0'; code <= '6'; ++code)
    cases.append(
        {Env("CHAIN6_UNREACHABLE") + code, 64, 5, TextUnreachable, TSampleKind::Unreachable});
  for (const TCase& c : cases) {
    const QList<QByteArray> pane =
        Ping(c.Dest, {c.TimeoutSec, c.Count, 100, c.Size, c.Ttl, false});
    EXPECT_EQ(pane.value(c.Count), Message(c.Count, QString::fromUtf16(c.Text), c.Dest))
        << c.Dest.constData() << " ttl " << c.Ttl;
    EXPECT_EQ(FSamples.value(c.Count - 1).Kind, c.Kind) << c.Dest.constData();
  }
}

// Router1 refuses more than 1280 bytes that may not be fragmented; the
// system remembers the MTU and refuses the next request itself. Each mode
// asks an address of its own, so that each meets the router first.
TEST_P(TIcmp6Workers, PingLargerThanThePathGivesPacketTooBig) {
  const QByteArray dest = Env(GetParam() == TMode::Raw ? "CHAIN6_TARGET" : "CHAIN6_TARGET2");
  const QList<QByteArray> pane = Ping(dest, {5, 2, 100, 1400, 64, true});
  EXPECT_EQ(pane.mid(1), QList<QByteArray>({Message(1, PacketTooBigText(1280), dest),
                                            Message(2, PacketTooBigText(0), dest)}));
}

TEST_P(TIcmp6Workers, TraceRouteShowsEachHopWithItsIp6ArpaName) {
  const QByteArray hops[] = {Env("CHAIN6_ROUTER1"), Env("CHAIN6_ROUTER2"), Env("CHAIN6_TARGET")};
  const QByteArray names[] = {"router1.test", ToSjis(TextNoHopName), "target.test"};
  for (bool resolve : {false, true}) {
    TWorkerRun run;
    run.NameHops({{hops[0], names[0]}, {hops[2], names[2]}}, {hops[1]});
    run.StartTrace(GetParam(), hops[2].constData(), {5, 1, 64, resolve});
    ASSERT_TRUE(run.CollectUntilFinish()) << resolve;
    const QList<QByteArray> pane = run.AllShown();
    ASSERT_EQ(pane.size(), 4) << resolve;
    EXPECT_EQ(pane[0], ToSjis(ColumnHeader(MaxIPv6AddressWidth)));
    for (int hop = 1; hop <= 3; ++hop) {
      ExpectTimeLine(pane[hop], hop, hops[hop - 1], MaxIPv6AddressWidth);
      EXPECT_TRUE(pane[hop].endsWith(resolve ? names[hop - 1] : QByteArray(" ms   ")));
    }
  }
}

// The information box's lines: each ICMPv6 socket usable, or why not with
// the fix. Nobody gets a raw socket from the capable helper alone, and no
// datagram socket outside ping_group_range.
TEST(Icmp6Probe, SaysWhichSocketsOpenAndWhyNot) {
  if (Env("CHAIN6_TARGET").isEmpty()) GTEST_SKIP() << "needs the namespaces of chain_netns.sh";
  const QString raw = QStringLiteral("ICMPv6: RAWソケットが使えます。");
  if (!AsNobody()) {
    EXPECT_EQ(ProbeIcmp6Sockets(),
              raw + QStringLiteral("\nICMPv6: データグラムソケットが使えます。"));
    return;
  }
  const QString capable = QFile::decodeName(Env("ICMP_HELPER_CAPABLE"));
  const QString plain = QFile::decodeName(Env("ICMP_HELPER_PLAIN"));
  for (const auto& [helper, parts] :
       {std::pair{capable, QStringList{raw, "ping_group_range"}},
        std::pair{plain,
                  QStringList{"(EPERM)", "setcap cap_net_raw+ep " + plain, "ping_group_range"}}}) {
    SetIcmpHelperPath(helper);
    const QString report = ProbeIcmp6Sockets();
    for (const QString& part : parts) EXPECT_TRUE(report.contains(part)) << report.toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(BothModes, TIcmp6Workers, testing::Values(TMode::Raw, TMode::Service),
                         [](const auto& info) { return ModeName(info.param); });

}  // namespace
