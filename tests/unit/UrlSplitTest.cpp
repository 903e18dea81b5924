#include <gtest/gtest.h>

#include <climits>

#include "common/Common.h"

namespace {

struct TUrlCase {
  const char* Input;
  const char* Host;
  const char* Path;
  const char* Scheme;
  int Port;
};

const TUrlCase UrlCases[] = {
    {"http://srv/", "srv", "/", "http", 80},
    {"https://srv:8443/a", "srv", "/a", "https", 8443},
    {"http://srv:8080/a/b.html#top", "srv", "/a/b.html", "http", 8080},
    {"srv", "srv", "/", "", 80},
    {"srv/index.html", "srv", "/index.html", "", 80},
    {"http://srv/cgi?q=1", "srv", "/cgi?q=1", "http", 80},
    {"ftp://srv/pub", "srv", "/pub", "ftp", 80},
    {"HTTP://srv/", "srv", "/", "HTTP", 80},
    {"http://srv:/", "srv", "/", "http", 80},
    {"http://srv:abc/", "srv", "/", "http", 80},
    {"http://srv/a b", "", "", "", 80},
    {"finger://srv", "srv", "/", "finger", 80},
    {"192.0.2.1:79", "192.0.2.1", "/", "", 79},
    {"", "", "/", "", 80},
    {" srv", "", "", "", 80},
    // A user part is not recognised.
    {"http://user@srv/", "user@srv", "/", "http", 80},
    // The host and port end at a path, query or fragment; a query is the root's.
    {"http://srv#a/b", "srv", "/", "http", 80},
    {"http://srv?q=1", "srv", "/?q=1", "http", 80},
    {"https://srv.test:8448?x=1", "srv.test", "/?x=1", "https", 8448},
    {"http://[::1]:8080?x=/y#f", "::1", "/?x=/y", "http", 8080},
    {"://srv/x", "srv", "/x", "", 80},
    {"http://srv://x/y", "srv", "//x/y", "http", 80},
    // An IPv6 address is the host whole, without its brackets.
    {"http://[2001:db8::1]:8080/x", "2001:db8::1", "/x", "http", 8080},
    {"[2001:db8::1]:81", "2001:db8::1", "/", "", 81},
    {"http://[::1]/", "::1", "/", "http", 80},
    {"[fe80::1%eth0]:79", "fe80::1%eth0", "/", "", 79},
    {"2001:db8::1", "2001:db8::1", "/", "", 80},
    {"http://2001:db8::1/a", "2001:db8::1", "/a", "http", 80},
    // Brackets that do not close before a port are no IPv6 host.
    {"[2001:db8::1]x", "[2001:db8::1]x", "/", "", 80},
    {"[srv:81", "[srv", "/", "", 81},
};

TEST(UrlSplit, SplitsEveryPieceOfTheTable) {
  for (const TUrlCase& c : UrlCases) {
    const QString input = QString::fromUtf8(c.Input);
    SCOPED_TRACE(c.Input);
    EXPECT_EQ(ExtractUrlHost(input), QString::fromUtf8(c.Host));
    EXPECT_EQ(ExtractUrlPath(input), QString::fromUtf8(c.Path));
    EXPECT_EQ(ExtractUrlScheme(input), QString::fromUtf8(c.Scheme));
    EXPECT_EQ(ExtractUrlPort(input, 80), c.Port);
  }
}

// The scheme check is case-sensitive: only these spellings are spoken.
TEST(UrlSplit, DefaultPortOfEachSchemeAndZeroForTheRest) {
  const struct {
    const char* Scheme;
    int Port;
  } cases[] = {{"", 80},     {"http", 80}, {"https", 443}, {"HTTP", 0},
               {"HTTPS", 0}, {"Https", 0}, {"ftp", 0},     {"finger", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Scheme);
    EXPECT_EQ(SchemeDefaultPort(QString::fromUtf8(c.Scheme)), c.Port);
  }
}

TEST(UrlSplit, JapaneseTextPassesThrough) {
  const QString url = QStringLiteral(u"http://例え.jp:8080/パス/ファイル.html#見出し");
  EXPECT_EQ(ExtractUrlHost(url), QStringLiteral(u"例え.jp"));
  EXPECT_EQ(ExtractUrlPath(url), QStringLiteral(u"/パス/ファイル.html"));
  EXPECT_EQ(ExtractUrlPort(url, 80), 8080);
}

struct TPortCase {
  const char* Input;
  int Port;
};

const TPortCase PortCases[] = {
    {"http://srv:+81/", 81},
    {"http://srv:-1/", -1},
    {"http://srv:0/", 0},
    {"http://srv:65536/", 65536},
    {"http://srv:2147483647/", INT_MAX},
    {"http://srv:2147483648/", INT_MAX},
    {"http://srv:99999999999999999999/", INT_MAX},
    {"http://srv:-2147483648/", INT_MIN},
    {"http://srv:-99999999999999999999/", INT_MIN},
    {"http://srv:+/", 7},
    {"http://srv:-/", 7},
    {"http://srv: 81/", 7},
    {"http://srv:81 /", 7},
    {"http://srv:0x50/", 7},
    {"http://srv:８０/", 7},
    {"http://srv:81#top", 81},
    {"srv:81:82", 7},
    // Only a colon before the path names a port.
    {"http://8080/", 7},
    {"http://srv/page:2", 7},
    {"8080", 7},
    {"http://[::1]:/", 7},
    {"http://[::1]:8o/", 7},
    {"2001:db8::1:8080", 7},
};

TEST(UrlSplit, PortIsDecimalOrDefaultAndSaturatesWhenTooBig) {
  for (const TPortCase& c : PortCases) {
    SCOPED_TRACE(c.Input);
    EXPECT_EQ(ExtractUrlPort(QString::fromUtf8(c.Input), 7), c.Port);
  }
}

// What the socket layer takes for a dotted address, and its text again.
// Nothing may follow the address, not even a blank.
TEST(DottedAddress, ParsesWhatTheSocketLayerTakesAndFormatsItBack) {
  const struct {
    const char16_t* Input;
    bool Parses;
    const char* Formatted;
  } cases[] = {
      {u"192.0.2.1", true, "192.0.2.1"}, {u"255.255.255.255", true, "255.255.255.255"},
      {u"0.0.0.0", true, "0.0.0.0"},     {u"127.1", true, "127.0.0.1"},
      {u"0x7f.1", true, "127.0.0.1"},    {u"192.0.2.256", false, ""},
      {u"192.0.2", true, "192.0.0.2"},   {u"", false, ""},
      {u"host.test", false, ""},         {u"１９２.0.2.1", false, ""},
      {u"192.0.2 ", false, ""},          {u"192.0.2 .1", false, ""},
      {u"192.0.2.1 x", false, ""},       {u"192.0.2.1\t", false, ""},
      {u"192.0.2.1\n", false, ""},       {u" 192.0.2.1", false, ""},
  };
  for (const auto& c : cases) {
    const QString input = QString::fromUtf16(c.Input);
    quint32 addr = 0;
    EXPECT_EQ(ParseDottedAddress(input, &addr), c.Parses) << input.toStdString();
    if (c.Parses) EXPECT_EQ(FormatDottedAddress(addr), c.Formatted) << input.toStdString();
  }
  quint32 addr = 0;
  EXPECT_FALSE(ParseDottedAddress(QStringLiteral("192.0.2.1") + QChar(0) + u'x', &addr));
}

}  // namespace
