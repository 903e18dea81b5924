#include <gtest/gtest.h>

#include <QDateTime>

#include "common/HopStats.h"
#include "common/PingStats.h"
#include "common/SjisText.h"
#include "platform/IcmpService.h"
#include "workers/IcmpCommon.h"

namespace {

using K = TSampleKind;

TPingSample Reply(int n, double ms) { return {n, "192.0.2.1", ms, K::Reply}; }
TPingSample Lost(int n, K kind = K::TimedOut) { return {n, "192.0.2.1", std::nullopt, kind}; }

struct TFiguresCase {
  const char* Name;
  std::vector<TPingSample> Added;  // in the order they arrive
  int Sent, Received;
  const char* Summary;
  std::optional<double> Min, Max;
  std::optional<double> StdDev, Jitter;
};

TEST(PingStats, FiguresOfARun) {
  const TFiguresCase cases[] = {
      {"nothing sent", {}, 0, 0, "送信 0 / 受信 0 / 損失 0% / 平均 -", {}, {}, {}, {}},
      {"one reply", {Reply(1, 7)}, 1, 1, "送信 1 / 受信 1 / 損失 0% / 平均 7.0 ms", 7, 7, 0.0, {}},
      {"all lost, by kind",
       {Lost(1), Lost(2, K::TtlExpired), Lost(3, K::Unreachable), Lost(4, K::Error)},
       4,
       0,
       "送信 4 / 受信 0 / 損失 100% / 平均 -",
       {},
       {},
       {},
       {}},
      {"ten with one lost",
       {Reply(1, 10), Reply(2, 12), Reply(3, 14), Lost(4), Reply(5, 10), Reply(6, 12), Reply(7, 14),
        Reply(8, 10), Reply(9, 12), Reply(10, 14)},
       10,
       9,
       "送信 10 / 受信 9 / 損失 10% / 平均 12.0 ms",
       10,
       14,
       std::sqrt(8.0 / 3),
       2.5},
      // Jitter follows the request order, not the order of arrival.
      {"late reply out of order",
       {Reply(1, 10), Reply(3, 30), Reply(2, 20)},
       3,
       3,
       "送信 3 / 受信 3 / 損失 0% / 平均 20.0 ms",
       10,
       30,
       std::sqrt(200.0 / 3),
       10.0},
      // Time-out equal to the delay: request 2's reply comes after its
      // time-out, while 3 is under way; the time-out stands, and a reply
      // taking exactly the time-out is still a reply.
      {"time-out equal to the delay",
       {Reply(1, 500), Lost(2), Reply(2, 1100), Reply(3, 1000)},
       3,
       2,
       "送信 3 / 受信 2 / 損失 33% / 平均 750.0 ms",
       500,
       1000,
       250.0,
       500.0},
      {"one in a thousand lost is not 0%",
       [] {
         std::vector<TPingSample> v{Lost(1)};
         for (int n = 2; n <= 999; ++n) v.push_back(Reply(n, 1));
         return v;
       }(),
       999, 998, "送信 999 / 受信 998 / 損失 1% / 平均 1.0 ms", 1, 1, 0.0, 0.0},
      {"one reply in a thousand is not 100%",
       [] {
         std::vector<TPingSample> v{Reply(1, 1)};
         for (int n = 2; n <= 999; ++n) v.push_back(Lost(n));
         return v;
       }(),
       999, 1, "送信 999 / 受信 1 / 損失 99% / 平均 1.0 ms", 1, 1, 0.0, {}},
  };
  for (const TFiguresCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TPingStats stats;
    for (const TPingSample& s : c.Added) stats.Add(s);
    const TPingFigures f = stats.Figures();
    EXPECT_EQ(f.Sent, c.Sent);
    EXPECT_EQ(f.Received, c.Received);
    EXPECT_EQ(f.Lost, c.Sent - c.Received);
    EXPECT_EQ(PingSummaryText(f), QString::fromUtf8(c.Summary));
    EXPECT_EQ(f.MinMs, c.Min);
    EXPECT_EQ(f.MaxMs, c.Max);
    ASSERT_EQ(f.StdDevMs.has_value(), c.StdDev.has_value());
    if (c.StdDev) {
      EXPECT_NEAR(*f.StdDevMs, *c.StdDev, 1e-9);
    }
    ASSERT_EQ(f.JitterMs.has_value(), c.Jitter.has_value());
    if (c.Jitter) {
      EXPECT_NEAR(*f.JitterMs, *c.Jitter, 1e-9);
    }
    for (size_t i = 1; i < stats.Samples().size(); ++i)
      EXPECT_LT(stats.Samples()[i - 1].Number, stats.Samples()[i].Number);
  }
}

// Times keep their fractions, as measured; Ping's rows end with the time of
// day each request went out.
TEST(PingStats, CsvHasAHeaderAndOneRowPerRequest) {
  TPingStats stats;
  stats.Add({1, "192.0.2.1", 12.0625, K::Reply,
             QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7, 42)).toMSecsSinceEpoch()});
  stats.Add({2, "198.51.100.1", std::nullopt, K::TtlExpired});
  stats.Add({3, "", std::nullopt, K::TimedOut});
  stats.Add({4, "a,\"b\"", std::nullopt, K::Unreachable});
  EXPECT_EQ(SamplesCsv(stats.Samples()),
            "number,address,rtt_ms,result\r\n"
            "1,192.0.2.1,12.063,reply\r\n"
            "2,198.51.100.1,,ttl_expired\r\n"
            "3,,,timeout\r\n"
            "4,\"a,\"\"b\"\"\",,unreachable\r\n");
  EXPECT_TRUE(SamplesCsv(stats.Samples(), true)
                  .startsWith("number,address,rtt_ms,result,time\r\n"
                              "1,192.0.2.1,12.063,reply,09:05:07.042\r\n"
                              "2,198.51.100.1,,ttl_expired,\r\n"));
}

// A repeated trace's figures per hop: loss over the requests whose time-out
// has passed, forwarding loss only where no later hop answered that cycle,
// several addresses at one hop each with their own figures.
TEST(HopStats, FiguresOfCycles) {
  using S = TProbeState;
  const auto answered = [](int hop, const char* from, double ms, THopMark mark = THopMark::None) {
    return TCycleProbe{hop, S::Answered, QString::fromLatin1(from), ms, mark};
  };
  const auto silent = [](int hop, S state = S::TimedOut) {
    return TCycleProbe{hop, state, {}, 0, THopMark::None};
  };
  // Hop 2 keeps quiet in cycle 2 while hop 3 answers (it only limits its
  // answers); in cycle 3 nothing past hop 1 answers (lost on the way).
  // Cycle 4 ends while hop 3's request is still in flight.
  const std::vector<std::vector<TCycleProbe>> cycles = {
      {answered(1, "198.51.100.1", 1.0), answered(2, "192.0.2.2", 10.0),
       answered(3, "203.0.113.2", 20.0)},
      {answered(1, "198.51.100.1", 3.0), silent(2), answered(3, "203.0.113.2", 22.0)},
      {answered(1, "198.51.100.1", 2.0), silent(2), silent(3)},
      {answered(1, "198.51.100.1", 2.0), answered(2, "198.18.0.2", 14.0), silent(3, S::InFlight)},
  };
  THopStats stats;
  for (const auto& cycle : cycles) stats.AddCycle(cycle);
  stats.SetName("192.0.2.2", "r2.example");
  const std::vector<THopRow> rows = stats.Rows();
  ASSERT_EQ(rows.size(), 5u);
  const struct {
    int Hop;
    bool Responder;
    const char* Address;
    int Sent, Received;
    std::optional<double> Loss, ForwardLoss, Last, Avg, Best, Worst, Jitter;
  } want[] = {
      {1, false, "198.51.100.1", 4, 4, 0.0, 0.0, 2.0, 2.0, 1.0, 3.0, 1.0},
      {2, false, "", 4, 2, 50.0, 25.0, 14.0, 12.0, 10.0, 14.0, 4.0},
      {2, true, "192.0.2.2", 0, 1, {}, {}, 10.0, 10.0, 10.0, 10.0, {}},
      {2, true, "198.18.0.2", 0, 1, {}, {}, 14.0, 14.0, 14.0, 14.0, {}},
      {3, false, "203.0.113.2", 3, 2, 100.0 / 3, 100.0 / 3, 22.0, 21.0, 20.0, 22.0, 2.0},
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    const THopRow& r = rows[i];
    EXPECT_EQ(r.Hop, want[i].Hop);
    EXPECT_EQ(r.Responder, want[i].Responder);
    EXPECT_EQ(r.Address, QString::fromLatin1(want[i].Address));
    EXPECT_EQ(r.Sent, want[i].Sent);
    EXPECT_EQ(r.Received, want[i].Received);
    const std::pair<std::optional<double>, std::optional<double>> figures[] = {
        {r.LossPercent, want[i].Loss},  {r.ForwardLossPercent, want[i].ForwardLoss},
        {r.LastMs, want[i].Last},       {r.AvgMs, want[i].Avg},
        {r.BestMs, want[i].Best},       {r.WorstMs, want[i].Worst},
        {r.JitterMs, want[i].Jitter}};
    for (const auto& [got, expected] : figures) {
      ASSERT_EQ(got.has_value(), expected.has_value());
      if (got) EXPECT_NEAR(*got, *expected, 1e-9);
    }
  }
  EXPECT_EQ(rows[2].Name, "r2.example");
  EXPECT_EQ(rows[1].Responders, 2);
  EXPECT_EQ(ForwardLossText(rows), "ホップ 2 から転送損失があります (25.0%)");
  // The pane's lines line up: every figure column ends where its caption does.
  const QByteArrayList lines = HopTableLines(rows);
  ASSERT_EQ(lines.size(), 6);
  const qsizetype end = lines[0].indexOf(ToSjis(u"送信")) + ToSjis(u"送信").size();
  EXPECT_EQ(lines[1].mid(end - 1, 1), "4");
  EXPECT_EQ(lines[3].indexOf("r2.example"), lines[0].indexOf(ToSjis(u"ホスト名")));
  EXPECT_EQ(lines[3].indexOf("192.0.2.2"), lines[1].indexOf("198.51.100.1") + 2);
  EXPECT_TRUE(lines[2].contains(ToSjis(u"(応答元 2)")));
  // An unreachable destination is marked as mtr marks it, for either family.
  stats.AddCycle({answered(1, "198.51.100.1", 1.0),
                  answered(2, "192.0.2.2", 9.0, UnreachableMark(false, 13))});
  EXPECT_EQ(HopRowCells(stats.Rows()[2])[1], "  192.0.2.2 !X");
  EXPECT_EQ(HopMarkText(UnreachableMark(true, 0)), "!N");
  EXPECT_EQ(HopMarkText(UnreachableMark(false, 1)), "!H");
  EXPECT_EQ(FirstForwardLossHop({}), std::nullopt);
  EXPECT_EQ(ForwardLossText({}), "転送パケットを失っているホップはありません");
}

// What the workers' results become in the statistics.
TEST(PingStats, WorkerResultsAsSampleKinds) {
  const struct {
    TEchoVerdict Verdict;
    std::optional<TSampleKind> Kind;
  } raw[] = {
      {TEchoVerdict::EchoReply, K::Reply},         {TEchoVerdict::NoAnswer, K::TimedOut},
      {TEchoVerdict::LaterRequest, K::TimedOut},   {TEchoVerdict::Unreachable, K::Unreachable},
      {TEchoVerdict::TimeExceeded, K::TtlExpired}, {TEchoVerdict::Invalid, K::Error},
      {TEchoVerdict::Stopped, std::nullopt},
  };
  for (const auto& c : raw) EXPECT_EQ(VerdictSampleKind(c.Verdict), c.Kind) << int(c.Verdict);
  const struct {
    quint32 Replies, Status;
    TSampleKind Kind;
  } service[] = {
      {0, IpSuccess, K::TimedOut},
      {1, IpSuccess, K::Reply},
      {1, IpTtlExpiredTransit, K::TtlExpired},
      {1, IpDestHostUnreachable, K::Unreachable},
      {1, IpPacketTooBig, K::Unreachable},
      {1, IpParamProblem, K::Error},
  };
  for (const auto& c : service)
    EXPECT_EQ(ServiceSampleKind(c.Replies, c.Status), c.Kind) << c.Status;
}

}  // namespace
