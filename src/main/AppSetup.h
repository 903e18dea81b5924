#pragma once
#include <optional>

class QCoreApplication;

// The command line, read before there is any window, so that --help and
// --version work without a display as on any Linux program. Returns the
// exit status when the program is to end here: 0 after --help or --version,
// 2 after an option it does not know (with a message on stderr). Qt's own
// options (-platform, -style, ...) are left to Qt.
std::optional<int> HandleCommandLine(int argc, char** argv);

// Qt's own texts (standard buttons, the file dialog) in Japanese, like the
// program's, whatever the user's locale. False when Qt's Japanese
// translations are not installed; the program then goes on in Qt's English.
bool InstallJapaneseQtTexts(QCoreApplication& app);
