#include <gtest/gtest.h>
#include <iconv.h>

#include "common/Common.h"
#include "common/Cp932.h"
#include "common/SjisConv.h"

namespace {

// An independent reference: glibc's own ISO-2022-JP and EUC-JP tables.
QByteArray Recode(const char* to, const char* from, const QByteArray& in) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return QByteArray();
  QByteArray out(in.size() * 4 + 16, '\0');
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = size_t(in.size());
  char* dst = out.data();
  size_t dstLeft = size_t(out.size());
  iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  iconv(cd, nullptr, nullptr, &dst, &dstLeft);  // back to ASCII at the end
  iconv_close(cd);
  out.truncate(dst - out.data());
  return out;
}

QByteArray Sjis(const char* utf8) { return UnicodeToSjis(QString::fromUtf8(utf8)); }

class SjisConv : public testing::Test {
 protected:
  void SetUp() override { ResetShiftModes(); }
  void TearDown() override { ResetShiftModes(); }
};

struct TDetectCase {
  const char* Name;
  QByteArray Line;
  TCodeKind Kind;
};

TEST_F(SjisConv, DetectsTheCodeOfALine) {
  const TDetectCase cases[] = {
      {"empty", "", JisCode},
      {"7-bit with escapes", "\x1B$B0!\x1B(B", JisCode},
      {"EUC pair", "abc\xB0\xA1", EucCode},
      {"EUC pair with ASCII partner",
       "\xB0"
       "A",
       EucCode},
      {"EUC single shift kana", "\x8E\xB1\x8E\xB2", EucCode},
      {"kana after the last single shift", "\x8E\xB1\xA4\xA2", EucCode},
      {"Shift_JIS lead byte", "\x88\x9F", SjisCode},
      {"high byte without partner", "abc\xB0", SjisCode},
      {"pair then a lone single shift", "\xB0\xA1\x8E", SjisCode},
      {"single shift without kana", "\x8E\xE0\xA1\xA1", SjisCode},
      {"scan stops at CR", "\xB0\r\xA1", SjisCode},
      {"scan stops at control-Z", "abc\x1A\x88\x9F", JisCode},
      {"scan stops at LF", "\xB0\xA1\n\x88", EucCode},
  };
  for (const TDetectCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(DetectCode(c.Line), c.Kind);
  }
}

struct TConvertCase {
  const char* Name;
  QByteArray Line;
  QByteArray Sjis;
};

TEST_F(SjisConv, ConvertsSingleLines) {
  const TConvertCase cases[] = {
      {"empty", "", ""},
      {"plain ASCII", "Login: guest", "Login: guest"},
      {"JIS kanji", "\x1B$B0!\x1B(B", "\x88\x9F"},
      {"JIS old kanji set", "a\x1B$@0!\x1B(Jb",
       "a\x88\x9F"
       "b"},
      {"SO kana SI",
       "\x0E"
       "1\x0F",
       "\xB1"},
      {"JIS kana escape", "\x1B(I12\x1B(B3",
       "\xB1\xB2"
       "3"},
      {"unknown escape stays", "\x1B$A0!", "\x1B$A0!"},
      {"ESC too near the end", "ab\x1B$", "ab\x1B$"},
      // A trail byte of exactly 0x7E: × (JIS 0x215F) is 0x81 0x7E.
      {"JIS trail byte 0x7E", "\x1B$B!_\x1B(B", "\x81\x7E"},
      {"EUC trail byte 0x7E", "\xA1\xDF", "\x81\x7E"},
      {"EUC kanji", "\xB0\xA1", "\x88\x9F"},
      {"EUC single shift kana", "\x8E\xB1", "\xB1"},
      {"EUC kana escape", "\xB0\xA1\x1B(I1\x1B(J2",
       "\x88\x9F\xB1"
       "2"},
      {"EUC stray byte loses its high bit", "\xA0\xB0\xA1\xA1", " \x88\x9F!"},
      // The code is told by the bytes before a ^Z; strays after it lose their
      // high bit. 0x8A becomes a line feed, and 0x80 goes instead of ending
      // the line.
      {"EUC strays after ^Z", "\xB0\xA1\x1A\x8A\x80z", "\x88\x9F\x1A\nz"},
      {"JIS strays after ^Z", "a\x1A\x8A\x80\x8Dz", "a\x1A\n\rz"},
      // A lead byte whose partner is no EUC byte makes no character: the
      // blank after it survives instead of turning into half a kanji.
      {"EUC lead before ASCII keeps the ASCII", "\xB0 a\xB0\xA1", "0 a\x88\x9F"},
      {"Shift_JIS unchanged", "abc\x88\x9F\xB0\xA1", "abc\x88\x9F\xB0\xA1"},
      {"lone high byte unchanged", "abc\xB0", "abc\xB0"},
      {"ends at the first zero byte", QByteArray("ab\0\x1B$B", 6), "ab"},
      // An odd byte before ESC ( B must not swallow the ESC.
      {"odd byte in kanji mode", "\x1B$B0!0\x1B(Bx",
       "\x88\x9F"
       "0x"},
  };
  for (const TConvertCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ResetShiftModes();
    EXPECT_EQ(ConvertToSjis(c.Line), c.Sjis);
  }
}

TEST_F(SjisConv, ConvertsJapaneseSentencesLikeTheReferenceTables) {
  const QByteArray utf8 = "日本語のテキスト「全角ＡＢＣ」、漢字とかな。 mixed ASCII 123";
  const QByteArray expected = Recode("CP932", "UTF-8", utf8);
  ASSERT_FALSE(expected.isEmpty());
  EXPECT_EQ(ConvertToSjis(Recode("ISO-2022-JP", "UTF-8", utf8)), expected);
  EXPECT_EQ(ConvertToSjis(Recode("EUC-JP", "UTF-8", utf8)), expected);
  EXPECT_EQ(ConvertToSjis(Recode("EUC-JP", "UTF-8", "ｱｲｳ ｶﾞ")),
            QByteArray("\xB1\xB2\xB3 \xB6\xDE"));
  EXPECT_EQ(ConvertToSjis(expected), expected);
}

TEST_F(SjisConv, KanjiModeLeftOnCarriesIntoTheNextLine) {
  EXPECT_EQ(ConvertToSjis("\x1B$B0!"), QByteArray("\x88\x9F"));
  EXPECT_EQ(ConvertToSjis("0!0\"\x1B(B abc"), QByteArray("\x88\x9F\x88\xA0 abc"));
  EXPECT_EQ(ConvertToSjis("0!"), QByteArray("0!"));
}

TEST_F(SjisConv, KanaModeLeftOnCarriesIntoTheNextLine) {
  EXPECT_EQ(ConvertToSjis("\x0E"
                          "1"),
            QByteArray("\xB1"));
  EXPECT_EQ(ConvertToSjis("2~"), QByteArray("\xB2~"));
  EXPECT_EQ(ConvertToSjis("\x0F"
                          "3"),
            QByteArray("3"));
}

// What the TCP worker does with a line longer than its buffer.
QByteArray CutAndConvert(QByteArray raw, qsizetype limit) {
  QByteArray out;
  while (raw.size() > limit) {
    const qsizetype cut = LineCutLength(raw, limit);
    EXPECT_GT(cut, 0);
    EXPECT_LE(cut, limit);
    out += ConvertToSjis(raw.left(cut));
    raw.remove(0, cut);
  }
  return out + ConvertToSjis(raw);
}

TEST_F(SjisConv, LongLinesCutIntoPiecesConvertAsAWhole) {
  const QByteArray utf8 = QByteArray("日本語のテキスト、漢字とかな mixed ASCII ").repeated(60);
  const QByteArray expected = Recode("CP932", "UTF-8", utf8);
  for (const char* code : {"ISO-2022-JP", "EUC-JP", "CP932"}) {
    SCOPED_TRACE(code);
    ResetShiftModes();
    const QByteArray raw = Recode(code, "UTF-8", utf8);
    EXPECT_EQ(CutAndConvert(raw, 512), expected);
    EXPECT_EQ(CutAndConvert(raw, 7), expected);
  }
}

struct TCutCase {
  const char* Name;
  QByteArray Raw;
  qsizetype Limit;
  qsizetype Cut;
};

TEST_F(SjisConv, CutsAtTheLastCharacterBoundary) {
  const QByteArray a511(511, 'a');
  const QByteArray a510(510, 'a');
  const TCutCase cases[] = {
      {"fits", "abc", 512, 3},
      {"ASCII", QByteArray(600, 'a'), 512, 512},
      {"Shift_JIS lead at the limit", a511 + Sjis("漢字"), 512, 511},
      {"Shift_JIS pair ends at the limit", a510 + Sjis("漢字"), 512, 512},
      {"Shift_JIS half-width kana is one byte", a511 + "\xB1\x88\x9F", 512, 512},
      {"EUC pairs at odd offsets", "a" + QByteArray("\xB0\xA1").repeated(300), 512, 511},
      {"EUC single shift kana", "a" + QByteArray("\x8E\xB1").repeated(300), 512, 511},
      {"JIS pairs after the escape", "\x1B$B" + QByteArray("0!").repeated(300), 512, 511},
      {"JIS escape over the limit", a510 + "\x1B(Babc", 512, 510},
      {"JIS kana mode goes by bytes", "\x1B(I" + QByteArray(600, '1'), 512, 512},
      {"JIS pairs stop at SI", "\x1B$B0!\x0F" + QByteArray(600, 'a'), 512, 512},
      {"first character longer than the limit", Sjis("漢字"), 1, 1},
      {"escape longer than the limit", "\x1B$B0!", 2, 2},
  };
  for (const TCutCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(LineCutLength(c.Raw, c.Limit), c.Cut);
  }
}

TEST_F(SjisConv, CutFollowsKanjiModeLeftByThePreviousLineWithoutChangingIt) {
  const QByteArray raw = " " + QByteArray(600, 'a');
  EXPECT_EQ(LineCutLength(raw, 512), 512);
  ConvertToSjis("\x1B$B");
  EXPECT_EQ(LineCutLength(raw, 512), 511);
  EXPECT_EQ(LineCutLength("\x1B(B" + raw, 512), 512);
  EXPECT_EQ(ConvertToSjis("0!"), QByteArray("\x88\x9F"));
}

struct TSjisLeftCase {
  QByteArray Sjis;
  qsizetype Limit;
  QByteArray Left;
};

TEST(SjisConvByteLimit, SjisLeftNeverSplitsADoubleByteCharacter) {
  const TSjisLeftCase cases[] = {
      {Sjis("ab漢字"), 3, "ab"},
      {Sjis("ab漢字"), 4, Sjis("ab漢")},
      {Sjis("ab漢字"), 64, Sjis("ab漢字")},
      {Sjis("ｱｲｳ"), 2, Sjis("ｱｲ")},
      {Sjis("表示"), 3, Sjis("表")},
      {Sjis("漢"), 1, ""},
      {"abc", 0, ""},
      {"abc", -1, ""},
  };
  for (const TSjisLeftCase& c : cases) {
    SCOPED_TRACE(c.Limit);
    EXPECT_EQ(SjisLeft(c.Sjis, c.Limit), c.Left);
  }
}

}  // namespace
