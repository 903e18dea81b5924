#include <QApplication>

#include "common/Version.h"
#include "main/AppSetup.h"
#include "main/OstrekMain.h"

int main(int argc, char* argv[]) {
  QCoreApplication::setApplicationName(QStringLiteral("Ostrekon"));
  QCoreApplication::setOrganizationName(QStringLiteral("qmzt"));
  QCoreApplication::setApplicationVersion(QString::fromLatin1(OstrekonVersion));
  if (const std::optional<int> exitCode = HandleCommandLine(argc, argv)) return *exitCode;
  QApplication app(argc, argv);
  InstallJapaneseQtTexts(app);
  TOstrekForm form;
  form.show();
  return app.exec();
}
