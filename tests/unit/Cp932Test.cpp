#include <gtest/gtest.h>

#include <QStringList>
#include <thread>
#include <vector>

#include "common/Cp932.h"

namespace {

QByteArray Bytes(const char* bytes) { return QByteArray(bytes); }

QString Utf8(const char* text) { return QString::fromUtf8(text); }

struct TKnownText {
  const char* Utf8;
  const char* Sjis;
};

// Byte values as Windows code page 932 gives them.
const TKnownText KnownTexts[] = {
    {"ＭＳ Ｐゴシック", "\x82\x6C\x82\x72\x20\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E"},
    {"ﾃｷｽﾄﾌｧｲﾙ (*.txt)", "\xC3\xB7\xBD\xC4\xCC\xA7\xB2\xD9 (*.txt)"},
    {"①Ⅱ㈱", "\x87\x40\x87\x55\x87\x8A"},  // NEC special characters
    {"ⅰ纊", "\xFA\x40\xFA\x5C"},           // IBM extensions
    {"表示", "\x95\x5C\x8E\xA6"},          // trail byte 0x5C ('\')
    {"接続できません", "\x90\xDA\x91\xB1\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1"},
    {"a\\b~c", "a\\b~c"},
    {"", ""},
};

TEST(Cp932, EncodesAndDecodesKnownTexts) {
  for (const TKnownText& t : KnownTexts) {
    SCOPED_TRACE(t.Utf8);
    EXPECT_EQ(UnicodeToSjis(Utf8(t.Utf8)), Bytes(t.Sjis));
    EXPECT_EQ(SjisToUnicode(Bytes(t.Sjis)), Utf8(t.Utf8));
  }
}

struct TBadBytes {
  const char* Name;
  QByteArray Sjis;
  const char* Utf8;
};

// A bad byte becomes a character of its own (U+F700 + byte), and decoding
// goes on after it.
TEST(Cp932, EachInvalidByteBecomesItsOwnCharacterAndDecodingGoesOn) {
  const TBadBytes cases[] = {
      {"undefined single bytes", "\x80\xA0\xFD\xFE\xFF", "\uF780\uF7A0\uF7FD\uF7FE\uF7FF"},
      {"between ASCII", "a\x80z", "a\uF780z"},
      {"lead byte at the end", "ab\x82", "ab\uF782"},
      {"lead byte before LF", "\x82\nx", "\uF782\nx"},
      {"lead byte before CR LF", "\x82\r\n", "\uF782\r\n"},
      {"trail byte out of range",
       "\x81\x7F"
       "a",
       "\uF781\x7F"
       "a"},
      {"valid pair after a bad byte", "\x80\x82\xA0", "\uF780あ"},
  };
  for (const TBadBytes& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(SjisToUnicode(c.Sjis), Utf8(c.Utf8));
  }
}

// What the pane holds is saved as the bytes that came in, whatever they
// were: every byte value alone, after a lead byte, and before a trail byte.
// (CP932 spells a few characters twice; the rows of lead bytes 0xED and 0xEE
// come back in their other spelling, 0xFA to 0xFC.) A line of the pane
// keeps its CR and LF bytes as characters of the line.
TEST(Cp932, DecodingAndEncodingGiveEveryByteBack) {
  for (int b = 0; b < 256; ++b) {
    if (b == 0xED || b == 0xEE) continue;
    for (const QByteArray& bytes :
         {QByteArray(1, char(b)), QByteArray("x\x82") + char(b) + "y", char(b) + QByteArray("\xA0"),
          QByteArray("\x81") + char(b) + char(b)}) {
      const QString line = SjisLineToUnicode(bytes);
      EXPECT_EQ(UnicodeToSjis(line), bytes) << b;
      EXPECT_FALSE(line.contains(u'\r') || line.contains(u'\n')) << b;
      if (b != '\r' && b != '\n') EXPECT_EQ(UnicodeToSjis(SjisToUnicode(bytes)), bytes) << b;
    }
  }
}

TEST(Cp932, UnmappableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(UnicodeToSjis(QStringView(u"a€b")), QByteArray("a?b"));
  // A character outside the BMP is one '?', not one per surrogate.
  EXPECT_EQ(UnicodeToSjis(QStringView(u"x\U0001F600y")), QByteArray("x?y"));
  const QString loneHigh(QChar(char16_t(0xD800)));
  EXPECT_EQ(UnicodeToSjis(Utf8("あ") + loneHigh + Utf8("a")), QByteArray("\x82\xA0?a"));
  EXPECT_EQ(UnicodeToSjis(Utf8("あ") + loneHigh), QByteArray("\x82\xA0?"));
}

QString MixedBatch(int lines) {
  QStringList all;
  for (int i = 0; i < lines; ++i)
    all << QStringLiteral(u"%1: ＭＳ Ｐゴシック ｱｲｳ ① plain ascii text\r").arg(i);
  return all.join(u'\n');
}

TEST(Cp932, DecodesALargeMixedBatchInOneCall) {
  const QString text = MixedBatch(20000);
  const QByteArray sjis = UnicodeToSjis(text);
  const QString decoded = SjisToUnicode(sjis);
  EXPECT_EQ(decoded.size(), text.size());
  EXPECT_EQ(decoded, text);
  EXPECT_EQ(decoded.count(u'\n'), 19999);
}

TEST(Cp932, ThreadsConvertIndependently) {
  const QString text = MixedBatch(500);
  const QByteArray sjis = UnicodeToSjis(text);
  std::vector<int> mismatches(4, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 20; ++i) {
        // An invalid byte now and then must not disturb the next call.
        SjisToUnicode(QByteArray("\x82\x80\xFF"));
        if (SjisToUnicode(sjis) != text || UnicodeToSjis(text) != sjis) ++mismatches[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

}  // namespace
