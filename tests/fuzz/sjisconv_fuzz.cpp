// Received lines in any code: detection, conversion and the byte cuts.

#include "FuzzCheck.h"
#include "common/Common.h"
#include "common/SjisConv.h"

namespace {

bool IsLead(char b) {
  const uchar u = uchar(b);
  return (u >= 0x81 && u <= 0x9F) || (u >= 0xE0 && u <= 0xFC);
}

void CheckSjisCut(const QByteArray& line, qsizetype limit) {
  const qsizetype n = SjisCutLength(line, limit);
  CHECK(n >= 0 && n <= qMax<qsizetype>(limit, 0) && n <= line.size());
  CHECK(SjisLeft(line, limit) == line.left(n));
  if (limit <= 0 || line.size() <= limit) {
    CHECK(n == qMin(qMax<qsizetype>(limit, 0), line.size()));
    return;
  }
  // Walking by lead bytes lands exactly on the cut, and the next character
  // would not have fitted.
  qsizetype pos = 0;
  while (pos < n) pos += IsLead(line[pos]) ? 2 : 1;
  CHECK(pos == n);
  CHECK(n + (IsLead(line[n]) ? 2 : 1) > limit);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray line(reinterpret_cast<const char*>(data), qsizetype(size));
  ResetShiftModes();

  const TCodeKind kind = DetectCode(line);
  CHECK(kind == JisCode || kind == EucCode || kind == SjisCode);

  const qsizetype n = line.size();
  for (qsizetype limit : {qsizetype(1), qsizetype(2), qsizetype(3), n / 2, n - 1}) {
    if (limit < 1 || limit >= n) continue;
    const qsizetype cut = LineCutLength(line, limit);
    CHECK(cut >= 1 && cut <= limit);
  }
  for (qsizetype limit :
       {qsizetype(-1), qsizetype(0), qsizetype(1), qsizetype(2), n / 2, n - 1, n, n + 1})
    CheckSjisCut(line, limit);

  const QByteArray out = ConvertToSjis(line);
  CHECK(!out.contains('\0'));
  return 0;
}
