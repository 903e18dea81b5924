// Profile files as found on disk, and names typed for the log.
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include "FuzzCheck.h"
#include "common/Common.h"
#include "common/Cp932.h"
#include "common/FileNameCheck.h"
#include "settings/IniFile.h"

namespace {

void CheckIni(const QByteArray& bytes) {
  static QTemporaryDir dir;
  CHECK(dir.isValid());
  const QString name = dir.filePath(QStringLiteral("fuzz.ini"));
  {
    QFile file(name);
    CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    CHECK(file.write(bytes) == bytes.size());
  }
  TIniFile ini(name);
  CHECK(ini.Load());

  // The sections and keys the input names, plus a few the program reads.
  QStringList sections{QStringLiteral("Ping"), QStringLiteral("Others")};
  QStringList keys{QStringLiteral("Timeout"), QStringLiteral("URL0")};
  for (const QByteArray& line : bytes.split('\n')) {
    if (line.startsWith('[') && sections.size() < 6)
      sections.append(SjisToUnicode(line.mid(1, line.indexOf(']') - 1)).trimmed());
    else if (line.contains('=') && keys.size() < 6)
      keys.append(SjisToUnicode(line.left(line.indexOf('='))).trimmed());
  }
  for (const QString& section : sections) {
    ini.SectionExists(section);
    for (const QString& key : keys) {
      const std::optional<QByteArray> value = ini.ReadValue(section, key);
      if (!value) continue;
      CHECK(value->size() <= MaxIniValueBytes);
      CHECK(SjisCutLength(*value, MaxIniValueBytes) == value->size());
      ini.ReadString(section, key, QString());
      ini.ReadInteger(section, key, 0);
    }
  }
}

bool IsForbidden(QChar c) {
  for (char16_t f : ForbiddenNameChars)
    if (f != 0 && c == f) return true;
  return false;
}

void CheckName(QByteArrayView sjis) {
  const TFileNameFault fault = FileNameFault(sjis);
  if (fault != TFileNameFault::None) {
    CHECK(fault == TFileNameFault::ForbiddenChar || fault == TFileNameFault::ControlChar ||
          fault == TFileNameFault::DotName || fault == TFileNameFault::NotSjis);
    return;
  }
  // A name that passes names nothing outside the directory, whichever way
  // it is read.
  const QString name = SjisToUnicode(sjis);
  CHECK(!HoldsRawBytes(name));
  CHECK(name != u"." && name != u"..");
  for (QChar c : name) CHECK(!IsForbidden(c) && c.unicode() >= 0x20 && c.unicode() != 0x7F);
  CHECK(FileNameFault(QStringView(name)) == TFileNameFault::None);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  CheckIni(bytes);
  CheckName(bytes);
  return 0;
}
