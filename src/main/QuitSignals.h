#pragma once

class QObject;

// SIGTERM, SIGINT and SIGHUP (logout, kill, Ctrl+C in the terminal) end the
// program as a close by the user does: the run is stopped, its log entry
// written and the settings saved, instead of the process just vanishing.
// The handler only writes a byte; the window closes from the event loop.
// A second signal ends the program at once, as if never taken over.
// False when the signals could not be taken over.
bool CloseWindowsOnQuitSignals(QObject* owner);
