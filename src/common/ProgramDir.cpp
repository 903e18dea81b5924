#include "common/ProgramDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {
QString& OverrideDir() {
  static QString dir;
  return dir;
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

const TPlaces& Places() {
  static TPlaces places;
  const QString programDir = ProgramDir();
  if (places.ForProgramDir == programDir && !programDir.isEmpty()) return places;
  places.ForProgramDir = programDir;
  places.Portable = CanCreateFilesIn(programDir);
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

QString SettingsDir() { return Places().SettingsDir; }
QString LogDir() { return Places().LogDir; }
bool PortableMode() { return Places().Portable; }

bool CanCreateFilesIn(const QString& dir) {
  if (dir.isEmpty()) return false;
  QTemporaryFile probe(QDir(dir).filePath(QStringLiteral(".ostrekon-write-test-XXXXXX")));
  return probe.open();
}
