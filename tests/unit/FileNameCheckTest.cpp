#include <gtest/gtest.h>

#include "common/Cp932.h"
#include "common/FileNameCheck.h"

namespace {

using F = TFileNameFault;

struct TByteCase {
  const char* Label;
  QByteArray Sjis;
  TFileNameFault Fault;
};

// Names as the log stores them, in Shift_JIS.
const TByteCase ByteCases[] = {
    {"plain", "query.log", F::None},
    {"empty", "", F::None},
    {"hidden file", ".log", F::None},
    {"dots inside", "a..b", F::None},
    {"three dots", "...", F::None},
    {"blank", "my log", F::None},
    {"half-width kana", "\xCB\xDE\xDD", F::None},
    {"hyou: trail byte 0x5C", "\x95\x5C.log", F::None},
    {"so: trail byte 0x5C", "\x83\x5C\x83\x74\x83\x67", F::None},
    {"trail byte 0x7C", "\x83\x7C", F::None},
    {"backslash", "a\\b", F::ForbiddenChar},
    {"backslash after a double-byte char", "\x95\x5C\\x", F::ForbiddenChar},
    {"slash", "../x", F::ForbiddenChar},
    {"absolute", "/tmp/x", F::ForbiddenChar},
    {"colon", "a:b.txt", F::ForbiddenChar},
    {"comma", "a,b", F::ForbiddenChar},
    {"semicolon", "a;b", F::ForbiddenChar},
    {"asterisk", "*.log", F::ForbiddenChar},
    {"question mark", "a?", F::ForbiddenChar},
    {"double quote", "\"a\"", F::ForbiddenChar},
    {"less-than", "<a", F::ForbiddenChar},
    {"greater-than", "a>", F::ForbiddenChar},
    {"vertical bar", "a|b", F::ForbiddenChar},
    {"tab", "a\tb", F::ControlChar},
    {"line feed", "a\nb", F::ControlChar},
    {"DEL", "a\x7F", F::ControlChar},
    {"zero byte", QByteArray("a\0b", 3), F::ControlChar},
    {"dot", ".", F::DotName},
    {"dot dot", "..", F::DotName},
    {"lone lead byte at the end", "a\x95", F::NotSjis},
    // A lead byte that has no valid trail must not hide the separator after it.
    {"lead byte before a slash", "\x95/x", F::ForbiddenChar},
    {"unassigned double-byte code", "\x85\x40", F::NotSjis},
};

TEST(FileNameCheck, JudgesShiftJisNamesByCharacters) {
  for (const TByteCase& c : ByteCases) {
    EXPECT_EQ(FileNameFault(QByteArrayView(c.Sjis)), c.Fault) << c.Label;
    EXPECT_EQ(FileNameCheck(c.Sjis), c.Fault == F::None) << c.Label;
  }
}

TEST(FileNameCheck, NamesAsTypedAgreeWithTheirShiftJisBytes) {
  for (const TByteCase& c : ByteCases) {
    const QString typed = SjisToUnicode(c.Sjis);
    EXPECT_EQ(FileNameFault(QStringView(typed)), c.Fault) << c.Label;
  }
}

TEST(FileNameCheck, CharactersShiftJisCannotSpellAreRefused) {
  // The codec would write '?' for them, which is no name the user typed.
  EXPECT_EQ(FileNameFault(QStringView(u"r\u00E9sum\u00E9")), F::NotSjis);
  EXPECT_EQ(FileNameFault(QStringView(u"log\U0001F600")), F::NotSjis);
  EXPECT_EQ(FileNameFault(QStringView(u"\u8868\u793A\u30ED\u30B0")), F::None);  // 表示ログ
}

TEST(FileNameCheck, CutsAt64BytesOnACharacterBoundary) {
  const QString ascii70(70, QChar('a'));
  EXPECT_EQ(SjisCutText(ascii70), ascii70.left(64));
  EXPECT_EQ(UnicodeToSjis(SjisCutText(ascii70)).size(), 64);

  // 63 ASCII bytes and a double-byte character: the character does not fit.
  const QString split = QString(63, QChar('a')) + QString::fromUtf8("表x");
  EXPECT_EQ(SjisCutText(split), QString(63, QChar('a')));

  // 32 double-byte characters fill 64 bytes exactly.
  const QString kanji = QString(33, QChar(0x8868));
  EXPECT_EQ(SjisCutText(kanji), QString(32, QChar(0x8868)));

  EXPECT_EQ(SjisCutText(u"short.log"), QString("short.log"));
  EXPECT_EQ(SjisCutText(u""), QString());
  // A name that fits is kept as typed, even with characters the check refuses.
  EXPECT_EQ(SjisCutText(u"r\u00E9"), QStringView(u"r\u00E9").toString());
}

}  // namespace
