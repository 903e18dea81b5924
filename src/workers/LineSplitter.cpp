#include "workers/LineSplitter.h"

#include "common/SjisConv.h"

namespace {
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }
}  // namespace

void TLineSplitter::Feed(QByteArrayView block) {
  for (char c : block) {
    if (c == '\0') continue;
    if (FPairPending) {
      FPairPending = false;
      if (IsLineEnd(c)) continue;
    }
    if (IsLineEnd(c)) {
      EndLine();
      FPairPending = true;
    } else {
      AddByte(c);
    }
  }
}

void TLineSplitter::Finish() {
  if (!FLine.isEmpty()) EndLine();
  FPairPending = false;
}

// The line goes on as a copy of its own size: lines wait in the worker's
// queue by the thousand, and each would keep the whole reserve.
void TLineSplitter::EndLine() {
  const QByteArray line(FLine.constData(), FLine.size());
  FLine.truncate(0);
  FEmit(line);
}

void TLineSplitter::AddByte(char c) {
  FLine.append(c);
  if (FLine.size() <= MaxLine) return;
  // Pass on what fits, cut where no character is split; the rest starts
  // the next piece.
  const qsizetype cut = LineCutLength(FLine, MaxLine);
  QByteArray rest = FLine.mid(cut);
  FLine.truncate(cut);
  EndLine();
  FLine = std::move(rest);
}
