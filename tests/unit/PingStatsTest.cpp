#include <gtest/gtest.h>

#include "common/PingStats.h"
#include "platform/IcmpService.h"
#include "workers/IcmpCommon.h"

namespace {

using K = TSampleKind;

TPingSample Reply(int n, int ms) { return {n, "192.0.2.1", ms, K::Reply}; }
TPingSample Lost(int n, K kind = K::TimedOut) { return {n, "192.0.2.1", std::nullopt, kind}; }

struct TFiguresCase {
  const char* Name;
  std::vector<TPingSample> Added;  // in the order they arrive
  int Sent, Received;
  const char* Summary;
  std::optional<int> Min, Max;
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

TEST(PingStats, CsvHasAHeaderAndOneRowPerRequest) {
  TPingStats stats;
  stats.Add(Reply(1, 12));
  stats.Add({2, "198.51.100.1", std::nullopt, K::TtlExpired});
  stats.Add({3, "", std::nullopt, K::TimedOut});
  stats.Add({4, "a,\"b\"", std::nullopt, K::Unreachable});
  EXPECT_EQ(SamplesCsv(stats.Samples()),
            "number,address,rtt_ms,result\r\n"
            "1,192.0.2.1,12,reply\r\n"
            "2,198.51.100.1,,ttl_expired\r\n"
            "3,,,timeout\r\n"
            "4,\"a,\"\"b\"\"\",,unreachable\r\n");
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
