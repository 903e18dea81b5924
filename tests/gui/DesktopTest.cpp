// What makes the window behave like the desktop programs around it: Qt's
// own texts in Japanese, and the settings and logs of an installed program
// in the user's own places.
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>

#include "FormFixture.h"
#include "LoopbackServer.h"
#include "TestStores.h"
#include "common/ProgramDir.h"
#include "main/AppSetup.h"
#include "settings/SettingsStore.h"

class DesktopTest : public QObject, public TFormFixture {
  Q_OBJECT
 private slots:
  void initTestCase() { IsolateSettingsStores(); }

  void standardButtonsSpeakJapanese() {
    QVERIFY2(InstallJapaneseQtTexts(*qApp), "Qt's Japanese translations are not installed");
    QMessageBox box(QMessageBox::Warning, "Ostrekon", "?",
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QVERIFY(box.button(QMessageBox::Yes)->text().startsWith(QStringLiteral("はい")));
    QVERIFY(box.button(QMessageBox::No)->text().startsWith(QStringLiteral("いいえ")));
    QVERIFY(box.button(QMessageBox::Cancel)->text().startsWith(QStringLiteral("キャンセル")));
  }

  // An installed program cannot write its directory: its settings file goes
  // to the XDG config place and its logs to the XDG data place. (/proc takes
  // no new file, not even from root.)
  void installedProgramKeepsItsFilesInTheUsersPlaces() {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QDir(home.path()).filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", QDir(home.path()).filePath("data").toUtf8());
    const QString configDir = QDir(home.path()).filePath("config/qmzt/Ostrekon");
    const QString dataDir = QDir(home.path()).filePath("data/qmzt/Ostrekon");
    SetProgramDir(QStringLiteral("/proc"));
    QVERIFY(!PortableMode());
    QCOMPARE(SettingsDir(), configDir);
    QCOMPARE(LogDir(), dataDir);

    TLoopbackServer server;
    server.SetReply({{"ok\r\n"}});
    TFormDeps deps = Deps();
    deps.FingerPort = server.Port();
    QVERIFY(Open(deps));
    Form().FLogMode = 1;
    Form().FLogFileName = "query.log";
    Start(Form().Finger, Form().FngrServ_CB, "127.0.0.1");
    QTRY_VERIFY(Idle());
    Form().WaitForQueryLog();
    QVERIFY(QFile::exists(QDir(dataDir).filePath("query.log")));
    Form().close();
    QVERIFY(Shut());
    QCOMPARE(QFileInfo(SettingsIniPath()).absolutePath(), configDir);
    QVERIFY(QFile::exists(SettingsIniPath()));
    IsolateSettingsStores();  // back to a writable, portable program directory
    QVERIFY(PortableMode());
  }
};

QTEST_MAIN(DesktopTest)
#include "DesktopTest.moc"
