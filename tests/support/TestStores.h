#pragma once
#include <QString>

// Points the program directory (INI file, logs) and the per-user settings
// store at a fresh temporary directory for the whole test program, so a
// test never reads or writes the settings of the machine's user. Returns
// that directory.
QString IsolateSettingsStores();

// Makes dir a portable program's directory, as the build tree is: it holds
// the program's (empty) settings file.
void MarkPortable(const QString& dir);
