#include "TestStores.h"

#include <QDir>
#include <QTemporaryDir>

#include "common/ProgramDir.h"
#include "settings/SettingsStore.h"

QString IsolateSettingsStores() {
  static QTemporaryDir dir;
  SetProgramDir(dir.path());
  SetUserStorePath(QDir(dir.path()).filePath(QStringLiteral("config/qmzt/Ostrekon.conf")));
  return dir.path();
}
