#include "main/AppSetup.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>

namespace {
// Qt's own options that take a value, and those that take none: accepted
// here and handed on to Qt untouched.
const char* const QtValueOptions[] = {"platform",        "platformpluginpath",
                                      "platformtheme",   "plugin",
                                      "style",           "stylesheet",
                                      "display",         "geometry",
                                      "qwindowgeometry", "qwindowtitle",
                                      "qwindowicon",     "session",
                                      "title",           "name"};
const char* const QtFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

void AddQtOptions(QCommandLineParser& parser) {
  for (const char* name : QtValueOptions) {
    QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }
  for (const char* name : QtFlagOptions) {
    QCommandLineOption option(QString::fromLatin1(name));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }
}
}  // namespace

std::optional<int> HandleCommandLine(int argc, char** argv) {
  QStringList args;
  for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Ostrekon: network diagnostics (Finger, Whois, Ping, TraceRoute, NS Lookup, "
                     "IP Scan, HTTP)."));
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption version = parser.addVersionOption();
  AddQtOptions(parser);
  if (!parser.parse(args)) {
    std::fprintf(stderr, "ostrekon: %s\nTry 'ostrekon --help' for more information.\n",
                 qPrintable(parser.errorText()));
    return 2;
  }
  if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
    // There is no application object yet to name the program.
    QString text = parser.helpText();
    std::fputs(
        qPrintable(text.replace(QStringLiteral("<executable_name>"), QStringLiteral("ostrekon"))),
        stdout);
    return 0;
  }
  if (parser.isSet(version)) {
    std::printf("ostrekon %s\n", qPrintable(QCoreApplication::applicationVersion()));
    return 0;
  }
  if (!parser.positionalArguments().isEmpty()) {
    std::fprintf(
        stderr, "ostrekon: unexpected argument '%s'\nTry 'ostrekon --help' for more information.\n",
        qPrintable(parser.positionalArguments().first()));
    return 2;
  }
  return std::nullopt;
}

bool InstallJapaneseQtTexts(QCoreApplication& app) {
  auto* translator = new QTranslator(&app);
  if (!translator->load(QStringLiteral("qtbase_ja"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}
