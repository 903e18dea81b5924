#include "common/ProgramDir.h"

#include <QCoreApplication>

namespace {
QString& OverrideDir() {
  static QString dir;
  return dir;
}
}  // namespace

QString ProgramDir() {
  if (!OverrideDir().isEmpty()) return OverrideDir();
  return QCoreApplication::applicationDirPath();
}

void SetProgramDir(const QString& dir) { OverrideDir() = dir; }
