#pragma once
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <deque>

#include "common/SjisLines.h"

// The output pane's text: lines of Shift_JIS bytes as they arrived, shown
// decoded. Positions count UTF-16 units of the decoded text, each line end
// counting one; lines are 0-based, and the empty line after the final line
// end is a line too (line LineCount(), which begins at Length()).
class TPaneText {
 public:
  void Append(QByteArrayView sjisLine);
  void RemoveLast();
  void Clear();

  qsizetype LineCount() const { return FLines.Count(); }
  bool IsEmpty() const { return FLines.IsEmpty(); }
  qint64 Length() const { return FLength; }
  const TSjisLines& SjisLines() const { return FLines; }
  QString Line(qsizetype line) const;
  // The most bytes a line has held since the text was last cleared.
  qsizetype WidestLine() const { return FWidest; }

  // The first position of line; Length() for the empty line after the end.
  qint64 LineStart(qsizetype line) const;
  // The line that holds pos (clamped to 0..Length()).
  qsizetype LineOf(qint64 pos) const;
  // The decoded text between two positions, line ends as '\n'.
  QString Text(qint64 from, qint64 to) const;

  // Start of the first match of text that begins at from or later and ends
  // by to, or -1. Whole word: not preceded or followed by a word character.
  qint64 Find(const QString& text, qint64 from, qint64 to, bool matchCase, bool wholeWord) const;
  // Start of the last match that begins at last or before, or -1.
  qint64 FindBackward(const QString& text, qint64 last, bool matchCase, bool wholeWord) const;

 private:
  struct TNeedle;
  // Matches of the needle whose key part lies on line keyLine, in order.
  QList<qint64> MatchesAround(const TNeedle& needle, qsizetype keyLine) const;
  // Lines [first, end) whose bytes hold the needle's key, in order.
  QList<qsizetype> KeyLines(const TNeedle& needle, qsizetype first, qsizetype end) const;

  TSjisLines FLines;
  std::deque<qint64> FStarts;  // the first position of each line
  qint64 FLength = 0;
  qsizetype FWidest = 0;
};
