#include "common/SjisLines.h"

#include <QIODevice>
#include <algorithm>

namespace {
// Blocks grow from a page to a megabyte: a short run stays small, a long one
// has few blocks. A longer line gets a block of its own size.
constexpr qsizetype FirstBlock = 4096;
constexpr qsizetype LargestBlock = 1 << 20;
// Writing goes out in pieces of about this size.
constexpr qsizetype WritePiece = 1 << 16;
}  // namespace

TSjisLines::TSjisLines(const QList<QByteArray>& lines) {
  for (const QByteArray& line : lines) Append(line);
}

TSjisLines::TSjisLines(std::initializer_list<QByteArrayView> lines) {
  for (QByteArrayView line : lines) Append(line);
}

char* TSjisLines::Room(qsizetype size) {
  if (FBlocks.empty() || FBlocks.back().Capacity - FBlocks.back().Used < size) {
    const qsizetype grown = FBlocks.empty() ? FirstBlock : 2 * qsizetype(FBlocks.back().Capacity);
    TBlock block;
    block.Capacity = quint32(std::max(size, std::min(grown, LargestBlock)));
    block.Data.reset(new char[block.Capacity]);
    FBlocks.push_back(std::move(block));
  }
  TBlock& block = FBlocks.back();
  FIndex.push_back({quint32(FBlocks.size() - 1), block.Used});
  block.Used += quint32(size);
  return block.Data.get() + FIndex.back().Offset;
}

void TSjisLines::Append(QByteArrayView line) {
  std::copy(line.begin(), line.end(), Room(line.size()));
}

void TSjisLines::RemoveLast() {
  if (FIndex.empty()) return;
  const TRef last = FIndex.back();
  FIndex.pop_back();
  FBlocks[last.Block].Used = last.Offset;
  if (last.Offset == 0) FBlocks.pop_back();
}

void TSjisLines::Clear() {
  FIndex = std::deque<TRef>();
  FBlocks = std::vector<TBlock>();
}

// Where line i ends: where the next line of its block begins, or where the
// block's bytes end.
qsizetype TSjisLines::EndOf(qsizetype i) const {
  const TRef ref = FIndex[size_t(i)];
  if (i + 1 < Count() && FIndex[size_t(i + 1)].Block == ref.Block)
    return FIndex[size_t(i + 1)].Offset;
  return FBlocks[ref.Block].Used;
}

QByteArrayView TSjisLines::Line(qsizetype i) const {
  if (i < 0 || i >= Count()) return {};
  const TRef ref = FIndex[size_t(i)];
  return {FBlocks[ref.Block].Data.get() + ref.Offset, EndOf(i) - ref.Offset};
}

QByteArrayView TSjisLines::Run(qsizetype first, qsizetype* count) const {
  *count = 0;
  if (first < 0 || first >= Count()) return {};
  const TRef ref = FIndex[size_t(first)];
  const TBlock& block = FBlocks[ref.Block];
  // The block's last line is the one before the next block's first.
  const auto next = std::upper_bound(FIndex.begin() + first, FIndex.end(), ref.Block,
                                     [](quint32 b, const TRef& r) { return b < r.Block; });
  *count = (next - FIndex.begin()) - first;
  return {block.Data.get() + ref.Offset, qsizetype(block.Used - ref.Offset)};
}

qsizetype TSjisLines::LineOfRunByte(qsizetype first, qsizetype count, qsizetype at) const {
  const quint32 offset = FIndex[size_t(first)].Offset + quint32(at);
  const auto begin = FIndex.begin() + first;
  const auto after = std::upper_bound(begin, begin + count, offset,
                                      [](quint32 o, const TRef& r) { return o < r.Offset; });
  return (after - FIndex.begin()) - 1;
}

bool TSjisLines::WriteTo(QIODevice& out, qsizetype from) const {
  QByteArray piece;
  piece.reserve(WritePiece + 2);
  const auto flush = [&] {
    const bool whole = out.write(piece) == piece.size();
    piece.clear();
    return whole;
  };
  for (qsizetype i = std::max<qsizetype>(from, 0); i < Count(); ++i) {
    const QByteArrayView line = Line(i);
    if (piece.size() + line.size() > WritePiece && !piece.isEmpty() && !flush()) return false;
    piece.append(line).append("\r\n");
  }
  return piece.isEmpty() || flush();
}
