#include "TestStores.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "common/ProgramDir.h"
#include "settings/SettingsStore.h"

QString IsolateSettingsStores() {
  static QTemporaryDir dir;
  MarkPortable(dir.path());
  SetProgramDir(dir.path());
  SetUserStorePath(QDir(dir.path()).filePath(QStringLiteral("config/qmzt/Ostrekon.conf")));
  return dir.path();
}

void MarkPortable(const QString& dir) {
  QFile ini(QDir(dir).filePath(SettingsFileName()));
  if (!ini.exists()) ini.open(QIODevice::WriteOnly);
}
