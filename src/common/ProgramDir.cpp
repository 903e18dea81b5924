#include "common/ProgramDir.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
QString& OverrideDir() {
  static QString dir;
  return dir;
}

QString& ProgramFileNameOverride() {
  static QString name;
  return name;
}

QString ProgramFileName() {
  if (!ProgramFileNameOverride().isEmpty()) return ProgramFileNameOverride();
  if (QCoreApplication::instance() == nullptr) return QStringLiteral("ostrekon");
  return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
}

struct TPlaces {
  QString ForProgramDir;  // the program directory this was decided for
  bool Portable = true;
  QString SettingsDir;
  QString LogDir;
};

QString UserPlace(QStandardPaths::StandardLocation location) {
  const QString dir =
      QDir(QStandardPaths::writableLocation(location)).filePath(QStringLiteral("qmzt/Ostrekon"));
  QDir().mkpath(dir);
  return dir;
}

// access() asks the kernel with the real user's rights, read-only file
// systems included, and creates nothing.
bool UserMayWrite(const QString& dir) {
  return !dir.isEmpty() && ::access(QFile::encodeName(dir).constData(), W_OK | X_OK) == 0;
}

bool IsPortable(const QString& programDir) {
  return QFileInfo(QDir(programDir).filePath(SettingsFileName())).isFile() &&
         UserMayWrite(programDir);
}

const TPlaces& Places() {
  static TPlaces places;
  const QString programDir = ProgramDir();
  if (places.ForProgramDir == programDir && !programDir.isEmpty()) return places;
  places.ForProgramDir = programDir;
  places.Portable = IsPortable(programDir);
  places.SettingsDir =
      places.Portable ? programDir : UserPlace(QStandardPaths::GenericConfigLocation);
  places.LogDir = places.Portable ? programDir : UserPlace(QStandardPaths::GenericDataLocation);
  return places;
}
}  // namespace

QString ProgramDir() {
  if (!OverrideDir().isEmpty()) return OverrideDir();
  return QCoreApplication::applicationDirPath();
}

void SetProgramDir(const QString& dir) { OverrideDir() = dir; }

QString IniFileNameFor(const QString& programFileName) {
  const QFileInfo info(programFileName);
  const QString name = info.fileName();
  const qsizetype dot = name.lastIndexOf(u'.');
  const QString stem = dot < 0 ? name : name.left(dot);
  const QString dir = programFileName.left(programFileName.size() - name.size());
  return dir + stem + QStringLiteral(".ini");
}

void SetProgramFileName(const QString& fileName) { ProgramFileNameOverride() = fileName; }

QString SettingsFileName() { return IniFileNameFor(ProgramFileName()); }

QString SettingsDir() { return Places().SettingsDir; }
QString LogDir() { return Places().LogDir; }
bool PortableMode() { return Places().Portable; }
