#include "common/SjisConv.h"

#include <atomic>

#include "common/Common.h"
#include "common/Cp932.h"

namespace {

constexpr uchar Esc = 0x1B;
constexpr uchar ShiftOut = 0x0E;
constexpr uchar ShiftIn = 0x0F;
constexpr uchar SingleShift2 = 0x8E;

struct TShiftModes {
  bool Kanji = false;
  bool Kana = false;
};

// Shared by every TCP worker: a stopped worker may still be converting its
// last line while the next run's worker starts.
std::atomic<bool> KanjiMode{false};
std::atomic<bool> KanaMode{false};

TShiftModes LoadModes() { return {KanjiMode.load(), KanaMode.load()}; }

void StoreModes(TShiftModes modes) {
  KanjiMode.store(modes.Kanji);
  KanaMode.store(modes.Kana);
}

uchar ByteAt(QByteArrayView text, qsizetype pos) { return uchar(text[pos]); }

// The line ends at its first zero byte; clearing the high bit of 0x80 makes one.
bool HasByte(QByteArrayView text, qsizetype pos) { return pos < text.size() && text[pos] != 0; }

bool IsJisByte(uchar b) { return b >= 0x21 && b <= 0x7E; }

bool IsHalfWidthKana(uchar b) { return b >= 0xA1 && b <= 0xDF; }

bool IsEucByte(uchar b) { return b >= 0xA1 && b <= 0xFE; }

void ClearHighBit(QByteArray& text, qsizetype pos) { text[pos] = char(ByteAt(text, pos) & 0x7F); }

void TruncateAtZero(QByteArray& line) {
  const qsizetype zero = line.indexOf('\0');
  if (zero >= 0) line.truncate(zero);
}

// JIS X 0208 row and cell (both 0x21..0x7E) to Shift_JIS, in place at pos.
void StoreAsSjis(QByteArray& text, qsizetype pos, uchar first, uchar second) {
  const int index = (first - 0x21) * 94 + (second - 0x21);
  int lead = index / 188 + 0x81;
  if (lead > 0x9F) lead += 0x40;
  int trail = index % 188 + 0x40;
  if (trail > 0x7E) trail += 1;
  text[pos] = char(lead);
  text[pos + 1] = char(trail);
}

// The mode change of ESC x y in 7-bit JIS; false for a sequence we do not know.
bool ApplyJisEscape(uchar x, uchar y, TShiftModes& modes) {
  if (x == '$' && (y == '@' || y == 'B')) {
    modes = {true, false};
    return true;
  }
  if (x == '(' && (y == 'B' || y == 'H' || y == 'J')) {
    modes = {false, false};
    return true;
  }
  if (x == '(' && y == 'I') {
    modes = {false, true};
    return true;
  }
  return false;
}

// EUC-JP text only knows the kana shifts ESC ( I and ESC ( J.
bool ApplyEucEscape(uchar x, uchar y, TShiftModes& modes) {
  if (x != '(' || (y != 'I' && y != 'J')) return false;
  modes.Kana = y == 'I';
  return true;
}

// Detection rules ------------------------------------------------------------

bool EndsDetection(uchar b) { return b == 0 || b == 26 || b == '\r' || b == '\n'; }

QByteArrayView DetectedPart(QByteArrayView line) {
  qsizetype end = 0;
  while (end < line.size() && !EndsDetection(ByteAt(line, end))) ++end;
  return line.first(end);
}

bool HasHighByte(QByteArrayView bytes) {
  for (char c : bytes)
    if (uchar(c) >= 0x80) return true;
  return false;
}

// 0x80..0x9F is no EUC-JP byte, except the single shift 0x8E.
bool HasNonEucHighByte(QByteArrayView bytes) {
  for (char c : bytes)
    if (uchar(c) >= 0x80 && uchar(c) < 0xA0 && uchar(c) != SingleShift2) return true;
  return false;
}

// Walking in characters, the last high byte has no partner.
bool EndsInLoneHighByte(QByteArrayView bytes) {
  qsizetype pos = 0;
  while (pos < bytes.size()) {
    if (ByteAt(bytes, pos) < 0x80)
      ++pos;
    else if (pos + 1 < bytes.size())
      pos += 2;
    else
      return true;
  }
  return false;
}

// The first high byte after the last 0x8E is not half-width kana, so the
// 0x8E was a Shift_JIS lead byte rather than EUC-JP's single shift.
bool LastSingleShiftLacksKana(QByteArrayView bytes) {
  int tracker = 0;  // 1: just after 0x8E, 2: the kana byte followed it
  bool seen = false;
  for (char c : bytes) {
    const uchar b = uchar(c);
    if (b < 0x80) continue;
    if (tracker != 2) tracker = tracker == 1 && b > 0xA0 && b < 0xE0 ? 2 : 0;
    if (b == SingleShift2) {
      tracker = 1;
      seen = true;
    }
  }
  return seen && tracker == 0;
}

// Cut simulation: length of the unit at pos that must not be split ---------

qsizetype JisUnitLength(QByteArrayView raw, qsizetype pos, TShiftModes& modes) {
  const uchar b = ByteAt(raw, pos) & 0x7F;
  if (b == ShiftOut || b == ShiftIn) {
    modes = {false, b == ShiftOut};
    return 1;
  }
  if (b == Esc) {
    if (pos + 2 >= raw.size()) return raw.size() - pos;  // may be a sequence still arriving
    return ApplyJisEscape(ByteAt(raw, pos + 1) & 0x7F, ByteAt(raw, pos + 2) & 0x7F, modes) ? 3 : 1;
  }
  if (modes.Kanji && IsJisByte(b) && (pos + 1 >= raw.size() || IsJisByte(ByteAt(raw, pos + 1))))
    return 2;
  return 1;
}

qsizetype EucUnitLength(QByteArrayView raw, qsizetype pos, TShiftModes& modes) {
  const uchar b = ByteAt(raw, pos);
  const bool last = pos + 1 >= raw.size();
  if (b == Esc) {
    if (pos + 2 >= raw.size()) return raw.size() - pos;
    return ApplyEucEscape(ByteAt(raw, pos + 1), ByteAt(raw, pos + 2), modes) ? 3 : 1;
  }
  if (b == ShiftOut || b == ShiftIn) {
    modes.Kana = b == ShiftOut;
    return 1;
  }
  if (modes.Kana) return 1;
  if (b == SingleShift2) return last || IsHalfWidthKana(ByteAt(raw, pos + 1)) ? 2 : 1;
  if (IsEucByte(b)) return last || IsJisByte(ByteAt(raw, pos + 1) & 0x7F) ? 2 : 1;
  return 1;
}

using TUnitLength = qsizetype (*)(QByteArrayView, qsizetype, TShiftModes&);

qsizetype LastBoundary(QByteArrayView raw, qsizetype limit, TUnitLength unitLength) {
  TShiftModes modes = LoadModes();
  qsizetype boundary = 0;
  for (qsizetype pos = 0; pos < raw.size() && pos <= limit; pos += unitLength(raw, pos, modes))
    boundary = pos;
  return boundary;
}

// Nothing to rewrite: 7-bit text without shifts while no shift is in force.
bool IsUnshiftedAscii(QByteArrayView line) {
  if (KanjiMode.load() || KanaMode.load()) return false;
  for (char c : line) {
    const uchar b = uchar(c);
    if (b >= 0x80 || b == Esc || b == ShiftOut || b == ShiftIn) return false;
  }
  return true;
}

// UTF-8 replies --------------------------------------------------------------

// U+3013 GETA MARK in CP932, the customary stand-in for a missing character.
constexpr char GetaMark[] = "\x81\xAC";

constexpr char Utf8Bom[] = "\xEF\xBB\xBF";

// Bytes in the sequence that a lead byte starts; 1 for ASCII and for bytes
// that lead none.
int Utf8Length(uchar lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 1;
}

// Narrower second bytes after E0, ED, F0 and F4 refuse overlong forms,
// surrogates and code points above U+10FFFF.
bool IsUtf8Second(uchar lead, uchar b) {
  switch (lead) {
    case 0xE0:
      return b >= 0xA0 && b <= 0xBF;
    case 0xED:
      return b >= 0x80 && b <= 0x9F;
    case 0xF0:
      return b >= 0x90 && b <= 0xBF;
    case 0xF4:
      return b >= 0x80 && b <= 0x8F;
    default:
      return b >= 0x80 && b <= 0xBF;
  }
}

// How many bytes of the sequence at pos are well formed: all of length, or
// fewer when a byte is wrong or the text ends inside it.
qsizetype WellFormedBytes(QByteArrayView text, qsizetype pos, int length) {
  const uchar lead = ByteAt(text, pos);
  qsizetype n = 1;
  for (; n < length && pos + n < text.size(); ++n) {
    const uchar b = ByteAt(text, pos + n);
    if (n == 1 ? !IsUtf8Second(lead, b) : (b & 0xC0) != 0x80) break;
  }
  return n;
}

// Strict UTF-8 with at least one multibyte sequence. With unfinishedOk a
// sequence cut off by the end of the text counts: its rest is still arriving.
bool IsMultibyteUtf8(QByteArrayView text, bool unfinishedOk) {
  bool multibyte = false;
  for (qsizetype pos = 0; pos < text.size();) {
    const uchar lead = ByteAt(text, pos);
    if (lead < 0x80) {
      ++pos;
      continue;
    }
    const int length = Utf8Length(lead);
    if (length == 1) return false;
    const qsizetype good = WellFormedBytes(text, pos, length);
    if (good < length && !(unfinishedOk && pos + good == text.size())) return false;
    multibyte = true;
    pos += length;
  }
  return multibyte;
}

// SO, SI or a shift escape make the line JIS (or EUC-JP with kana shifts),
// however valid it is as UTF-8.
bool HasJisShift(QByteArrayView line) {
  for (qsizetype pos = 0; pos < line.size(); ++pos) {
    const uchar b = ByteAt(line, pos);
    if (b == ShiftOut || b == ShiftIn) return true;
    TShiftModes scratch;
    if (b == Esc && pos + 2 < line.size() &&
        ApplyJisEscape(ByteAt(line, pos + 1), ByteAt(line, pos + 2), scratch))
      return true;
  }
  return false;
}

bool IsUtf8Line(QByteArrayView line, bool unfinishedOk) {
  return IsMultibyteUtf8(line, unfinishedOk) && !HasJisShift(line);
}

// A byte order mark opens many UTF-8 pages; it is no text to show.
QByteArray Utf8ToSjis(QByteArrayView line) {
  if (line.startsWith(Utf8Bom)) line = line.sliced(3);
  return UnicodeToSjis(QString::fromUtf8(line), GetaMark);
}

qsizetype Utf8UnitLength(QByteArrayView raw, qsizetype pos, TShiftModes&) {
  return qMin<qsizetype>(Utf8Length(ByteAt(raw, pos)), raw.size() - pos);
}

QByteArrayView BeforeZero(QByteArrayView raw) {
  const qsizetype zero = raw.indexOf('\0');
  return zero >= 0 ? raw.first(zero) : raw;
}

qsizetype CodeCutLength(QByteArrayView raw, qsizetype limit) {
  // The buffer ends where the limit cut the line, not where the line ends: a
  // lead byte whose partner has not arrived says nothing of the line's code
  // (taken as one, it would make an EUC-JP line look like Shift_JIS).
  const QByteArrayView seen = DetectedPart(raw);
  const QByteArrayView judged = EndsInLoneHighByte(seen) ? raw.first(seen.size() - 1) : raw;
  switch (DetectCode(judged)) {
    case JisCode:
      return LastBoundary(raw, limit, JisUnitLength);
    case EucCode:
      return LastBoundary(raw, limit, EucUnitLength);
    case SjisCode:
      break;
  }
  return SjisCutLength(raw, limit);
}

}  // namespace

TCodeKind DetectCode(QByteArrayView line) {
  const QByteArrayView bytes = DetectedPart(line);
  if (!HasHighByte(bytes)) return JisCode;
  if (HasNonEucHighByte(bytes) || EndsInLoneHighByte(bytes) || LastSingleShiftLacksKana(bytes))
    return SjisCode;
  return EucCode;
}

QByteArray ConvertToSjis(QByteArray line) {
  TruncateAtZero(line);
  if (line.isEmpty()) return line;
  const TCodeKind kind = DetectCode(line);
  if (kind == JisCode && IsUnshiftedAscii(line)) return line;
  if (IsUtf8Line(line, false)) return Utf8ToSjis(line);
  if (kind == SjisCode) return line;
  const auto step = kind == JisCode ? JisToSjisStep : EucToSjisStep;
  for (qsizetype pos = 0; HasByte(line, pos);) pos += step(line, pos);
  // A stray 0x80 has become a zero byte: it goes, as a received zero byte
  // does, and the rest of the line stays.
  line.removeIf([](char c) { return c == '\0'; });
  return line;
}

int JisToSjisStep(QByteArray& text, qsizetype pos) {
  ClearHighBit(text, pos);
  const uchar b = ByteAt(text, pos);
  if (b == ShiftOut || b == ShiftIn) {
    StoreModes({false, b == ShiftOut});
    text.remove(pos, 1);
    return 0;
  }
  if (b == Esc && HasByte(text, pos + 1) && HasByte(text, pos + 2)) {
    ClearHighBit(text, pos + 1);
    ClearHighBit(text, pos + 2);
    TShiftModes modes = LoadModes();
    if (ApplyJisEscape(ByteAt(text, pos + 1), ByteAt(text, pos + 2), modes)) {
      StoreModes(modes);
      text.remove(pos, 3);
      return 0;
    }
  }
  if (KanjiMode.load()) {
    // A byte that cannot be a cell (a blank, an ESC) ends no pair: it stays,
    // so an ESC ( B right after an odd byte still switches kanji mode off.
    if (IsJisByte(b) && HasByte(text, pos + 1) && IsJisByte(ByteAt(text, pos + 1))) {
      StoreAsSjis(text, pos, b, ByteAt(text, pos + 1));
      return 2;
    }
    return 1;
  }
  if (KanaMode.load() && b >= 0x21 && b <= 0x5F) text[pos] = char(b | 0x80);
  return 1;
}

int EucToSjisStep(QByteArray& text, qsizetype pos) {
  const uchar b = ByteAt(text, pos);
  if (b == Esc && HasByte(text, pos + 1) && HasByte(text, pos + 2)) {
    TShiftModes modes = LoadModes();
    if (ApplyEucEscape(ByteAt(text, pos + 1), ByteAt(text, pos + 2), modes)) {
      KanaMode.store(modes.Kana);
      text.remove(pos, 3);
      return 0;
    }
  }
  if (b == ShiftOut || b == ShiftIn) {
    KanaMode.store(b == ShiftOut);
    text.remove(pos, 1);
    return 0;
  }
  if (KanaMode.load()) {
    if (b >= 0x21 && b <= 0x5F) text[pos] = char(b | 0x80);
    return 1;
  }
  const bool paired = HasByte(text, pos + 1);
  if (b == SingleShift2 && paired && IsHalfWidthKana(ByteAt(text, pos + 1))) {
    // The kana byte has the same value in Shift_JIS.
    text.remove(pos, 1);
    return 1;
  }
  if (IsEucByte(b) && paired && IsJisByte(ByteAt(text, pos + 1) & 0x7F)) {
    StoreAsSjis(text, pos, b & 0x7F, ByteAt(text, pos + 1) & 0x7F);
    return 2;
  }
  ClearHighBit(text, pos);
  return 1;
}

void ResetShiftModes() { StoreModes({}); }

qsizetype LineCutLength(QByteArrayView raw, qsizetype limit) {
  if (raw.size() <= limit) return raw.size();
  limit = qMax<qsizetype>(limit, 1);
  const qsizetype cut = IsUtf8Line(BeforeZero(raw), true) ? LastBoundary(raw, limit, Utf8UnitLength)
                                                          : CodeCutLength(raw, limit);
  // A single character longer than the limit is cut anyway.
  return cut > 0 ? cut : limit;
}
