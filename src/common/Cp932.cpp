#include "common/Cp932.h"

#include <iconv.h>

#include <QSysInfo>
#include <algorithm>
#include <cerrno>

namespace {

// iconv writes UTF-16 straight into QString storage, so it must be in the
// host's byte order (and without a byte order mark).
constexpr const char* NativeUtf16 =
    QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE";

// iconv_open is far too slow to call per line, and a descriptor must not be
// shared between threads, so every thread keeps one per direction.
class TIconv {
 public:
  TIconv(const char* to, const char* from) : FHandle(iconv_open(to, from)) {}
  ~TIconv() {
    if (Valid()) iconv_close(FHandle);
  }
  TIconv(const TIconv&) = delete;
  TIconv& operator=(const TIconv&) = delete;

  bool Valid() const { return FHandle != reinterpret_cast<iconv_t>(-1); }
  iconv_t Handle() const { return FHandle; }

 private:
  iconv_t FHandle;
};

TIconv& Decoder() {
  thread_local TIconv decoder(NativeUtf16, "CP932");
  return decoder;
}

TIconv& Encoder() {
  thread_local TIconv encoder("CP932", NativeUtf16);
  return encoder;
}

bool IsLeadByte(uchar b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// A byte that is no CP932 decodes to a private-use character of its own
// (CP932's own user area ends far below), shown as a visible substitute, and
// encodes back to that very byte: save-as and the log then agree. A CR or LF
// inside one line of the pane is held the same way (SjisLineToUnicode).
constexpr char16_t RawByteBase = 0xF700;
QChar RawByteChar(uchar b) { return QChar(char16_t(RawByteBase + b)); }
bool IsRawByteChar(QChar c) {
  const char16_t u = c.unicode();
  return (u >= RawByteBase + 0x80 && u <= RawByteBase + 0xFF) || u == RawByteBase + '\r' ||
         u == RawByteBase + '\n';
}

qsizetype AsciiRunEnd(QByteArrayView sjis, qsizetype pos) {
  while (pos < sjis.size() && uchar(sjis[pos]) < 0x80) ++pos;
  return pos;
}

// A lead byte takes its trail byte along even when that is ASCII, so a
// double-byte character is never cut in two between iconv calls.
qsizetype NonAsciiRunEnd(QByteArrayView sjis, qsizetype pos) {
  while (pos < sjis.size() && uchar(sjis[pos]) >= 0x80) pos += IsLeadByte(uchar(sjis[pos])) ? 2 : 1;
  return qMin(pos, sjis.size());
}

void EnsureRoom(QString& out, qsizetype used, qsizetype needed) {
  if (out.size() - used < needed) out.resize(used + needed + 16);
}

// Decodes one run that starts with a non-ASCII byte. A byte that iconv
// refuses becomes U+FFFD and the rest of the run is decoded after it.
void DecodeRun(QByteArrayView run, QString& out, qsizetype& used) {
  TIconv& decoder = Decoder();
  if (!decoder.Valid()) {
    EnsureRoom(out, used, run.size());
    for (qsizetype i = 0; i < run.size(); ++i) out[used++] = RawByteChar(uchar(run[i]));
    return;
  }
  char* in = const_cast<char*>(run.data());
  size_t inLeft = size_t(run.size());
  while (inLeft > 0) {
    // Every CP932 character is one UTF-16 unit, so this is always enough.
    EnsureRoom(out, used, qsizetype(inLeft));
    char* dst = reinterpret_cast<char*>(out.data() + used);
    size_t dstLeft = size_t(out.size() - used) * sizeof(QChar);
    const size_t rc = iconv(decoder.Handle(), &in, &inLeft, &dst, &dstLeft);
    used = reinterpret_cast<QChar*>(dst) - out.constData();
    if (rc != size_t(-1)) break;
    if (errno == E2BIG) continue;
    EnsureRoom(out, used, 1);
    out[used++] = RawByteChar(uchar(*in));
    ++in;
    --inLeft;
  }
}

bool IsAsciiUnit(QChar c) { return c.unicode() < 0x80; }

// One code point: a surrogate pair gets one substitute, not two.
qsizetype CodePointLength(const char16_t* units, size_t unitsLeft) {
  return unitsLeft >= 2 && QChar::isHighSurrogate(units[0]) && QChar::isLowSurrogate(units[1]) ? 2
                                                                                               : 1;
}

void EnsureRoom(QByteArray& out, qsizetype used, qsizetype needed) {
  if (out.size() - used < needed) out.resize(used + needed + 16);
}

void Append(QByteArray& out, qsizetype& used, QByteArrayView bytes) {
  EnsureRoom(out, used, bytes.size());
  std::copy(bytes.begin(), bytes.end(), out.data() + used);
  used += bytes.size();
}

// Encodes one run of non-ASCII characters; unmappable ones become substitute.
void EncodeRun(QStringView run, QByteArrayView substitute, QByteArray& out, qsizetype& used) {
  TIconv& encoder = Encoder();
  if (!encoder.Valid()) {
    for (qsizetype i = 0; i < run.size(); ++i) Append(out, used, substitute);
    return;
  }
  char* in = reinterpret_cast<char*>(const_cast<char16_t*>(run.utf16()));
  size_t inLeft = size_t(run.size()) * sizeof(char16_t);
  while (inLeft > 0) {
    // At most two bytes per UTF-16 unit.
    EnsureRoom(out, used, qsizetype(inLeft));
    char* dst = out.data() + used;
    size_t dstLeft = size_t(out.size() - used);
    const size_t rc = iconv(encoder.Handle(), &in, &inLeft, &dst, &dstLeft);
    used = dst - out.constData();
    if (rc != size_t(-1)) break;
    if (errno == E2BIG) continue;
    Append(out, used, substitute);
    const size_t skip =
        size_t(CodePointLength(reinterpret_cast<const char16_t*>(in), inLeft / sizeof(char16_t))) *
        sizeof(char16_t);
    in += qMin(skip, inLeft);
    inLeft -= qMin(skip, inLeft);
  }
}

}  // namespace

QString SjisToUnicode(QByteArrayView sjis) {
  qsizetype pos = AsciiRunEnd(sjis, 0);
  if (pos == sjis.size()) return QString::fromLatin1(sjis);

  // CP932 is stateless, but a descriptor left mid-error by an earlier call
  // must not leak into this one.
  if (Decoder().Valid()) iconv(Decoder().Handle(), nullptr, nullptr, nullptr, nullptr);

  QString out(sjis.size(), Qt::Uninitialized);
  char16_t* dst = reinterpret_cast<char16_t*>(out.data());
  for (qsizetype i = 0; i < pos; ++i) dst[i] = uchar(sjis[i]);
  qsizetype used = pos;
  while (pos < sjis.size()) {
    const qsizetype runEnd = NonAsciiRunEnd(sjis, pos);
    DecodeRun(sjis.sliced(pos, runEnd - pos), out, used);
    pos = runEnd;
    const qsizetype asciiEnd = AsciiRunEnd(sjis, pos);
    EnsureRoom(out, used, asciiEnd - pos);
    dst = reinterpret_cast<char16_t*>(out.data()) + used;
    for (qsizetype i = pos; i < asciiEnd; ++i) *dst++ = uchar(sjis[i]);
    used += asciiEnd - pos;
    pos = asciiEnd;
  }
  out.truncate(used);
  return out;
}

QByteArray UnicodeToSjis(QStringView text, QByteArrayView substitute) {
  QByteArray out(text.size() * 2, Qt::Uninitialized);
  qsizetype used = 0;
  qsizetype pos = 0;
  while (pos < text.size()) {
    qsizetype asciiEnd = pos;
    while (asciiEnd < text.size() && IsAsciiUnit(text[asciiEnd])) ++asciiEnd;
    EnsureRoom(out, used, asciiEnd - pos);
    char* dst = out.data() + used;
    for (; pos < asciiEnd; ++pos) *dst++ = char(text[pos].unicode());
    used = dst - out.constData();
    qsizetype runEnd = pos;
    while (runEnd < text.size() && !IsAsciiUnit(text[runEnd]) && !IsRawByteChar(text[runEnd]))
      ++runEnd;
    if (runEnd > pos) EncodeRun(text.sliced(pos, runEnd - pos), substitute, out, used);
    for (pos = runEnd; pos < text.size() && IsRawByteChar(text[pos]); ++pos) {
      const char raw = char(text[pos].unicode() - RawByteBase);
      Append(out, used, QByteArrayView(&raw, 1));
    }
  }
  out.truncate(used);
  return out;
}

QString SjisLineToUnicode(QByteArrayView line) {
  QString text = SjisToUnicode(line);
  for (QChar& c : text)
    if (c == u'\r' || c == u'\n') c = RawByteChar(uchar(c.unicode()));
  return text;
}

bool HoldsRawBytes(QStringView decoded) {
  return std::any_of(decoded.begin(), decoded.end(), IsRawByteChar);
}
