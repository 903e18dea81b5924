#include <QApplication>

#include "main/OstrekMain.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("Ostrekon"));
  app.setOrganizationName(QStringLiteral("qmzt"));
  TOstrekForm form;
  form.show();
  return app.exec();
}
