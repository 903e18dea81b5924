#include "TestStores.h"

#include "common/ProgramDir.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QTemporaryDir>

QString IsolateSettingsStores() {
  static QTemporaryDir dir;
  SetProgramDir(dir.path());
  SetUserStorePath(QDir(dir.path()).filePath(QStringLiteral("config/qmzt/Ostrekon.conf")));
  return dir.path();
}
