#include "settings/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <climits>

#include "common/Common.h"
#include "common/Cp932.h"

namespace {

// Files from Windows end their lines with CR LF; accept a bare LF as well.
QList<QByteArray> SplitLines(const QByteArray& data) {
  QList<QByteArray> lines = data.split('\n');
  if (!data.isEmpty() && data.endsWith('\n')) lines.removeLast();
  if (data.isEmpty()) lines.clear();
  for (QByteArray& line : lines) {
    if (line.endsWith('\r')) line.chop(1);
  }
  return lines;
}

bool SameName(QStringView a, QStringView b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// "[Name]" (blanks around the name allowed); decoded first, so that a "]"
// inside a double-byte character does not end the name.
std::optional<QString> HeaderName(const QByteArray& line) {
  const QByteArray trimmed = line.trimmed();
  if (!trimmed.startsWith('[')) return std::nullopt;
  const QString text = SjisToUnicode(trimmed.mid(1));
  const qsizetype close = text.indexOf(u']');
  return (close < 0 ? text : text.left(close)).trimmed();
}

// The key of a "Key=Value" line; none for headers, comments and other lines.
// "=" is never the second byte of a Shift_JIS character, so a byte search
// finds the right one.
std::optional<QString> KeyName(const QByteArray& line) {
  const QByteArray trimmed = line.trimmed();
  if (trimmed.startsWith('[') || trimmed.startsWith(';')) return std::nullopt;
  const qsizetype eq = line.indexOf('=');
  if (eq < 0) return std::nullopt;
  return SjisToUnicode(line.left(eq)).trimmed();
}

bool IsQuoted(const QByteArray& value) {
  return value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
         value.back() == value.front();
}

// The value of a key line as the profile functions return it: blanks around
// it dropped, then one pair of enclosing quotes.
QByteArray LineValue(const QByteArray& line) {
  QByteArray value = line.mid(line.indexOf('=') + 1).trimmed();
  if (IsQuoted(value)) value = value.mid(1, value.size() - 2);
  return value;
}

// A value that reading would change (blanks at its ends, enclosing quotes)
// is written inside double quotes, which reading drops again, so that the
// text comes back exactly. Line breaks would split the line: they become
// blanks.
QByteArray EncodeValue(const QString& value) {
  QString flat = value;
  flat.replace(u'\r', u' ').replace(u'\n', u' ');
  const QByteArray sjis = UnicodeToSjis(flat);
  if (sjis.trimmed() != sjis || IsQuoted(sjis)) return '"' + sjis + '"';
  return sjis;
}

// The first maxBytes bytes of a regular file, links followed; nothing for
// anything else. A FIFO or a device is never opened for reading: one would
// hang the window, the other (/dev/zero) never end. The open does not block
// either, should a FIFO be put in the file's place after the check.
std::optional<QByteArray> ReadRegularFile(const QString& fileName, qint64 maxBytes) {
  const QByteArray path = QFile::encodeName(fileName);
  struct stat info {};
  if (::stat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  QByteArray data;
  bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  char buffer[16384];
  while (ok && data.size() < maxBytes) {
    const ssize_t n =
        ::read(fd, buffer, size_t(qMin<qint64>(sizeof buffer, maxBytes - data.size())));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    data.append(buffer, n);
  }
  ::close(fd);
  return ok ? std::optional(data) : std::nullopt;
}

int DigitValue(QChar c, int base) {
  const char16_t u = c.unicode();
  int d = -1;
  if (u >= u'0' && u <= u'9') d = u - u'0';
  if (u >= u'a' && u <= u'f') d = u - u'a' + 10;
  if (u >= u'A' && u <= u'F') d = u - u'A' + 10;
  return d < base ? d : -1;
}

}  // namespace

std::optional<int> ParseProfileInteger(QStringView text) {
  qsizetype i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  QStringView digits = text.mid(i);
  int base = 10;
  if (digits.startsWith(u'$')) {
    base = 16;
    digits = digits.mid(1);
  } else if (digits.size() > 2 && digits.startsWith(u"0x", Qt::CaseInsensitive)) {
    base = 16;
    digits = digits.mid(2);
  }
  if (digits.isEmpty()) return std::nullopt;
  qint64 value = 0;
  for (const QChar c : digits) {
    const int d = DigitValue(c, base);
    if (d < 0) return std::nullopt;
    value = value * base + d;
    if (value > qint64(INT_MAX) + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return std::nullopt;
  return int(value);
}

TIniFile::TIniFile(QString fileName) : FFileName(std::move(fileName)) {}

bool TIniFile::Load(qint64 maxBytes) {
  FLines.clear();
  FModified = false;
  if (!QFileInfo::exists(FFileName)) return true;
  std::optional<QByteArray> data = ReadRegularFile(FFileName, maxBytes);
  if (!data) return false;
  // A line cut off at the limit is not what the file says.
  if (data->size() == maxBytes) data->truncate(data->lastIndexOf('\n') + 1);
  FLines = SplitLines(*data);
  return true;
}

QByteArray TIniFile::Text() const {
  QByteArray text;
  for (const QByteArray& line : FLines) text += line + "\r\n";
  return text;
}

// Unbuffered, so that a short write (disk full, size limit) shows in the
// count: a buffered QSaveFile can commit a cut-off file as a success.
bool TIniFile::Save() {
  QSaveFile file(FFileName);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return false;
  const QByteArray text = Text();
  if (file.write(text) != text.size() || !file.commit()) return false;
  FModified = false;
  return true;
}

TIniFile::TRange TIniFile::FindSection(QStringView section) const {
  TRange range;
  for (qsizetype i = 0; i < FLines.size(); ++i) {
    const std::optional<QString> name = HeaderName(FLines[i]);
    if (!name) continue;
    if (range.FBegin >= 0) {
      range.FEnd = i;
      return range;
    }
    if (SameName(*name, section)) range.FBegin = i;
  }
  if (range.FBegin >= 0) range.FEnd = FLines.size();
  return range;
}

qsizetype TIniFile::FindKey(const TRange& range, QStringView key) const {
  for (qsizetype i = range.FBegin + 1; i < range.FEnd; ++i) {
    const std::optional<QString> name = KeyName(FLines[i]);
    if (name && SameName(*name, key)) return i;
  }
  return -1;
}

bool TIniFile::SectionExists(QStringView section) const { return FindSection(section).FBegin >= 0; }

std::optional<QByteArray> TIniFile::ReadValue(QStringView section, QStringView key) const {
  const TRange range = FindSection(section);
  if (range.FBegin < 0) return std::nullopt;
  const qsizetype at = FindKey(range, key);
  if (at < 0) return std::nullopt;
  return SjisLeft(LineValue(FLines[at]), MaxIniValueBytes);
}

QString TIniFile::ReadString(QStringView section, QStringView key,
                             const QString& defaultValue) const {
  const std::optional<QByteArray> value = ReadValue(section, key);
  return value ? SjisToUnicode(*value) : defaultValue;
}

int TIniFile::ReadInteger(QStringView section, QStringView key, int defaultValue) const {
  const std::optional<QByteArray> value = ReadValue(section, key);
  if (!value) return defaultValue;
  return ParseProfileInteger(SjisToUnicode(*value)).value_or(defaultValue);
}

void TIniFile::WriteString(QStringView section, QStringView key, const QString& value) {
  const QByteArray encoded = EncodeValue(value);
  const QByteArray line = UnicodeToSjis(key) + '=' + encoded;
  const TRange range = FindSection(section);
  if (range.FBegin < 0) {
    FLines << '[' + UnicodeToSjis(section) + ']' << line;
    FModified = true;
    return;
  }
  const qsizetype at = FindKey(range, key);
  if (at >= 0) {
    // An unchanged value keeps its line as it was written.
    if (LineValue(FLines[at]) == LineValue(line)) return;
    FLines[at] = line;
    FModified = true;
    return;
  }
  // New keys go after the section's last line that is not blank.
  qsizetype insertAt = range.FEnd;
  while (insertAt > range.FBegin + 1 && FLines[insertAt - 1].trimmed().isEmpty()) --insertAt;
  FLines.insert(insertAt, line);
  FModified = true;
}

void TIniFile::DeleteKey(QStringView section, QStringView key) {
  TRange range = FindSection(section);
  if (range.FBegin < 0) return;
  for (qsizetype at = FindKey(range, key); at >= 0; at = FindKey(range, key)) {
    FLines.removeAt(at);
    --range.FEnd;
    FModified = true;
  }
}

void TIniFile::EraseSection(QStringView section) {
  for (TRange range = FindSection(section); range.FBegin >= 0; range = FindSection(section)) {
    FLines.remove(range.FBegin, range.FEnd - range.FBegin);
    FModified = true;
  }
}

QString ReadInternetShortcutUrl(const QString& fileName) {
  TIniFile shortcut(fileName);
  shortcut.Load(MaxShortcutBytes);
  return shortcut.ReadString(u"InternetShortcut", u"URL", QString());
}
