// The CP932 codec: decoding is lossless, encoding takes anything.
#include <cstdio>
#include <cstdlib>

#include "common/Cp932.h"

#define CHECK(c)                                                          \
  do {                                                                    \
    if (!(c)) {                                                           \
      std::fprintf(stderr, "check failed: %s (line %d)\n", #c, __LINE__); \
      std::abort();                                                       \
    }                                                                     \
  } while (0)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArrayView bytes(data, qsizetype(size));

  const QString text = SjisToUnicode(bytes);
  CHECK(text.size() <= bytes.size());
  // CP932 spells some characters twice and encodes them to one code: the
  // NEC-selected IBM rows (leads 0xED, 0xEE) to 0xFA..0xFC, some of 0xFA and
  // of the NEC row 0x87 to earlier codes (0xFA58 -> 0x878A). A moved code may
  // pair with a raw byte before it (0xEE 0xED 0xEF comes back as 0xEE 0xFB ..,
  // which is a character), so without 0xED, 0xEE the text comes back, and
  // without 0xFA, 0x87 as well the bytes.
  if (!bytes.contains(char(0xED)) && !bytes.contains(char(0xEE))) {
    const QByteArray encoded = UnicodeToSjis(text);
    CHECK(SjisToUnicode(encoded) == text);
    if (!bytes.contains(char(0xFA)) && !bytes.contains(char(0x87))) CHECK(encoded == bytes);
  }

  // Any UTF-16, broken surrogates included: one or two bytes per unit.
  const QStringView utf16(reinterpret_cast<const char16_t*>(data), qsizetype(size / 2));
  const QByteArray encoded = UnicodeToSjis(utf16);
  CHECK(encoded.size() <= 2 * utf16.size());
  CHECK(utf16.isEmpty() || !encoded.isEmpty());
  return 0;
}
