#include <gtest/gtest.h>

#include <QList>

#include "common/SjisConv.h"
#include "workers/LineSplitter.h"

namespace {
QList<QByteArray> Split(const QList<QByteArray>& blocks, bool finish = true) {
  QList<QByteArray> lines;
  TLineSplitter splitter([&](const QByteArray& line) { lines.append(line); });
  for (const QByteArray& b : blocks) splitter.Feed(b);
  if (finish) splitter.Finish();
  return lines;
}

struct TLineCase {
  const char* Name;
  QByteArray Reply;
  QList<QByteArray> Lines;
};

void PrintTo(const TLineCase& c, std::ostream* os) { *os << c.Name; }

class LineEnds : public ::testing::TestWithParam<TLineCase> {};

TEST_P(LineEnds, SameLinesWhereverTheStreamIsCut) {
  const TLineCase& c = GetParam();
  EXPECT_EQ(Split({c.Reply}), c.Lines) << "whole";
  // Cutting the stream into two blocks at any point changes nothing.
  for (qsizetype cut = 1; cut < c.Reply.size(); ++cut)
    EXPECT_EQ(Split({c.Reply.left(cut), c.Reply.mid(cut)}), c.Lines) << "cut at " << cut;
  // Nor does one byte per block.
  QList<QByteArray> bytes;
  for (char ch : c.Reply) bytes.append(QByteArray(1, ch));
  EXPECT_EQ(Split(bytes), c.Lines) << "byte by byte";
}

INSTANTIATE_TEST_SUITE_P(
    Replies, LineEnds,
    ::testing::Values(
        TLineCase{"LfLfIsOneLineEnd", "A\n\nB\n", {"A", "B"}},
        TLineCase{"CrLfCrLfGivesOneBlankLine", "A\r\n\r\nB\r\n", {"A", "", "B"}},
        TLineCase{"LfCrAndCrCrPair", "A\n\rB\r\rC\r", {"A", "B", "C"}},
        TLineCase{"ThreeLineEndBytes", "A\r\n\nB\n", {"A", "", "B"}},
        TLineCase{"LastLineWithoutEnd", "A\r\nlast", {"A", "last"}},
        TLineCase{"ZeroByteDoesNotSwallowTheBlock", QByteArray("A\0B\r\nC\r\n", 8), {"AB", "C"}},
        TLineCase{"EmptyReply", "", {}}, TLineCase{"OnlyLineEnds", "\r\n\r\n\r\n", {"", "", ""}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(LineSplitter, LastLineWaitsForTheEndOfTheStream) {
  EXPECT_EQ(Split({"A\r\npartial"}, false), QList<QByteArray>{"A"});
}

TEST(LineSplitter, LongAsciiLineIsCutIntoPiecesWithNothingLost) {
  const QByteArray line(1200, 'x');
  const QList<QByteArray> lines = Split({line + "\r\nnext\r\n"});
  ASSERT_EQ(lines.size(), 4);
  EXPECT_EQ(lines[0].size(), 512);
  EXPECT_EQ(lines[1].size(), 512);
  EXPECT_EQ(lines[0] + lines[1] + lines[2], line);
  EXPECT_EQ(lines[3], "next");
}

TEST(LineSplitter, LongShiftJisLineIsNotCutInsideACharacter) {
  ResetShiftModes();
  // 511 ASCII bytes, then double-byte characters: the one at 511..512 must
  // move whole to the next piece.
  QByteArray line(511, 'a');
  for (int i = 0; i < 10; ++i) line += "\x93\xfa";  // 日 in Shift_JIS
  const QList<QByteArray> lines = Split({line + "\r\n"});
  ASSERT_EQ(lines.size(), 2);
  EXPECT_EQ(lines[0].size(), 511);
  EXPECT_EQ(lines[0] + lines[1], line);
  EXPECT_TRUE(lines[1].startsWith("\x93\xfa"));
}

// Whether the byte after the limit is a lead or a trail byte, the pieces are
// cut between pairs, and converted they join to the converted whole line.
TEST(LineSplitter, LongEucLineIsCutBetweenPairs) {
  const struct {
    QByteArray Head;
    int FirstPiece;
  } cases[] = {{"a", 511}, {"", 512}, {"ab", 512}};
  for (const auto& c : cases) {
    ResetShiftModes();
    const QByteArray line = c.Head + QByteArray("\xa4\xea").repeated(300);  // り in EUC-JP
    const QList<QByteArray> lines = Split({line + "\n"});
    ASSERT_EQ(lines.size(), 2) << c.Head.constData();
    EXPECT_EQ(lines[0].size(), c.FirstPiece) << c.Head.constData();
    EXPECT_EQ(lines[0] + lines[1], line);
    EXPECT_EQ(ConvertToSjis(lines[0]) + ConvertToSjis(lines[1]), ConvertToSjis(line))
        << c.Head.constData();
  }
}
}  // namespace
