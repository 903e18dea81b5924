#include "common/PaneText.h"

#include <algorithm>

#include "common/Cp932.h"

namespace {
bool IsAscii(QByteArrayView bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](char b) { return uchar(b) < 0x80; });
}
}  // namespace

void TPaneText::Append(QByteArrayView sjisLine) {
  // Every CP932 character is one UTF-16 unit; only a line outside ASCII
  // needs decoding to count them.
  const qsizetype units = IsAscii(sjisLine) ? sjisLine.size() : SjisLineToUnicode(sjisLine).size();
  FLines.Append(sjisLine);
  FStarts.push_back(FLength);
  FLength += units + 1;
  FWidest = std::max(FWidest, sjisLine.size());
}

void TPaneText::RemoveLast() {
  if (IsEmpty()) return;
  FLines.RemoveLast();
  FLength = FStarts.back();
  FStarts.pop_back();
}

void TPaneText::Clear() {
  FLines.Clear();
  FStarts = std::deque<qint64>();
  FLength = 0;
  FWidest = 0;
}

QString TPaneText::Line(qsizetype line) const { return SjisLineToUnicode(FLines.Line(line)); }

qint64 TPaneText::LineStart(qsizetype line) const {
  return line < LineCount() ? FStarts[size_t(std::max<qsizetype>(line, 0))] : FLength;
}

qsizetype TPaneText::LineOf(qint64 pos) const {
  if (pos >= FLength) return LineCount();
  const auto after = std::upper_bound(FStarts.begin(), FStarts.end(), pos);
  return std::max<qsizetype>((after - FStarts.begin()) - 1, 0);
}

QString TPaneText::Text(qint64 from, qint64 to) const {
  from = std::clamp<qint64>(from, 0, FLength);
  to = std::clamp<qint64>(to, from, FLength);
  QString text;
  text.reserve(to - from);
  for (qsizetype line = LineOf(from); line < LineCount() && LineStart(line) < to; ++line) {
    const qint64 start = LineStart(line);
    const QString whole = Line(line) + u'\n';
    const qint64 begin = std::max(from, start) - start;
    text += QStringView(whole).sliced(begin, std::min(to - start, qint64(whole.size())) - begin);
  }
  return text;
}
