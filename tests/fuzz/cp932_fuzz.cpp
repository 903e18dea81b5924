// The CP932 codec: decoding is lossless, encoding takes anything.
#include <algorithm>

#include "FuzzCheck.h"
#include "common/Cp932.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArrayView bytes(data, qsizetype(size));

  const QString text = SjisToUnicode(bytes);
  CHECK(text.size() <= bytes.size());
  // Text of real characters comes back as the same text. The bytes come back
  // exactly unless CP932 spells a character twice: the NEC-selected IBM rows
  // (leads 0xED, 0xEE) go to 0xFA..0xFC and parts of 0xFA..0xFC to the NEC
  // row 0x87 (0xFA58 -> 0x878A), and a moved code may even pair with a raw
  // byte before it.
  const QByteArray encoded = UnicodeToSjis(text);
  if (!HoldsRawBytes(text)) CHECK(SjisToUnicode(encoded) == text);
  const bool spelledTwice = std::any_of(bytes.begin(), bytes.end(), [](char c) {
    const uchar b = uchar(c);
    return b == 0xED || b == 0xEE || b == 0x87 || (b >= 0xFA && b <= 0xFC);
  });
  if (!spelledTwice) CHECK(encoded == bytes);

  // A pane line is one line whatever its bytes, and comes back the same.
  const QString line = SjisLineToUnicode(bytes);
  CHECK(!line.contains(u'\r') && !line.contains(u'\n'));
  if (!spelledTwice) CHECK(UnicodeToSjis(line) == bytes);

  // Any UTF-16, broken surrogates included: one or two bytes per unit.
  const QStringView utf16(reinterpret_cast<const char16_t*>(data), qsizetype(size / 2));
  const QByteArray fromUtf16 = UnicodeToSjis(utf16);
  CHECK(fromUtf16.size() <= 2 * utf16.size());
  CHECK(utf16.isEmpty() || !fromUtf16.isEmpty());
  return 0;
}
