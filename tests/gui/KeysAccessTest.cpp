// The window's keys do what their captions say wherever the focus is, and
// every control a screen reader lands on has a name of its own.
#include <QAccessible>
#include <QCheckBox>
#include <QMenu>
#include <QRadioButton>
#include <QSet>

#include "FormFixture.h"
#include "LoopbackServer.h"
#include "TestStores.h"
#include "common/QueryLog.h"
#include "dialogs/Find.h"
#include "dialogs/Log.h"

class KeysAccessTest : public QObject, public TFormFixture {
  Q_OBJECT
  TLoopbackServer FServer;
  static void Press(QKeyCombination key) {
    QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
  }

 private slots:
  void initTestCase() { IsolateSettingsStores(); }
  void init() {
    QVERIFY(OpenActiveWithFinger(FServer.Port()));
  }
  void cleanup() { QVERIFY(Shut()); }

  void startUpPutsTheFocusInTheMainField() {
    QTRY_COMPARE(QApplication::focusWidget(), Form().FngrReq_CB);  // a first start's page
  }

  // 中止(&S) and 検索(&S) share their key: the enabled button wins, at once.
  void altSStopsTheRunElseOpensTheSearchMenu() {
    FServer.SetSilent(true);
    Start(Form().Finger, Form().FngrServ_CB, "127.0.0.1");
    QTRY_VERIFY(Form().Stop_Btn->isEnabled());
    Press(Qt::ALT | Qt::Key_S);
    QTRY_VERIFY(Idle());
    QVERIFY(!QApplication::activePopupWidget());
    Press(Qt::ALT | Qt::Key_S);
    QTRY_COMPARE(QApplication::activePopupWidget(), Form().Search_ExMM);
    Form().Search_ExMM->close();
  }

  // Shift+Del empties the pane from a field too; Ctrl+X stays the field's cut.
  void editingKeysInAField() {
    for (auto [name, key, cut] : {std::tuple{"FngrServ_CB", Qt::SHIFT | Qt::Key_Delete, false},
                                  std::tuple{"PngTout_Edt", Qt::SHIFT | Qt::Key_Delete, false},
                                  std::tuple{"FngrServ_CB", Qt::CTRL | Qt::Key_X, true}}) {
      Form().ExtMemo->AppendLines("alpha", false);
      QWidget* control = Form().findChild<QWidget*>(name);
      Form().PageControl->setCurrentWidget(control->parentWidget());
      control->setFocus();
      auto* field = qobject_cast<QLineEdit*>(control);
      if (!field) field = control->findChild<QLineEdit*>();  // a combo box's
      field->setText("10");
      field->selectAll();
      Press(key);
      QVERIFY2(field->text().isEmpty() == cut && Form().ExtMemo->IsEmpty() != cut,
               qPrintable(QKeySequence(key).toString() + " in " + name));
    }
  }

  // Even after an option's access key, ready to be typed over.
  void findDialogReopensOnItsText() {
    TFindDialog* dialog = Form().FindDialog;
    Press(Qt::CTRL | Qt::Key_F);
    QTRY_VERIFY(dialog->isActiveWindow());
    QTest::keyClicks(dialog->FindText_Edt, "beta");
    Press(Qt::ALT | Qt::Key_W);
    QTRY_VERIFY(!dialog->WholeWord_ChckB->isDown());  // released, as after a click
    Press(Qt::Key_Escape);
    Form().activateWindow();  // the test platform leaves that to the user
    QTRY_VERIFY(Form().isActiveWindow());
    Press(Qt::CTRL | Qt::Key_F);
    QTRY_VERIFY(dialog->isActiveWindow());
    QCOMPARE(QApplication::focusWidget(), dialog->FindText_Edt);
    QCOMPARE(dialog->FindText_Edt->selectedText(), QString("beta"));
  }

  // In the daily mode Tab goes from the mode (one stop for the group) to the
  // prefix, then to OK.
  void logDialogTabOrder() {
    TLogSetBox box(&Form(), LogDaily, "a.log", "p");
    box.show();
    box.activateWindow();
    QTRY_VERIFY(box.isActiveWindow());
    box.YMDFile_RB->setFocus();
    Press(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), box.PreName_EDT);
    Press(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), box.OKButton);
  }

  // For a screen reader: each differently on its page, a delete button after
  // its history, and the pane.
  void everyFocusableControlHasItsOwnName() {
    const auto name = [](QWidget* w) {
      return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
    };
    for (int page = 0; page < Form().PageControl->count(); ++page) {
      QSet<QString> names;
      for (QWidget* w : Form().PageControl->widget(page)->findChildren<QWidget*>()) {
        if (!(w->focusPolicy() & Qt::TabFocus) || w->focusProxy() || w->window() != &Form())
          continue;
        QVERIFY2(!name(w).isEmpty() && !names.contains(name(w)), qPrintable(w->objectName()));
        names.insert(name(w));
      }
    }
    QCOMPARE(name(Form().WhoisServ_Del), QStringLiteral("Whoisサーバの履歴を削除"));
    QVERIFY(!name(Form().ExtMemo).isEmpty());
  }
};

QTEST_MAIN(KeysAccessTest)
#include "KeysAccessTest.moc"
