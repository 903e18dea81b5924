// The Ping and TraceRoute workers, raw-socket and echo-service alike, against
// real routers: runs inside chain_netns.sh (client - router1 - router2 -
// target), whose addresses arrive in CHAIN_* variables.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "IcmpLimits.h"
#include "IcmpWorkerRun.h"

namespace {

const char* Env(const char* name) { return std::getenv(name); }

// Echo requests this namespace has sent, raw and datagram sockets alike.
long OutEchos() {
  QFile snmp("/proc/net/snmp");
  if (!snmp.open(QIODevice::ReadOnly)) return -1;
  const QList<QByteArray> lines = snmp.readAll().split('\n');
  for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
    if (!lines[i].startsWith("Icmp:") || !lines[i + 1].startsWith("Icmp:")) continue;
    const int column = int(lines[i].split(' ').indexOf("OutEchos"));
    return column < 0 ? -1 : lines[i + 1].split(' ').value(column).toLong();
  }
  return -1;
}

class TIcmpWorkers : public testing::TestWithParam<TMode> {
 protected:
  void SetUp() override {
    if (!Env("CHAIN_TARGET")) GTEST_SKIP() << "needs the namespaces of chain_netns.sh";
    FSocketsBefore = OpenSockets();
  }
  void TearDown() override {
    if (!IsSkipped()) ExpectNothingLeftOpen(FSocketsBefore);
  }
  TMode Mode() const { return GetParam(); }
  bool Raw() const { return GetParam() == TMode::Raw; }
  // The raw workers and the service workers word some outcomes differently.
  const char16_t* Either(const char16_t* raw, const char16_t* service) const {
    return Raw() ? raw : service;
  }

  int FSocketsBefore = 0;
};

// --- Ping -----------------------------------------------------------------------

TEST_P(TIcmpWorkers, PingOfLoopbackGivesOneReplyLinePerRequest) {
  const struct {
    int Count, DataSize;
    bool DontFragment;
  } cases[] = {{2, 56, false}, {1, 4096, true}, {1, 17, false}};
  for (const auto& c : cases) {
    TWorkerRun run;
    run.StartPing(Mode(), "127.0.0.1", "loop.example",
                  {5, c.Count, 100, c.DataSize, 64, c.DontFragment});
    ASSERT_TRUE(run.CollectUntilFinish()) << c.DataSize;
    ASSERT_EQ(run.Lines().size(), c.Count) << c.DataSize;
    for (int n = 1; n <= c.Count; ++n)
      ExpectTimeLine(run.Lines()[n - 1], n, "127.0.0.1", "loop.example");
    // The raw worker does not pause after its last request; the service one does.
    QStringList statuses{QStringLiteral("ホスト情報取得中...(loop.example)")};
    for (int n = 1; n <= c.Count; ++n) statuses << WaitingStatus() << PauseStatus(100);
    if (Raw()) statuses.removeLast();
    EXPECT_EQ(run.Statuses(), statuses) << c.DataSize;
  }
}

TEST_P(TIcmpWorkers, PingWithoutAReplyGivesOneMessageLinePerRequest) {
  const struct {
    const char* Dest;
    int Count, Ttl, TimeoutSec;
    const char16_t* Raw;
    const char16_t* Service;
  } cases[] = {
      {"CHAIN_TARGET", 2, 1, 5, TextTimeExceeded, TextInvalidReply},
      {"CHAIN_HOST_UNREACHABLE", 1, 64, 5, TextUnreachable, TextInvalidReply},
      {"CHAIN_NET_UNREACHABLE", 1, 64, 5, TextUnreachable, TextInvalidReply},
      {"CHAIN_PROHIBITED", 1, 64, 5, TextUnreachable, TextInvalidReply},
      {"CHAIN_BLACKHOLE", 2, 64, 1, TextNoReply, TextNoReply},
  };
  for (const auto& c : cases) {
    TWorkerRun run;
    run.StartPing(Mode(), Env(c.Dest), "", {c.TimeoutSec, c.Count, 100, 32, c.Ttl, false});
    ASSERT_TRUE(run.CollectUntilFinish()) << c.Dest;
    QList<QByteArray> expected;
    for (int n = 1; n <= c.Count; ++n) expected << MessageLine(n, Either(c.Raw, c.Service));
    EXPECT_EQ(run.Lines(), expected) << c.Dest;
  }
}

// --- TraceRoute -------------------------------------------------------------------

TEST_P(TIcmpWorkers, TraceRouteShowsEachHopAndEndsAtTheTarget) {
  const QByteArray router1 = Env("CHAIN_ROUTER1"), router2 = Env("CHAIN_ROUTER2"),
                   target = Env("CHAIN_TARGET");
  const QByteArray unknown = ToSjis(TextNoHopName);
  for (bool resolve : {false, true}) {
    TWorkerRun run;
    run.NameHops({{router1, "router1.test"}, {target, "target.test"}}, {router2});
    run.StartTrace(Mode(), target, {5, 1, 64, resolve});
    ASSERT_TRUE(run.CollectUntilFinish()) << resolve;
    const QList<QByteArray> pane = run.Pane();
    ASSERT_EQ(pane.size(), 3) << resolve;
    ExpectTimeLine(pane[0], 1, router1, resolve ? "router1.test" : "");
    ExpectTimeLine(pane[1], 2, router2, resolve ? unknown : "");
    ExpectTimeLine(pane[2], 3, target, resolve ? "target.test" : "");
    const QList<QByteArray> asked =
        resolve ? QList<QByteArray>{router1, router2, target} : QList<QByteArray>();
    EXPECT_EQ(run.Resolver->Requests(), asked);

    // The column header; per hop: its status, the bare line; with names, the
    // lookup's statuses and the line replaced by the named one; then the
    // hop's sample for the statistics. Then the end.
    QList<std::pair<TOutputItem::TKind, QByteArray>> expected{
        {TOutputItem::Line, ToSjis(TextColumnHeader)}};
    const QByteArray hops[] = {router1, router2, target};
    for (int hop = 1; hop <= 3; ++hop) {
      expected.append({TOutputItem::Status, HopStatus(hop).toUtf8()});
      expected.append({TOutputItem::Line, pane[hop - 1].left(36)});
      if (resolve) {
        expected.append({TOutputItem::Status, ResolvingStatus().toUtf8()});
        expected.append({TOutputItem::Status, ("ホスト情報取得中...(" + hops[hop - 1] + ")")});
        expected.append({TOutputItem::ReplaceLast, pane[hop - 1]});
      }
      expected.append({TOutputItem::Sample, QByteArray()});
    }
    expected.append({TOutputItem::Finish, QByteArray()});
    QList<std::pair<TOutputItem::TKind, QByteArray>> items;
    for (const TOutputItem& i : run.Items) items.append({i.Kind, i.Text});
    EXPECT_EQ(items, expected) << resolve;
  }
}

TEST_P(TIcmpWorkers, TraceRouteGoesOnPastHopsWithoutAnAnswer) {
  // Router2 drops what goes to the black hole, and answers the unreachable
  // address with "host unreachable", which only the service takes as an answer.
  const struct {
    const char* Dest;
    const char16_t* Raw;
    const char16_t* Service;
  } cases[] = {
      {"CHAIN_BLACKHOLE", TextNoReply, TextNoReply},
      {"CHAIN_HOST_UNREACHABLE", TextNoReply, TextInvalidReply},
  };
  for (const auto& c : cases) {
    TWorkerRun run;
    run.StartTrace(Mode(), Env(c.Dest), {1, 1, 3, false});
    ASSERT_TRUE(run.CollectUntilFinish()) << c.Dest;
    const QList<QByteArray> lines = run.Lines();
    ASSERT_EQ(lines.size(), 3) << c.Dest;
    ExpectTimeLine(lines[0], 1, Env("CHAIN_ROUTER1"), "");
    const char16_t* message = Either(c.Raw, c.Service);
    EXPECT_EQ(lines.mid(1), (QList<QByteArray>{MessageLine(2, message), MessageLine(3, message)}))
        << c.Dest;
  }
}

TEST_P(TIcmpWorkers, TraceRouteWithTheFirstHopAboveTheLastSendsNothing) {
  const long sent = OutEchos();
  TWorkerRun run;
  run.StartTrace(Mode(), Env("CHAIN_TARGET"), {5, 5, 3, true});
  ASSERT_TRUE(run.CollectUntilFinish());
  EXPECT_EQ(run.Items.size(), 2);  // the column header and Finish
  EXPECT_TRUE(run.Lines().isEmpty());
  EXPECT_EQ(OutEchos(), sent);
}

// --- No socket, no handle ---------------------------------------------------------

TEST_P(TIcmpWorkers, WithoutSocketOrHandleTheRunEndsAtOnce) {
  // Without a raw socket the run ends silently; without a handle it says so.
  const QList<QByteArray> expected =
      Raw() ? QList<QByteArray>() : QList<QByteArray>{ToSjis(TextNoHandle)};
  for (bool trace : {false, true}) {
    std::optional<TNoRawSockets> noRaw;
    std::optional<TNoPingGroups> noGroups;
    if (Raw())
      noRaw.emplace();
    else
      noGroups.emplace();
    const long sent = OutEchos();
    TWorkerRun run;
    if (trace)
      run.StartTrace(Mode(), Env("CHAIN_TARGET"), {5, 1, 64, false});
    else
      run.StartPing(Mode(), Env("CHAIN_TARGET"), "", {5, 3, 100, 32, 64, false});
    ASSERT_TRUE(run.CollectUntilFinish()) << trace;
    EXPECT_EQ(run.Lines(), expected) << trace;
    EXPECT_EQ(OutEchos(), sent) << trace;
    // The status bar keeps the reason, with what would fix it.
    const QString reason = QString::fromUtf8(run.Items.last().Text);
    const QString fix = Raw() ? "setcap cap_net_raw+ep " + IcmpHelperPath()
                              : QStringLiteral("net.ipv4.ping_group_range");
    EXPECT_TRUE(reason.contains(fix)) << reason.toStdString();
  }
}

// --- Stop ---------------------------------------------------------------------------

// What every stopped run shows: the thread ends soon, no Finish item, and
// the hand-over is closed.
void ExpectStopped(TWorkerRun& run) {
  EXPECT_TRUE(run.Worker->wait(5000));  // well inside every wait and pause it was in
  EXPECT_FALSE(run.Finished());
  bool more = false;
  EXPECT_TRUE(run.Channel->Take(1000, &more).isEmpty());
  EXPECT_FALSE(run.Worker->isRunning());
}

// Two runs wait at once, as when a stopped run's worker is still ending as
// the next one starts: Stop reaches the run it is meant for, and that alone.
TEST_P(TIcmpWorkers, StopWhileWaitingForAnAnswer) {
  const char* blackhole = Env("CHAIN_BLACKHOLE");
  for (bool trace : {false, true}) {
    TWorkerRun first, second;
    for (TWorkerRun* run : {&first, &second}) {
      // A minute's time-out: only Stop ends these waits in time.
      if (trace)
        run->StartTrace(Mode(), blackhole, {60, 3, 3, false});
      else
        run->StartPing(Mode(), blackhole, "", {60, 3, 100, 32, 64, false});
      ASSERT_TRUE(run->CollectUntilStatus(trace ? HopStatus(3) : WaitingStatus())) << trace;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // into the wait
    first.Stop();
    ExpectStopped(first);
    EXPECT_TRUE(second.Worker->isRunning()) << trace;
    second.Stop();
    ExpectStopped(second);
    EXPECT_TRUE(first.Lines().isEmpty() && second.Lines().isEmpty()) << trace;
  }
}

TEST_P(TIcmpWorkers, StopDuringThePauseSendsNoMoreRequests) {
  TWorkerRun run;
  run.StartPing(Mode(), "127.0.0.1", "", {5, 3, 10000, 32, 64, false});
  ASSERT_TRUE(run.CollectUntilStatus(PauseStatus(10000)));
  const long sent = OutEchos();
  run.Stop();
  ExpectStopped(run);
  EXPECT_EQ(run.Lines().size(), 1);
  EXPECT_EQ(OutEchos(), sent);
}

TEST_P(TIcmpWorkers, StopDuringAHopNameLookupEndsTheTrace) {
  TWorkerRun run;  // no name is known: every lookup stays pending
  run.StartTrace(Mode(), Env("CHAIN_TARGET"), {5, 1, 64, true});
  ASSERT_TRUE(
      run.CollectUntilStatus(QStringLiteral("ホスト情報取得中...(") + Env("CHAIN_ROUTER1") + ')'));
  const QDeadlineTimer deadline(10000);
  while (run.Resolver->PendingCount() == 0 && !deadline.hasExpired())
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_EQ(run.Resolver->PendingCount(), 1);
  const long sent = OutEchos();
  run.Stop();  // wakes the lookup, which is cancelled
  ExpectStopped(run);
  EXPECT_EQ(run.Resolver->Requests(), QList<QByteArray>{Env("CHAIN_ROUTER1")});
  EXPECT_EQ(run.Resolver->PendingCount(), 0);
  EXPECT_EQ(OutEchos(), sent);
  ASSERT_EQ(run.Pane().size(), 1);  // the bare hop line, neither deleted nor replaced
  EXPECT_EQ(run.Pane()[0].size(), 36);
}

INSTANTIATE_TEST_SUITE_P(BothModes, TIcmpWorkers, testing::Values(TMode::Raw, TMode::Service),
                         [](const testing::TestParamInfo<TMode>& info) {
                           return std::string(ModeName(info.param));
                         });

}  // namespace
