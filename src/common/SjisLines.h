#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <deque>
#include <initializer_list>
#include <memory>
#include <vector>

class QIODevice;

// Lines of Shift_JIS bytes exactly as they arrived, kept lean: the bytes back
// to back in large blocks and eight bytes of index a line, so that a report
// of a million lines costs little more than its text. Lines are taken back
// only from the end, as the trace-route workers do.
class TSjisLines {
 public:
  TSjisLines() = default;
  // One line an entry (the query log's tests and callers hand lists).
  TSjisLines(const QList<QByteArray>& lines);  // NOLINT: a list is lines
  TSjisLines(std::initializer_list<QByteArrayView> lines);

  void Append(QByteArrayView line);
  void RemoveLast();
  void Clear();

  qsizetype Count() const { return qsizetype(FIndex.size()); }
  bool IsEmpty() const { return FIndex.empty(); }
  QByteArrayView Line(qsizetype i) const;
  QByteArrayView Last() const { return Line(Count() - 1); }

  // Lines first.. up to the end of first's block lie back to back: their
  // bytes, and in count how many lines they are.
  QByteArrayView Run(qsizetype first, qsizetype* count) const;
  // The line of a run (as Run gave it) that holds the run's byte at.
  qsizetype LineOfRunByte(qsizetype first, qsizetype count, qsizetype at) const;

  // Writes lines from.. each ended by CR LF, in pieces; false when the
  // device took less than it was given.
  bool WriteTo(QIODevice& out, qsizetype from = 0) const;

 private:
  struct TBlock {
    std::unique_ptr<char[]> Data;
    quint32 Used = 0;
    quint32 Capacity = 0;
  };
  struct TRef {
    quint32 Block;
    quint32 Offset;
  };
  char* Room(qsizetype size);
  qsizetype EndOf(qsizetype i) const;

  std::vector<TBlock> FBlocks;
  std::deque<TRef> FIndex;
};
