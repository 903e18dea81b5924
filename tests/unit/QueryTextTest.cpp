// The texts of a run built from what the user typed.
#include <gtest/gtest.h>

#include "common/QueryText.h"
#include "common/SjisText.h"

namespace {

TEST(QueryText, HeaderTimeHasNoLeadingZeros) {
  const QDateTime early(QDate(2001, 4, 5), QTime(9, 3, 7));
  EXPECT_EQ(HeaderTime(early), QStringLiteral("2001年4月5日9時3分7秒"));
  EXPECT_EQ(RunHeader(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)), "t"),
            QStringLiteral(">> 2026年12月31日23時59分59秒  t"));
}

// Whatever the user typed comes out as typed, format markers included.
TEST(QueryText, TitlesKeepUserTextAsTyped) {
  const struct {
    QString Got, Want;
  } cases[] = {
      {PingTitle("a%2fb", 64), QStringLiteral("Ping - a%2fb - 64 バイトデータ")},
      {PingTitle("%1", 4096), QStringLiteral("Ping - %1 - 4096 バイトデータ")},
      {TraceRouteTitle("%1%2", 1, 64), QStringLiteral("TraceRoute - %1%2 - ホップ1 ～ ホップ64")},
      {IpScanTitle("192.0.2", 200, 200), QStringLiteral("IP Scan - 192.0.2.200 ～ 200")},
      {IpScanTitle("%3", 0, 255), QStringLiteral("IP Scan - %3.0 ～ 255")},
      {IpScanTitle("2001:DB8::", 1, 255), QStringLiteral("IP Scan - 2001:db8::1 ～ 2001:db8::ff")},
      {RelayToolTitle("Finger", "gw", RelayQuery("%1", "srv")), "Finger - gw - %1@srv"},
      {RelayToolTitle("Whois", "srv", ""), "Whois - srv - "},
  };
  for (const auto& c : cases) EXPECT_EQ(c.Got, c.Want);
}

TEST(QueryText, HttpRequestsForHeadAndGet) {
  EXPECT_EQ(HttpRequest(false, "h.test", "/"),
            "HEAD / HTTP/1.0\r\nHost: h.test\r\nUser-Agent: Ostrekon/0.9\r\n\r\n");
  EXPECT_EQ(HttpRequest(true, "h.test:8080", "/cgi?q=%41"),
            "GET /cgi?q=%41 HTTP/1.0\r\nHost: h.test:8080\r\nAccept: text/*\r\n"
            "User-Agent: Ostrekon/0.9\r\n\r\n");
  // A path is sent in Shift_JIS, as every text the program sends.
  EXPECT_EQ(
      HttpRequest(false, "h.test", QStringLiteral("/日本")),
      "HEAD " + ToSjis(u"/日本") + " HTTP/1.0\r\nHost: h.test\r\nUser-Agent: Ostrekon/0.9\r\n\r\n");
}

// The port only where the URL names one other than its scheme's.
TEST(QueryText, HostHeaderNamesThePortOnlyWhenItIsNotTheDefault) {
  const struct {
    const char* Host;
    int Port;
    const char* Want;
  } cases[] = {
      {"www.example.jp", 80, "www.example.jp"},    {"www.example.jp", 8080, "www.example.jp:8080"},
      {"192.0.2.1", 81, "192.0.2.1:81"},           {"2001:db8::1", 80, "[2001:db8::1]"},
      {"2001:db8::1", 8080, "[2001:db8::1]:8080"},
  };
  for (const auto& c : cases) EXPECT_EQ(HostHeaderValue(c.Host, c.Port, 80), c.Want) << c.Host;
}

}  // namespace
