// The window's keys do what their captions say wherever the focus is, every
// control a screen reader lands on has a name of its own, and the manual
// says what the program does.
#include <QAccessible>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QMenu>
#include <QRadioButton>
#include <QSet>

#include "FormFixture.h"
#include "LoopbackServer.h"
#include "TestStores.h"
#include "common/QueryLog.h"
#include "dialogs/Find.h"
#include "dialogs/Log.h"

namespace {
QString AccessibleName(QWidget* w) {
  return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
}

void PressOnFocus(QKeyCombination key) {
  QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
}
}  // namespace

class KeysAccessTest : public QObject, public TFormFixture {
  Q_OBJECT
 private:
  TLoopbackServer FServer;

 private slots:
  void initTestCase() {
    Q_INIT_RESOURCE(help);
    IsolateSettingsStores();
  }
  void init() {
    TFormDeps deps = Deps();
    deps.FingerPort = FServer.Port();
    QVERIFY(Open(deps));
    QVERIFY(QTest::qWaitForWindowActive(FForm.get()));
  }
  void cleanup() { QVERIFY(Shut()); }

  // A user who opens the window and types a host types into the field.
  void startUpPutsTheFocusInTheMainField() {
    QCOMPARE(Form().PageControl->currentWidget(), Form().Finger);  // a first start's page
    QTRY_COMPARE(QApplication::focusWidget(), Form().FngrReq_CB);
    QTest::keyClicks(QApplication::focusWidget(), "user");
    QCOMPARE(Form().FngrReq_CB->currentText(), QString("user"));
  }

  // 中止(&S) and 検索(&S) share their key: the enabled button wins, at once.
  void altSStopsTheRunElseOpensTheSearchMenu() {
    FServer.SetSilent(true);
    Start(Form().Finger, Form().FngrServ_CB, "127.0.0.1");
    QTRY_VERIFY(Form().Stop_Btn->isEnabled());
    PressOnFocus(Qt::ALT | Qt::Key_S);
    QTRY_VERIFY(Idle());
    QCOMPARE(Pane().last(), QStringLiteral("...中止されました"));
    QVERIFY(!QApplication::activePopupWidget());
    PressOnFocus(Qt::ALT | Qt::Key_S);
    QTRY_COMPARE(QApplication::activePopupWidget(), Form().Search_ExMM);
    Form().Search_ExMM->close();
  }

  // Shift+Del empties the pane from a field too; the field keeps Ctrl+X
  // (its cut) and Ctrl+C for its own text.
  void editingKeysInAField_data() {
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("field");      // its whole text was selected
    QTest::addColumn<QString>("clipboard");  // was "clip"
    QTest::addColumn<bool>("paneEmptied");   // it held two lines, one selected
    const auto row = [](const char* name, const char* focus, const char* keys, const char* field,
                        const char* clipboard, bool emptied) {
      QTest::newRow(name) << QString(focus) << QString(keys) << QString(field) << QString(clipboard)
                          << emptied;
    };
    row("Shift+Del, host", "FngrServ_CB", "Shift+Del", "host", "clip", true);
    row("Shift+Del, number", "PngTout_Edt", "Shift+Del", "5", "clip", true);
    row("Ctrl+X", "FngrServ_CB", "Ctrl+X", "", "host", false);
    row("Ctrl+C", "FngrServ_CB", "Ctrl+C", "host", "host", false);
  }
  void editingKeysInAField() {
    QFETCH(QString, focus);
    QFETCH(QString, keys);
    Form().FngrServ_CB->setEditText("host");
    Form().ExtMemo->setPlainText("alpha\nbeta\n");
    Form().ExtMemo->SetSelection(0, 5);
    QApplication::clipboard()->setText("clip");
    auto* w = Form().findChild<QWidget*>(focus);
    Form().PageControl->setCurrentWidget(w->parentWidget());
    w->setFocus();
    auto* box = qobject_cast<QComboBox*>(w);
    QLineEdit* field = box ? box->lineEdit() : qobject_cast<QLineEdit*>(w);
    field->selectAll();
    PressOnFocus(QKeySequence(keys)[0]);
    QTEST(field->text(), "field");
    QTEST(QApplication::clipboard()->text(), "clipboard");
    QTEST(Form().ExtMemo->IsEmpty(), "paneEmptied");
  }

  // After an option's access key, the dialog still reopens on its text, all
  // of it selected, ready to be typed over.
  void findDialogReopensOnItsText() {
    TFindDialog* dialog = Form().FindDialog;
    PressOnFocus(Qt::CTRL | Qt::Key_F);
    QTRY_VERIFY(dialog->isActiveWindow());
    QTest::keyClicks(dialog->FindText_Edt, "beta");
    PressOnFocus(Qt::ALT | Qt::Key_W);
    // The option is pressed as a click shows it: once it is up again.
    QTRY_VERIFY(!dialog->WholeWord_ChckB->isDown());
    PressOnFocus(Qt::Key_Escape);
    Form().activateWindow();  // the test platform leaves that to the user
    QTRY_VERIFY(Form().isActiveWindow());
    PressOnFocus(Qt::CTRL | Qt::Key_F);
    QTRY_VERIFY(dialog->isActiveWindow());
    QCOMPARE(QApplication::focusWidget(), dialog->FindText_Edt);
    QCOMPARE(dialog->FindText_Edt->selectedText(), QString("beta"));
  }

  // In the daily mode Tab goes from the mode (one stop for the group) to the
  // prefix, then to OK.
  void logTabOrder() {
    TLogSetBox box(&Form(), LogDaily, "a.log", "p");
    box.show();
    box.activateWindow();
    QTRY_VERIFY(box.isActiveWindow());
    box.YMDFile_RB->setFocus();
    PressOnFocus(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), box.PreName_EDT);
    PressOnFocus(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), box.OKButton);
  }

  // A screen reader names every control that can take the focus, each
  // differently on its page, and the pane.
  void everyFocusableControlHasItsOwnName() {
    for (int page = 0; page < Form().PageControl->count(); ++page) {
      QSet<QString> names;
      for (QWidget* w : Form().PageControl->widget(page)->findChildren<QWidget*>()) {
        if (!(w->focusPolicy() & Qt::TabFocus) || w->focusProxy() || w->window() != &Form())
          continue;
        const QString name = AccessibleName(w);
        QVERIFY2(!name.isEmpty() && !names.contains(name), qPrintable(w->objectName() + name));
        names.insert(name);
      }
    }
    QCOMPARE(AccessibleName(Form().WhoisServ_Del), QStringLiteral("Whoisサーバの履歴を削除"));
    QVERIFY(!AccessibleName(Form().ExtMemo).isEmpty());
  }

  // The manual describes the commands as they work.
  void manualSaysWhatTheProgramDoes_data() {
    QTest::addColumn<QStringList>("pageSaysNot");
    QTest::newRow("end") << QStringList{"output.html", "最後の行の末尾", "最後の行の先頭"};
    QTest::newRow("Alt+S") << QStringList{"menus.html", "実行中は一度で中止", "<td>中止</td>"};
    QTest::newRow("blank") << QStringList{"messages.html", "ヘッダ行と空行に続いて",
                                          "送らずに終わり"};
  }
  void manualSaysWhatTheProgramDoes() {
    QFETCH(QStringList, pageSaysNot);
    QFile file(":/help/" + pageSaysNot[0]);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    QVERIFY(text.contains(pageSaysNot[1]) && !text.contains(pageSaysNot[2]));
  }
};

QTEST_MAIN(KeysAccessTest)
#include "KeysAccessTest.moc"
