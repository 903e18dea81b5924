#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include "common/Cp932.h"
#include "common/ProgramDir.h"

namespace {

QString& UserStorePathOverride() {
  static QString path;
  return path;
}

QString GroupKey(const QString& section, const QString& key) { return section + u'/' + key; }

}  // namespace

TReadResult TSettingsStore::ReadInteger(const QString& section, const QString& key, int& value) {
  QString text;
  const TReadResult result = ReadString(section, key, text);
  if (result != TReadResult::Found) return result;
  const std::optional<int> number = ParseProfileInteger(text);
  if (!number) return TReadResult::Missing;
  value = *number;
  return TReadResult::Found;
}

// --- the settings file ------------------------------------------------------

TIniStore::TIniStore(const QString& fileName) : FFile(fileName) {}

bool TIniStore::Exists() const { return QFileInfo::exists(FFile.FileName()); }

bool TIniStore::Open() {
  FOpened = FFile.Load();
  return FOpened;
}

TReadResult TIniStore::ReadString(const QString& section, const QString& key, QString& value) {
  const std::optional<QByteArray> raw = FFile.ReadValue(section, key);
  if (!raw) return TReadResult::Missing;
  value = SjisToUnicode(*raw);
  return TReadResult::Found;
}

void TIniStore::WriteString(const QString& section, const QString& key, const QString& value) {
  FFile.WriteString(section, key, value);
}

void TIniStore::DeleteKey(const QString& section, const QString& key) {
  FFile.DeleteKey(section, key);
}

bool TIniStore::SectionExists(const QString& section) { return FFile.SectionExists(section); }

void TIniStore::EraseSection(const QString& section) { FFile.EraseSection(section); }

// A file we could not read is never overwritten: what it holds would be lost.
bool TIniStore::Close() {
  if (!FOpened) return false;
  return !FFile.Modified() || FFile.Save();
}

// --- the per-user store -----------------------------------------------------

TUserStore::TUserStore(const QString& fileName) : FFileName(fileName) {}

TUserStore::~TUserStore() = default;

bool TUserStore::Exists() const { return QFileInfo(FFileName).isFile(); }

// Lines QSettings cannot parse are skipped, as the settings file skips its
// own; only a file that cannot be read at all fails.
bool TUserStore::Open() {
  FSettings = std::make_unique<QSettings>(FFileName, QSettings::NativeFormat);
  return FSettings->status() != QSettings::AccessError;
}

// Only a text is a value of ours; a list, a byte array or any other typed
// value was not written by this program.
TReadResult TUserStore::ReadString(const QString& section, const QString& key, QString& value) {
  const QVariant stored = FSettings->value(GroupKey(section, key));
  if (!stored.isValid()) return TReadResult::Missing;
  if (stored.typeId() != QMetaType::QString) return TReadResult::Failed;
  value = stored.toString();
  return TReadResult::Found;
}

void TUserStore::WriteString(const QString& section, const QString& key, const QString& value) {
  FSettings->setValue(GroupKey(section, key), value);
}

void TUserStore::DeleteKey(const QString& section, const QString& key) {
  FSettings->remove(GroupKey(section, key));
}

bool TUserStore::SectionExists(const QString& section) {
  return FSettings->childGroups().contains(section);
}

void TUserStore::EraseSection(const QString& section) { FSettings->remove(section); }

// QSettings keeps its first error: a file it could not parse stays
// FormatError even when the write then succeeds, so only an access error
// counts as a failed write.
bool TUserStore::Close() {
  if (!FSettings) return false;
  FSettings->sync();
  const bool written = FSettings->status() != QSettings::AccessError;
  FSettings.reset();
  return written;
}

// --- locations ----------------------------------------------------------------

QString SettingsIniPath() { return QDir(SettingsDir()).filePath(SettingsFileName()); }

// A user without settings of their own starts from an administrator's
// defaults in the XDG config directories (/etc/xdg/qmzt/Ostrekon/), never
// from a file beside an installed program: whoever may write there (root)
// would take that directory for a portable copy's.
QString SettingsIniPathToRead() {
  const QString own = SettingsIniPath();
  if (PortableMode() || QFileInfo::exists(own)) return own;
  const QString defaults = QStandardPaths::locate(
      QStandardPaths::GenericConfigLocation, QStringLiteral("qmzt/Ostrekon/") + SettingsFileName());
  return defaults.isEmpty() ? own : defaults;
}

void SetUserStorePath(const QString& fileName) { UserStorePathOverride() = fileName; }

QString UserStorePath() {
  if (!UserStorePathOverride().isEmpty()) return UserStorePathOverride();
  const QString configHome =
      QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return QDir(configHome).filePath(QStringLiteral("qmzt/Ostrekon.conf"));
}
