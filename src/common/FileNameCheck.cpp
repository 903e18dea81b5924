#include "common/FileNameCheck.h"

#include <string_view>

#include "common/Common.h"
#include "common/Cp932.h"

namespace {

bool IsForbiddenChar(QChar c) {
  return std::u16string_view(ForbiddenNameChars).find(c.unicode()) != std::u16string_view::npos;
}

bool IsControlChar(QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; }

bool IsDotName(QStringView name) { return name == u"." || name == u".."; }

// The first fault among the characters of a decoded name.
TFileNameFault CharFault(QStringView name) {
  for (QChar c : name) {
    if (IsForbiddenChar(c)) return TFileNameFault::ForbiddenChar;
    if (IsControlChar(c)) return TFileNameFault::ControlChar;
  }
  return IsDotName(name) ? TFileNameFault::DotName : TFileNameFault::None;
}

}  // namespace

TFileNameFault FileNameFault(QByteArrayView sjis) {
  // The codec walks by characters, so a trail byte of 0x5C decodes as part of
  // its character; a lead byte without a valid trail stays a raw byte and the
  // byte after it is seen on its own.
  const QString name = SjisToUnicode(sjis);
  const TFileNameFault fault = CharFault(name);
  if (fault != TFileNameFault::None) return fault;
  return HoldsRawBytes(name) ? TFileNameFault::NotSjis : TFileNameFault::None;
}

TFileNameFault FileNameFault(QStringView name) {
  const TFileNameFault fault = CharFault(name);
  if (fault != TFileNameFault::None) return fault;
  // The codec writes '?' for what it cannot spell, and the name has none of
  // its own at this point; a raw byte is no character at all.
  if (HoldsRawBytes(name)) return TFileNameFault::NotSjis;
  return UnicodeToSjis(name).contains('?') ? TFileNameFault::NotSjis : TFileNameFault::None;
}

QString SjisCutText(QStringView text, qsizetype limit) {
  const QByteArray sjis = UnicodeToSjis(text);
  const qsizetype length = SjisCutLength(sjis, limit);
  if (length == sjis.size()) return text.toString();
  return SjisToUnicode(QByteArrayView(sjis).first(length));
}
