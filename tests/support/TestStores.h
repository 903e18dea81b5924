#pragma once
#include <QString>

// Points the program directory (INI file, logs) and the per-user settings
// store at a fresh temporary directory for the whole test program, so a
// test never reads or writes the settings of the machine's user. Returns
// that directory.
QString IsolateSettingsStores();
