#pragma once
#include <QString>

// The directory of the running executable. Tests point it at a temporary
// directory instead.
QString ProgramDir();
void SetProgramDir(const QString& dir);

// Where the settings file and the log files go. A portable copy keeps them
// in its own directory, as long as a file can be created there. An installed
// program cannot write its directory (/usr/bin): then the settings file goes
// to the user's XDG config directory and the logs to the XDG data directory,
// each under "qmzt/Ostrekon", created when needed. Decided once, at the first
// call (start-up), and again only when the program directory is moved.
QString SettingsDir();
QString LogDir();
bool PortableMode();

// Whether a file can really be created in dir: the only test that also
// holds for root and for read-only file systems.
bool CanCreateFilesIn(const QString& dir);
