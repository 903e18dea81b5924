// NS Lookup's own DNS pieces: the query it sends, answers read whatever
// their bytes, the server field, and the ACE form of Japanese names.
#include <gtest/gtest.h>

#include "common/DnsAsk.h"
#include "common/DnsWire.h"
#include "common/Idn.h"

namespace {
// An answer of one record for the question "a." (QR RD RA set): owner and
// rdata as wire bytes, the owner may point at the question (0xC00C).
QByteArray Answer(const QByteArray& owner, quint16 type, const QByteArray& rdata) {
  QByteArray m = QByteArray::fromHex("12348180000100010000000001610000010001");
  m += owner + char(type >> 8) + char(type & 0xFF) + QByteArray::fromHex("000100000e10");
  return m + char(rdata.size() >> 8) + char(rdata.size() & 0xFF) + rdata;
}
}  // namespace

TEST(DnsWireTest, AnswersComeOutAsPrintableAsciiInDigsForm) {
  struct {
    QByteArray Owner;
    quint16 Type;
    QByteArray Rdata;
    QByteArray Name, Data;
  } const cases[] = {
      {"\xC0\x0C", DnsType::TXT, QByteArray("\x09" "a\x07\x1B\"\\ \xE6\x97\xA5", 10),
       "a.", "\"a\\007\\027\\\"\\\\ \\230\\151\\165\""},
      {QByteArray("\x03" "x.\n\x00", 5), DnsType::MX, QByteArray("\x00\x0A\xC0\x0C", 4),
       "x\\.\\010.", "10 a."},
      {"\xC0\x0C", DnsType::A, QByteArray("\x0A\x00\x00", 3), "a.", "\\# 3 0A0000"},
      {"\xC0\x0C", DnsType::CAA, QByteArray("\x00\x05issueca;\x01", 11), "a.",
       "0 issue \"ca;\\001\""},
      {"\xC0\x0C", DnsType::HTTPS, QByteArray("\x00\x01\x00\x00\x01\x00\x06\x02h2\x02h3", 13),
       "a.", "1 . alpn=\"h2,h3\""},
      {"\xC0\x0C", 999, QByteArray("\x01\x02", 2), "a.", "\\# 2 0102"},
  };
  for (const auto& c : cases) {
    const std::optional<TDnsMessage> m = ParseDnsMessage(Answer(c.Owner, c.Type, c.Rdata));
    ASSERT_TRUE(m) << c.Data.constData();
    ASSERT_EQ(m->Answer.size(), 1);
    EXPECT_EQ(m->Answer[0].Name, c.Name);
    EXPECT_EQ(m->Answer[0].Data, c.Data);
  }
}

// Names that point forward or at themselves, or run past the end, and
// records cut short: the answer is refused whole.
TEST(DnsWireTest, MalformedAnswersAreRefused) {
  const QByteArray cut = Answer("\xC0\x0C", DnsType::A, QByteArray(4, '\1'));
  for (const QByteArray& wire :
       {Answer("\xC0\x1F", DnsType::A, QByteArray(4, '\1')), Answer("\xC0\x13", DnsType::A, "1234"), Answer(QByteArray("\x40" "a", 2), DnsType::A, "1234"),
        cut.chopped(1), cut.left(11)})
    EXPECT_FALSE(ParseDnsMessage(wire)) << wire.toHex().constData();
}

TEST(DnsWireTest, QueryAsksWithRdAdAndOptAndRefusesOddNames) {
  EXPECT_EQ(BuildDnsQuery(0xABCD, "a.b.", DnsType::MX, true).toHex(),
            "abcd01200001000000000001016101620000"
            "0f000100002904d000008000"
            "0000");
  EXPECT_EQ(BuildDnsQuery(1, "a", DnsType::A, false).mid(20, 8).toHex(), "002904d000000000");
  for (const QByteArray& name : {QByteArray("a..b"), QByteArray(64, 'a'), QByteArray("a b"),
                                 QByteArray("\xE6\x97\xA5"), QByteArray(".")})
    EXPECT_TRUE(BuildDnsQuery(1, name, DnsType::A, false).isEmpty()) << name.constData();
}

TEST(DnsWireTest, ServerFieldNamesTransportHostPortAndPath) {
  using T = TDnsTransport;
  struct {
    const char* Text;
    bool Tcp;
    std::optional<TDnsServer> Server;
  } const cases[] = {
      {"", false, TDnsServer{T::Udp, "", 53, ""}},
      {"", true, TDnsServer{T::Tcp, "", 53, ""}},
      {"192.0.2.53:5353", false, TDnsServer{T::Udp, "192.0.2.53", 5353, ""}},
      {"2001:db8::53", true, TDnsServer{T::Tcp, "2001:db8::53", 53, ""}},
      {"[2001:db8::53]:54", false, TDnsServer{T::Udp, "2001:db8::53", 54, ""}},
      {"tls://dns.example", true, TDnsServer{T::Tls, "dns.example", 853, ""}},
      {"https://dns.example:8443/q?x", false, TDnsServer{T::Https, "dns.example", 8443, "/q?x"}},
      {"https://dns.example", false, TDnsServer{T::Https, "dns.example", 443, "/dns-query"}},
      {"udp://dns.example", false, std::nullopt},
      {"dns.example/path", false, std::nullopt},
      {"dns.example:0", false, std::nullopt},
      {"tls://", false, std::nullopt},
  };
  for (const auto& c : cases) {
    const std::optional<TDnsServer> s = ParseDnsServer(QString::fromUtf8(c.Text), c.Tcp);
    ASSERT_EQ(bool(s), bool(c.Server)) << c.Text;
    if (!s) continue;
    EXPECT_EQ(s->Transport, c.Server->Transport) << c.Text;
    EXPECT_EQ(s->Host, c.Server->Host) << c.Text;
    EXPECT_EQ(s->Port, c.Server->Port) << c.Text;
    EXPECT_EQ(s->Path, c.Server->Path) << c.Text;
  }
}

TEST(DnsWireTest, JapaneseNamesGoOutInAceFormAsciiNamesAsTyped) {
  EXPECT_EQ(HostToAce(QStringLiteral("日本語.jp")), "xn--wgv71a119e.jp");
  EXPECT_EQ(HostToAce(QStringLiteral("ｗｗｗ．日本語．ｊｐ")), "www.xn--wgv71a119e.jp");
  EXPECT_EQ(HostToAce("Mixed.Case.EXAMPLE"), "Mixed.Case.EXAMPLE");
  EXPECT_EQ(NsLookupTitle(QStringLiteral("日本語.jp"), "xn--wgv71a119e.jp", "MX"),
            QStringLiteral("NS Lookup - 日本語.jp (xn--wgv71a119e.jp) - MX"));
  EXPECT_EQ(DnsTypesOfChoice(QStringLiteral("すべて")).size(), 8);
  EXPECT_EQ(KnownDnsChoice("TYPE65534"), QStringLiteral("既定"));
}
