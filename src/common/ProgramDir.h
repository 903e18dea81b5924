#pragma once
#include <QString>

// The directory of the running executable: the INI file and the log files
// live there. Tests point it at a temporary directory instead.
QString ProgramDir();
void SetProgramDir(const QString& dir);
