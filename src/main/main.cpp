#include <QApplication>

#include "common/Version.h"
#include "main/AppSetup.h"
#include "main/OstrekMain.h"
#include "main/QuitSignals.h"

int main(int argc, char* argv[]) {
  QCoreApplication::setApplicationName(QStringLiteral("Ostrekon"));
  QCoreApplication::setOrganizationName(QStringLiteral("qmzt"));
  QCoreApplication::setApplicationVersion(QString::fromLatin1(OstrekonVersion));
  if (const std::optional<int> exitCode = HandleCommandLine(argc, argv)) return *exitCode;
  QApplication app(argc, argv);
  // Lets the desktop match the window to its menu entry and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("io.github.qmzt.Ostrekon"));
  InstallJapaneseQtTexts(app);
  CloseWindowsOnQuitSignals(&app);
  TOstrekForm form;
  form.show();
  return app.exec();
}
