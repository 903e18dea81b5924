// Faults found by using the window as a user does: each of these once went
// wrong.
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>

#include "FormFixture.h"
#include "LoopbackServer.h"
#include "TestStores.h"
#include "dialogs/About.h"
#include "dialogs/FireWall.h"
#include "dialogs/Information.h"
#include "dialogs/Log.h"
#include "settings/SettingsStore.h"

class UserFaultsTest : public QObject, public TFormFixture {
  Q_OBJECT
 private:
  TLoopbackServer FServer;

 private slots:
  void initTestCase() { IsolateSettingsStores(); }
  void init() {
    QFile::remove(SettingsIniPath());
    QVERIFY(OpenActiveWithFinger(FServer.Port()));
  }
  void cleanup() { QVERIFY(Shut()); }

  // Enter starts a run and Enter stops it, three times, wherever the focus
  // went meanwhile (the stop button once the fields are disabled); the
  // keypad's Enter as well.
  void enterStartsAndStopsRunAfterRun() {
    FServer.SetSilent(true);
    Form().PageControl->setCurrentWidget(Form().Finger);
    Type(Form().FngrServ_CB, "127.0.0.1");
    Type(Form().FngrReq_CB, "user");
    for (int run = 0; run < 3; ++run) {
      const auto mods = run == 1 ? Qt::KeypadModifier : Qt::NoModifier;
      const auto key = run == 1 ? Qt::Key_Enter : Qt::Key_Return;
      QTest::keyClick(QApplication::focusWidget(), key, mods);
      QTRY_VERIFY(Form().Stop_Btn->isEnabled());
      QTest::keyClick(QApplication::focusWidget(), key, mods);
      QTRY_VERIFY(Idle());
      QCOMPARE(Pane().last(), QStringLiteral("...中止されました"));
    }
  }

  // Alt+S is the stop button's access key; with the button disabled it must
  // not type an "s" into the host field.
  void altWithALetterTypesNothing() {
    Form().PageControl->setCurrentWidget(Form().Ping);
    Type(Form().PngServ_CB, "host");
    QLineEdit* field = Form().PngServ_CB->lineEdit();
    QTest::keyClick(field, Qt::Key_S, Qt::AltModifier);
    QTest::keyClick(field, Qt::Key_S, Qt::AltModifier);
    QTest::keyClick(field, Qt::Key_G, Qt::AltModifier | Qt::ShiftModifier);
    QCOMPARE(field->text(), QString("host"));
  }

  // User text in a title is never read as a format: "%2" stays "%2". Nor is
  // it completed: a history entry that goes on from it is only offered in a
  // list below the field, where Enter runs the text as typed.
  void runTitlesKeepWhatWasTyped_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("title");
    QTest::newRow("ping") << "Ping"
                          << "PngServ_CB"
                          << "a%2fb" << QStringLiteral("Ping - a%2fb - 64 バイトデータ");
    QTest::newRow("trace") << "TraceRoute"
                           << "TRServ_CB"
                           << "%1%2%3"
                           << QStringLiteral("TraceRoute - %1%2%3 - ホップ1 ～ ホップ64");
    QTest::newRow("scan") << "NsLookupEx"
                          << "Ex_CB"
                          << "%9" << QStringLiteral("IP Scan - %9.0 ～ 255");
  }
  void runTitlesKeepWhatWasTyped() {
    QFETCH(QString, page);
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, title);
    FResolver->FMissing = {typed.toUtf8()};
    auto* box = Form().findChild<QComboBox*>(field);
    box->addItem(typed + u'.');
    Form().PageControl->setCurrentWidget(Form().findChild<QWidget*>(page));
    Type(box, typed);
    QTRY_VERIFY(QApplication::activePopupWidget());
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Return);
    QTRY_VERIFY(Idle());
    QVERIFY2(Pane().value(0).endsWith(QStringLiteral("  ") + title), qPrintable(Pane().value(0)));
  }

  // A stored page that names no tab (a caption, say) leaves the window's
  // initial tab, HTTP, active.
  void unknownActivePageLeavesTheHttpTab() {
    QVERIFY(Shut());
    QFile ini(SettingsIniPath());
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[Others]\r\nActivePage=IP Scan\r\n");
    ini.close();
    QVERIFY(Open());
    QCOMPARE(Form().PageControl->currentWidget(), Form().Http);
    QCOMPARE(Form().windowTitle(), QString("HTTP - Ostrekon"));
  }

  // Every other window shows exactly its own caption. Qt appends the
  // application's display name to each caption when one is set, so none is.
  void dialogCaptionsAreExact() {
    Form().PageControl->setCurrentWidget(Form().Ping);
    QCOMPARE(Form().windowTitle(), QString("Ping - Ostrekon"));
    QCOMPARE(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
    TLogSetBox log(FForm.get(), 0, {}, {});
    TFireWallForm relay(FForm.get(), {});
    TWinsockInfoBox info(FForm.get(), TWsaData{}, false);
    TAboutBox about(FForm.get());
    QCOMPARE(log.windowTitle(), QStringLiteral("ログの作成"));
    QCOMPARE(info.windowTitle(), QStringLiteral("Winsock情報"));
    for (QDialog* d : std::initializer_list<QDialog*>{&log, &relay, &info, &about})
      QVERIFY2(!d->windowTitle().contains(QStringLiteral("Ping")), qPrintable(d->windowTitle()));
  }
};

QTEST_MAIN(UserFaultsTest)
#include "UserFaultsTest.moc"
