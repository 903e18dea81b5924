// A whole life of the window: first start, a query, shutdown, and a restart
// that restores what the user set, in both stores.
#include <sys/stat.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QtTest>
#include <csignal>

#include "LoopbackServer.h"
#include "ModalDialogs.h"
#include "TestStores.h"
#include "dialogs/FireWall.h"
#include "dialogs/Log.h"
#include "main/OstrekMain.h"
#include "main/QuitSignals.h"
#include "settings/SettingsStore.h"
#include "widgets/ExtMemo.h"
#include "widgets/UpDown.h"

class StartupShutdownTest : public QObject {
  Q_OBJECT
 private:
  QString FDir;

  QString IniPath() const { return SettingsIniPath(); }
  static TFormDeps FingerAt(const TLoopbackServer& server) {
    TFormDeps deps;
    deps.FingerPort = server.Port();
    return deps;
  }

 private slots:
  void initTestCase() { FDir = IsolateSettingsStores(); }
  void init() {
    QFile::remove(IniPath());
    QFile::remove(UserStorePath());
  }

  void firstStartUsesDefaultsAndExitCreatesTheIniFile() {
    {
      TOstrekForm form;
      QVERIFY(form.SaveSetting_INI->isChecked());
      QCOMPARE(form.PngReqNum_UD->Position(), 4);
      QCOMPARE(form.PageControl->currentWidget(), form.Finger);
      QVERIFY(form.AutoScroll_ChckM->isChecked());
      form.show();
      form.close();
    }
    QVERIFY(QFile::exists(IniPath()));
    QVERIFY(!QFile::exists(UserStorePath()));
  }

  void restartRestoresWhatTheUserSet() {
    TLoopbackServer server;
    server.SetReply({{"ok\r\n"}});
    {
      TOstrekForm form(FingerAt(server));
      form.show();
      form.FngrServ_CB->setEditText("127.0.0.1");
      form.FngrReq_CB->setEditText("alice");
      QTest::mouseClick(form.Go_Btn, Qt::LeftButton);
      QTRY_VERIFY(form.Go_Btn->isEnabled());
      for (int i = 0; i < 25; ++i) {
        form.HHURL_CB->setEditText(QString("http://h%1/").arg(i));
        form.AddToHistory(form.HHURL_CB);
      }
      form.PngTTL_UD->SetPosition(33);
      form.TRReslvHost_ChckB->setChecked(true);
      form.HTTPGET_RBTN->setChecked(true);
      form.Clear_ChckM->setChecked(true);
      form.FWhoisRelay = "relay.example";
      form.FLogMode = 2;
      form.FLogPrefix = "np";
      form.PageControl->setCurrentWidget(form.NsLookupEx);
      form.close();
    }
    TOstrekForm again;
    QCOMPARE(again.FngrServ_CB->currentText(), QString("127.0.0.1"));
    QCOMPARE(again.FngrReq_CB->currentText(), QString("alice"));
    QCOMPARE(again.HHURL_CB->count(), 25);  // every entry written comes back
    QCOMPARE(again.HHURL_CB->currentText(), QString("http://h24/"));
    QCOMPARE(again.PngTTL_UD->Position(), 33);
    QVERIFY(again.TRReslvHost_ChckB->isChecked());
    QVERIFY(again.HTTPGET_RBTN->isChecked());
    QVERIFY(again.Clear_ChckM->isChecked());
    QVERIFY(again.WhoisWall_ChckB->isEnabled());
    QCOMPARE(again.FLogMode, 2);
    QCOMPARE(again.FLogPrefix, QString("np"));
    QCOMPARE(again.PageControl->currentWidget(), again.NsLookupEx);
    QCOMPARE(again.windowTitle(), QString("IP Scan - Ostrekon"));
  }

  void registryModeWritesThePerUserStoreAndIniModeDeletesIt() {
    {
      TOstrekForm form;
      form.SaveSetting_REG->setChecked(true);
      form.PngDelay_UD->SetPosition(2500);
      form.close();
    }
    QVERIFY(QFile::exists(UserStorePath()));
    {
      TOstrekForm form;
      QVERIFY(form.SaveSetting_REG->isChecked());
      QCOMPARE(form.PngDelay_UD->Position(), 2500);
      form.SaveSetting_INI->setChecked(true);
      form.close();
    }
    QVERIFY(!QFile::exists(UserStorePath()));
    TOstrekForm form;
    QVERIFY(form.SaveSetting_INI->isChecked());
    QCOMPARE(form.PngDelay_UD->Position(), 2500);
  }

  void logNameFromAnEditedSettingsFileIsRefused() {
    QFile ini(IniPath());
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[Others]\r\nLogging=1\r\nLogName=../escaped.log\r\n");
    ini.close();
    TLoopbackServer server;
    server.SetReply({{"x\r\n"}});
    TOstrekForm form(FingerAt(server));
    QCOMPARE(form.FLogFileName, QString("../escaped.log"));
    form.FngrServ_CB->setEditText("127.0.0.1");
    bool boxShown = false;
    WhenModal<QMessageBox>(this, [&](QMessageBox* box) {
      boxShown = box->text() == QStringLiteral("ログファイルの書き込みに失敗しました。");
      box->accept();
    });
    QTest::mouseClick(form.Go_Btn, Qt::LeftButton);
    QTRY_VERIFY(form.Go_Btn->isEnabled());
    QTRY_VERIFY(boxShown);
    QVERIFY(!QFile::exists(QDir(FDir).filePath("../escaped.log")));
  }

  // Closing during a run: the run's log entry is written before the window
  // goes, and a failure to write it is shown while the window is there; a
  // log that hangs, only so long. After a quit signal, a second one kills.
  void closeDuringARunShowsALogFailureBeforeTheWindowGoes_data() {
    QTest::addColumn<bool>("hangs");
    QTest::newRow("the log's name is a directory") << false;
    QTest::newRow("the log hangs, closed by a quit signal") << true;
  }
  void closeDuringARunShowsALogFailureBeforeTheWindowGoes() {
    QFETCH(bool, hangs);
    const QString log = QDir(FDir).filePath("taken.log");
    QVERIFY(hangs ? ::mkfifo(QFile::encodeName(log).constData(), 0600) == 0 : QDir().mkpath(log));
    TLoopbackServer server;
    server.SetSilent(true);
    TFormDeps deps = FingerAt(server);
    deps.LogWaitMs = 200;
    TOstrekForm form(deps);
    form.show();
    form.FLogMode = 1;
    form.FLogFileName = "taken.log";
    form.FngrServ_CB->setEditText("127.0.0.1");
    QTest::mouseClick(form.Go_Btn, Qt::LeftButton);
    QTRY_VERIFY(form.Stop_Btn->isEnabled());
    bool shownOverWindow = false;
    WhenModal<QMessageBox>(this, [&](QMessageBox* box) {
      shownOverWindow = box->text() == QStringLiteral("ログファイルの書き込みに失敗しました。") &&
                        form.isVisible();
      box->accept();
    });
    if (hangs) {
      QVERIFY(CloseWindowsOnQuitSignals(&form));
      ::raise(SIGTERM);
      QTRY_VERIFY(!form.isVisible());
      struct sigaction now {};
      QVERIFY(::sigaction(SIGTERM, nullptr, &now) == 0 && now.sa_handler == SIG_DFL);
      QFile reader(log);  // the entry left to its write goes on now
      QVERIFY(reader.open(QIODevice::ReadOnly) && !reader.readAll().isEmpty());
    } else {
      form.close();
    }
    QVERIFY(shownOverWindow);
    QVERIFY(QFile::remove(log) || QDir(FDir).rmdir("taken.log"));
  }

  void relayButtonEditsTheRelayOfTheActiveTab() {
    TOstrekForm form;
    form.show();
    form.PageControl->setCurrentWidget(form.Whois);
    QVERIFY(!form.WhoisWall_ChckB->isEnabled());
    WhenModal<TFireWallForm>(this, [](TFireWallForm* dialog) {
      dialog->findChild<QLineEdit*>()->setText("gw.example");
      dialog->findChild<QPushButton*>("OKButton")->click();
    });
    QTest::mouseClick(form.WhoisWall_Btn, Qt::LeftButton);
    QCOMPARE(form.FWhoisRelay, QString("gw.example"));
    QVERIFY(form.WhoisWall_ChckB->isEnabled());
    QVERIFY(form.FFingerRelay.isEmpty());
    QVERIFY(!form.FngrWall_ChckB->isEnabled());
  }

  void logDialogFromTheMenuSetsTheLogFields() {
    TOstrekForm form;
    form.show();
    WhenModal<TLogSetBox>(this, [](TLogSetBox* box) {
      box->findChild<QRadioButton*>("YMDFile_RB")->click();
      box->findChild<QLineEdit*>("PreName_EDT")->setText("day");
      box->findChild<QPushButton*>("OKButton")->click();
    });
    form.Log_ExMM->trigger();
    QCOMPARE(form.FLogMode, 2);
    QCOMPARE(form.FLogPrefix, QString("day"));
  }
};

QTEST_MAIN(StartupShutdownTest)
#include "StartupShutdownTest.moc"
