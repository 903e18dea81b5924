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

QString Dashed(const QString& name) {
  return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// Written here, not by the parser: its texts are English, and before there
// is an application object nothing can translate them.
QString HelpText(const QList<QCommandLineOption>& shown) {
  QString text = QStringLiteral(
      "使い方: ostrekon [オプション]\n"
      "Finger、Whois、Ping、TraceRoute、NS Lookup、IP Scan、HTTP のネットワーク診断ツールです。\n"
      "オプションを付けずに起動すると、ウィンドウを開きます。\n\n"
      "オプション:\n");
  for (const QCommandLineOption& option : shown) {
    QStringList names;
    for (const QString& name : option.names()) names << Dashed(name);
    text += QStringLiteral("  ") + names.join(QStringLiteral(", ")).leftJustified(16) +
            option.description() + u'\n';
  }
  return text + QStringLiteral("Qt の標準のオプション（-platform、-style など）も使えます。\n");
}

int UsageError(const QString& why) {
  std::fprintf(stderr, "ostrekon: %s\n詳しくは 'ostrekon --help' を実行してください。\n",
               why.toUtf8().constData());
  return 2;
}
}  // namespace

std::optional<int> HandleCommandLine(int argc, char** argv) {
  QStringList args;
  for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("この説明を表示して終了します。"));
  const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                   QStringLiteral("バージョンを表示して終了します。"));
  QCommandLineOption helpAll(QStringLiteral("help-all"));
  helpAll.setFlags(QCommandLineOption::HiddenFromHelp);
  parser.addOptions({help, version, helpAll});
  AddQtOptions(parser);
  if (!parser.parse(args)) {
    const QStringList unknown = parser.unknownOptionNames();
    return UsageError(unknown.isEmpty()
                          ? QStringLiteral("オプションの値の指定が正しくありません。")
                          : QStringLiteral("不明なオプションです: ") + Dashed(unknown.first()));
  }
  if (parser.isSet(help) || parser.isSet(helpAll)) {
    std::fputs(HelpText({help, version}).toUtf8().constData(), stdout);
    return 0;
  }
  if (parser.isSet(version)) {
    std::printf("ostrekon %s\n", qPrintable(QCoreApplication::applicationVersion()));
    return 0;
  }
  if (!parser.positionalArguments().isEmpty())
    return UsageError(QStringLiteral("余分な引数があります: ") +
                      parser.positionalArguments().first());
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
