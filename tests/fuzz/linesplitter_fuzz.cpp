// The TCP tools' line splitter: block boundaries never change the lines.
#include <QList>

#include "FuzzCheck.h"
#include "workers/LineSplitter.h"

namespace {

QList<QByteArray> Split(QByteArrayView stream, quint32 seed) {
  QList<QByteArray> lines;
  TLineSplitter splitter([&](const QByteArray& line) { lines.append(line); });
  if (seed == 0) {
    splitter.Feed(stream);
  } else {
    // Block sizes from 0 to beyond MaxLine, so that pairs and long lines
    // are split too.
    qsizetype pos = 0;
    while (pos < stream.size()) {
      seed = seed * 1103515245u + 12345u;
      const qsizetype take = qMin<qsizetype>((seed >> 16) % 600, stream.size() - pos);
      splitter.Feed(stream.sliced(pos, take));
      pos += take;
    }
  }
  splitter.Finish();
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const quint32 seed = quint32(data[0]) | quint32(data[1]) << 8 | 1u;
  const QByteArrayView stream(data + 2, qsizetype(size - 2));

  const QList<QByteArray> whole = Split(stream, 0);
  CHECK(Split(stream, seed) == whole);

  QByteArray joined;
  for (const QByteArray& line : whole) {
    CHECK(line.size() <= TLineSplitter::MaxLine);
    joined += line;
  }
  QByteArray expected;
  for (char c : stream)
    if (c != '\0' && c != '\r' && c != '\n') expected += c;
  CHECK(joined == expected);
  return 0;
}
