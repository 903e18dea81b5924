#include <gtest/gtest.h>

#include "common/Cp932.h"
#include "common/SjisConv.h"

namespace {

const QByteArray Geta = "\x81\xAC";  // U+3013 in CP932

class Utf8Reply : public testing::Test {
 protected:
  void SetUp() override { ResetShiftModes(); }
  void TearDown() override { ResetShiftModes(); }
};

struct TReplyCase {
  const char* Name;
  QByteArray Line;
  QByteArray Sjis;
};

TEST_F(Utf8Reply, ConvertsUtf8LinesToShiftJis) {
  const TReplyCase cases[] = {
      {"Japanese", "日本語", "\x93\xFA\x96\x7B\x8C\xEA"},
      {"mixed ASCII", "Registrant: 株式会社 (JP)",
       "Registrant: \x8A\x94\x8E\xAE\x89\xEF\x8E\xD0 (JP)"},
      {"JIS-mapped wave dash and minus", "10時〜18時 −5",
       "10\x8E\x9E\x81\x60"
       "18\x8E\x9E \x81\x7C"
       "5"},
      {"outside CP932", "café ©", "caf" + Geta + " " + Geta},
      {"emoji is one substitute", "ok 😀!", "ok " + Geta + "!"},
      {"4-byte kanji", "𠮷野家", Geta + "\x96\xEC\x89\xC6"},
      {"byte order mark dropped", "\xEF\xBB\xBF<p>日本</p>", "<p>\x93\xFA\x96\x7B</p>"},
      {"ends at the first zero byte", QByteArray("日本\0\xE8", 8), "\x93\xFA\x96\x7B"},
      {"control-Z does not end the check", "a\x1A日本", "a\x1A\x93\xFA\x96\x7B"},
      {"colour escape is no shift", "\x1B[1m日本\x1B[0m", "\x1B[1m\x93\xFA\x96\x7B\x1B[0m"},
      // Not UTF-8: detected and converted as before (Shift_JIS, EUC-JP).
      {"unfinished sequence", "日本\xE8\xAA", "日本\xE8\xAA"},
      {"surrogate", "a\xED\xA0\x80", "a\xED\xA0\x80"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", "\xF4\x90\x80\x80"},
      {"overlong three bytes", "\xE0\x80\xAF", "\xE0\x80\xAF"},
      {"overlong two bytes read as EUC-JP", "\xC1\xBF", "\x91\x5E"},
      {"shift escape keeps the old rules", "\x1B(B日本", "\x1B(B日本"},
      {"shift in keeps the old rules", "日本\x0F", "日本\x0F"},
  };
  for (const TReplyCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(ConvertToSjis(c.Line), c.Sjis);
  }
}

// EUC-JP and Shift_JIS that happen to be valid UTF-8 are read as UTF-8. No
// line of real Japanese prose does; a lone kanji or two, or a pair of
// half-width kana, with nothing else non-ASCII on the line can.
TEST_F(Utf8Reply, ValidUtf8WinsOverEucAndShiftJis) {
  const TReplyCase cases[] = {
      {"EUC-JP 与 (U+037F)", "\xCD\xBF", Geta},
      {"EUC-JP 張属 (U+0125 U+00B0)", "\xC4\xA5\xC2\xB0", Geta + "\x81\x8B"},
      {"Shift_JIS ﾌｫ (U+032B)", "\xCC\xAB", Geta},
      {"Shift_JIS 凜ア (U+A8C3 A)", "\xEA\xA3\x83\x41", Geta + "A"},
  };
  for (const TReplyCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(ConvertToSjis(c.Line), c.Sjis);
  }
}

struct TModeCase {
  const char* Name;
  QByteArray Shift;     // leaves a mode on
  QByteArray SevenBit;  // converted under that mode afterwards
  QByteArray Expected;
};

TEST_F(Utf8Reply, NeitherReadsNorChangesTheShiftFlags) {
  const TModeCase cases[] = {
      {"kanji mode", "\x1B$B", "0!", "\x88\x9F"},
      {"kana mode", "\x0E", "12", "\xB1\xB2"},
  };
  for (const TModeCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ResetShiftModes();
    ConvertToSjis(c.Shift);
    EXPECT_EQ(ConvertToSjis("0!12 日本"), "0!12 \x93\xFA\x96\x7B");
    EXPECT_EQ(ConvertToSjis(c.SevenBit), c.Expected);
  }
}

struct TCutCase {
  const char* Name;
  QByteArray Raw;
  qsizetype Limit;
  qsizetype Cut;
};

TEST_F(Utf8Reply, CutsBetweenUtf8Characters) {
  const QByteArray a(512, 'a');
  const QByteArray emoji = "😀";
  const TCutCase cases[] = {
      {"three bytes over the limit", a.left(511) + "日本", 512, 511},
      {"two bytes over the limit", a.left(510) + "日本", 512, 510},
      {"character ends at the limit", a.left(509) + "日本", 512, 512},
      {"four-byte characters", "a" + emoji.repeated(200), 512, 509},
      // As the line splitter sees it: the character's rest has not arrived.
      {"character still arriving", a.left(510) + "\xF0\x9F\x98", 512, 510},
      {"one character longer than the limit", "日本", 2, 2},
  };
  for (const TCutCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(LineCutLength(c.Raw, c.Limit), c.Cut);
  }
}

TEST_F(Utf8Reply, LongLineCutIntoPiecesConvertsAsAWhole) {
  const QString text = QString::fromUtf8("日本語のテキスト😀、café mixed ASCII ").repeated(60);
  const QByteArray expected = UnicodeToSjis(text, Geta);
  for (qsizetype limit : {512, 7, 4}) {
    SCOPED_TRACE(limit);
    QByteArray raw = text.toUtf8();
    QByteArray out;
    while (raw.size() > limit) {
      const qsizetype cut = LineCutLength(raw, limit);
      out += ConvertToSjis(raw.left(cut));
      raw.remove(0, cut);
    }
    EXPECT_EQ(out + ConvertToSjis(raw), expected);
  }
}

}  // namespace
