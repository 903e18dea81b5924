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
    // The fragment goes before the path is looked for.
    {"http://srv#a/b", "srv#a", "/", "http", 80},
    // A query without a path is lost into the host.
    {"http://srv?q=1", "srv?q=1", "/", "http", 80},
    {"://srv/x", "srv", "/x", "", 80},
    {"http://srv://x/y", "srv", "//x/y", "http", 80},
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
    {"http://srv:81#top", 7},
    {"srv:81:82", 7},
    // Only a colon before the path names a port.
    {"http://8080/", 7},
    {"http://srv/page:2", 7},
    {"8080", 7},
};

TEST(UrlSplit, PortIsDecimalOrDefaultAndSaturatesWhenTooBig) {
  for (const TPortCase& c : PortCases) {
    SCOPED_TRACE(c.Input);
    EXPECT_EQ(ExtractUrlPort(QString::fromUtf8(c.Input), 7), c.Port);
  }
}

}  // namespace
