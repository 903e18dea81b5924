#pragma once
#include <QString>

// The directory of the running executable. Tests point it at a temporary
// directory instead.
QString ProgramDir();
void SetProgramDir(const QString& dir);

// The settings file's name: the program file's name with its extension
// replaced by ".ini" (appended when it has none), "ostrekon.ini" as
// installed. Tests set the program file name.
QString IniFileNameFor(const QString& programFileName);
void SetProgramFileName(const QString& fileName);
QString SettingsFileName();

// Where the settings file and the log files go. Portable when the program's
// directory holds its settings file and the user may write that directory:
// both stay beside the program. Otherwise installed, whoever runs it (root
// too): the settings file goes to the user's XDG config directory and the
// logs to the XDG data directory, each under "qmzt/Ostrekon", created when
// needed. Nothing is written to find out. Decided once, at the first call
// (start-up), and again only when the program directory is moved.
QString SettingsDir();
QString LogDir();
bool PortableMode();
