// The window's own commands on the output pane, through their menu items,
// context-menu twins and shortcuts; find, jump, mark, font; shortcut drops.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTabBar>
#include <QTemporaryDir>
#include <QUrl>

#include "FormFixture.h"
#include "LoopbackServer.h"
#include "TestStores.h"
#include "dialogs/Find.h"
#include "dialogs/FontDlg.h"
#include "dialogs/HelpView.h"
#include "widgets/ActivityPicture.h"
#include "widgets/Animation.h"

namespace {
// A menu as "name caption shortcut" rows; a separator is "-".
QStringList Rows(const QMenu* menu) {
  QStringList rows;
  for (QAction* a : menu->actions())
    rows << (a->isSeparator() ? QStringLiteral("-")
                              : a->objectName() + ' ' + a->text() + ' ' +
                                    a->shortcut().toString(QKeySequence::PortableText));
  return rows;
}
}  // namespace

class ViewCommandsTest : public QObject, public TFormFixture {
  Q_OBJECT
 private:
  QTemporaryDir FDir;

  QAction* Item(const char* name) { return Form().findChild<QAction*>(name); }
  void Fill(const QString& text) {
    Form().ExtMemo->clear();
    Form().ExtMemo->AppendLines(text, false);
  }
  int Caret() { return Form().ExtMemo->SelStart(); }
  // Searches once for text with the dialog's settings.
  void Search(const QString& text, bool down, int from, int length = 0) {
    Form().FindDialog->FindText_Edt->setText(text);
    (down ? Form().FindDialog->Down_RBTN : Form().FindDialog->Up_RBTN)->setChecked(true);
    Form().ExtMemo->SetSelection(from, length);
    QTest::keyClick(&Form(), Qt::Key_F3);
  }
  QString Shortcut(const QString& name, const QString& url) {
    const QString path = FDir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("[InternetShortcut]\r\nURL=" + url.toUtf8() + "\r\n");
    return path;
  }
  void Drop(const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
    data.setUrls(urls);
    const QPoint at = Form().ExtMemo->geometry().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&Form(), &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&Form(), &drop);
  }

 private slots:
  void initTestCase() { IsolateSettingsStores(); }
  void init() { QVERIFY(Open()); }
  void cleanup() { QVERIFY(Shut()); }

  void mainMenuAndPopupAreAsDesigned() {
    const QList<QStringList> menus = {
        {"Save_ExMM 名前をつけて保存(&A)... ", "GraphSave_ExMM グラフのデータを保存(&E)... ",
         "Log_ExMM ログ(&L)... ", "-", "SaveSetting_INI INIファイルに設定保存 ",
         "SaveSetting_REG レジストリに設定保存 ", "-", "Exit_ExMM 終了(&X) "},
        {"Copy_ExMM コピー(&C) Ctrl+C", "SelectAll_ExMM すべて選択(&A) Ctrl+A", "-",
         "CpAll_ExMM すべてコピー(&L) Ctrl+L", "-", "Top_ExMM 先頭へ移動(&G) ",
         "End_ExMM 最後へ移動(&B) ", "Jump_ExMM 指定した行番号へ移動(&L) ",
         "Mark_ExMM 現在位置の記憶(&M) ", "ReMark_ExMM 記憶した位置への移動(&R) ", "-",
         "DeleteAll_ExMM すべて消去(&D) Shift+Del"},
        {"Clear_ChckM 自動消去(&D) ", "AutoScroll_ChckM 自動スクロール(&S) ",
         "PreferIPv6_ChckM IPv6を優先(&6) ", "Graph_ChckM グラフ(&G) ", "-", "Font_ExMM フォント(&F) "},
        {"Find_ExMM 検索(&F) Ctrl+F", "FindNext_ExMM 次を検索(&N) F3"},
        {"Help_Contents 目次(&C) F1", "Help_Keyword キーワード(&K) ", "-",
         "WinsockInfo_MM Winsock情報 ", "About_MM Ostrekonについて(&A)... "},
        {"Copy_ExPM コピー(&C) ", "SelectAll_ExPM すべて選択(&A) ", "-", "Find 検索(&F) ",
         "FindNext1 次を検索(&N) ", "-", "Top_ExPM 先頭へ移動(&G) ", "End_ExPM 最後へ移動(&B) ",
         "Jump_ExPM 指定した行番号へ移動(&L) ", "Mark_ExPM 現在の位置の記憶(&M) ",
         "ReMark_ExPM 記憶した位置へ移動(&R) ", "-", "Font_ExPM フォント "},
    };
    QList<const QMenu*> shown;
    for (QAction* a : Form().menuBar()->actions()) shown << a->menu();
    QCOMPARE(shown.size(), 5);
    QCOMPARE(shown[3]->title(), QStringLiteral("検索(&S)"));
    shown << Form().ExtMemoPopup;
    for (int m = 0; m < menus.size(); ++m) QCOMPARE(Rows(shown[m]), menus[m]);
  }

  // The pane's right button brings up its own menu, never the toolkit's.
  void rightClickShowsThePanesOwnMenu() {
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20));
    QApplication::sendEvent(Form().ExtMemo->viewport(), &event);
    QTRY_COMPARE(QApplication::activePopupWidget(), Form().ExtMemoPopup);
    Form().ExtMemoPopup->close();
  }

  // Each popup item does what its main-menu twin does.
  void caretCommandsAndTheirTwins() {
    Fill("first line\nsecond\nthird");
    const struct {
      const char *Main, *Popup;
      int From, Want;
    } cases[] = {
        {"Top_ExMM", "Top_ExPM", 12, 0},
        // One before the length: the start of the empty last line is L.
        {"End_ExMM", "End_ExPM", 0, int(QString("first line\nsecond\nthird\n").size()) - 1},
        {"ReMark_ExMM", "ReMark_ExPM", 5, 0},  // nothing remembered yet
    };
    for (const auto& c : cases) {
      for (const char* name : {c.Main, c.Popup}) {
        Form().ExtMemo->SetCaret(c.From);
        Item(name)->trigger();
        QCOMPARE(Caret(), c.Want);
      }
    }
    Form().ExtMemo->SetCaret(13);
    Item("Mark_ExPM")->trigger();
    Item("Top_ExMM")->trigger();
    Item("ReMark_ExMM")->trigger();
    QCOMPARE(Caret(), 13);
    Form().ExtMemo->clear();
    Item("Top_ExMM")->trigger();
    QCOMPARE(Caret(), 0);
  }

  void jumpToALine_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("caret");
    QTest::addColumn<bool>("refused");
    QTest::newRow("as prefilled") << "" << 11 << false;  // the caret's own line start
    QTest::newRow("line 3") << "3" << 18 << false;
    QTest::newRow("zero: own line") << "0" << 11 << false;
    QTest::newRow("past the end") << "99" << 0 << false;
    QTest::newRow("not a number") << "x1" << 14 << true;
  }
  void jumpToALine() {
    QFETCH(QString, typed);
    QFETCH(int, caret);
    QFETCH(bool, refused);
    Fill("first line\nsecond\nthird");
    Form().ExtMemo->SetCaret(14);
    bool prefilled = false, messaged = false;
    WhenModal<QInputDialog>(this, [&](QInputDialog* box) {
      prefilled = box->textValue() == "2" && box->windowTitle() == "Ostrekon" &&
                  box->labelText() == QStringLiteral("行番号");
      if (!typed.isEmpty()) box->setTextValue(typed);
      if (refused)
        WhenModal<QMessageBox>(this, [&](QMessageBox* m) {
          messaged = m->text() == QStringLiteral("入力値が正しくありません");
          m->accept();
        });
      box->accept();
    });
    Item("Jump_ExPM")->trigger();
    QVERIFY(prefilled);
    QCOMPARE(messaged, refused);
    QCOMPARE(Caret(), caret);
  }

  void findDownAndUpWithoutWrapping() {
    Fill("abc x abc y ABC z abcd");
    const struct {
      const char* Text;
      bool Down;
      int From, Length, Want;  // Want -1: the selection stays
    } cases[] = {
        {"abc", true, 0, 0, 0},
        {"abc", true, 0, 3, 6},  // from the end of the selection
        {"abc", true, 6, 3, 12},
        {"abc", true, 19, 0, -1},  // no wrap-around
        {"abc", false, 18, 0, 12},
        {"abc", false, 8, 0, 0},   // a match over the selection's start is no candidate
        {"abc", false, 2, 0, -1},  // fewer than L characters from the start
    };
    for (const auto& c : cases) {
      Search(c.Text, c.Down, c.From, c.Length);
      if (c.Want < 0) {
        QCOMPARE(Form().ExtMemo->SelStart(), c.From);
        QCOMPARE(Form().ExtMemo->SelLength(), c.Length);
      } else {
        QCOMPARE(Form().ExtMemo->SelStart(), c.Want);
        QCOMPARE(Form().ExtMemo->SelLength(), 3);
      }
    }
    // Match case and whole word are honoured.
    Form().FindDialog->MatchCase_ChckB->setChecked(true);
    Search("ABC", true, 0);
    QCOMPARE(Caret(), 12);
    Form().FindDialog->MatchCase_ChckB->setChecked(false);
    Form().FindDialog->WholeWord_ChckB->setChecked(true);
    Search("abc", true, 13);
    QCOMPARE(Form().ExtMemo->SelLength(), 0);  // "abcd" is no whole word
    // A match far down a long report is found too, not only within the next
    // million characters.
    Fill(QString(1500000, u'x') + QStringLiteral("\nfar"));
    Form().FindDialog->WholeWord_ChckB->setChecked(false);
    Search("far", true, 0);
    QCOMPARE(Caret(), 1500001);
  }

  // The dialog opens at its place, closes after every search, and F3 goes
  // on with what it holds.
  void findDialogPlaceAndLife() {
    Fill("one two one");
    QTest::keyClick(&Form(), Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(Form().FindDialog->isVisible());
    QCOMPARE(Form().FindDialog->pos(), Form().frameGeometry().topLeft() + QPoint(64, 57));
    Form().FindDialog->FindText_Edt->setText("one");
    Form().ExtMemo->SetCaret(0);
    QTest::mouseClick(Form().FindDialog->FindNext_Btn, Qt::LeftButton);
    QVERIFY(!Form().FindDialog->isVisible());
    QCOMPARE(Caret(), 0);
    QTest::keyClick(&Form(), Qt::Key_F3);
    QCOMPARE(Caret(), 8);
  }

  // While a run goes the pane cannot take the focus: the search is refused
  // with the error box; the other commands work.
  void searchDuringARunIsRefused() {
    TLoopbackServer server;
    server.SetSilent(true);
    TFormDeps deps = Deps();
    deps.FingerPort = server.Port();
    QVERIFY(Open(deps));
    Start(Form().Finger, Form().FngrServ_CB, "127.0.0.1");
    QTRY_VERIFY(!Idle());
    bool refused = false;
    WhenModal<QMessageBox>(this, [&](QMessageBox* m) {
      refused = m->text() == QStringLiteral("無効/非表示ｳｨﾝﾄﾞｳにはﾌｫｰｶｽを設定できません");
      m->accept();
    });
    Item("FindNext_ExMM")->trigger();
    QVERIFY(refused);
    Form().activateWindow();  // back from the error box
    QVERIFY(QTest::qWaitForWindowActive(FForm.get()));
    QTest::keyClick(&Form(), Qt::Key_L, Qt::ControlModifier);
    QVERIFY(QApplication::clipboard()->text().contains(">> "));
    // A shortcut dropped meanwhile still fills the (disabled) field.
    Drop({Shortcut("run.url", "http://during.test/")});
    QCOMPARE(Form().FngrServ_CB->currentText(), QString("during.test"));
    QTest::mouseClick(Form().Stop_Btn, Qt::LeftButton);
  }

  // Apply lays the window out at once; a later Cancel keeps it.
  void fontApplyThenCancel() {
    const int before = Form().Go_Btn->height();
    WhenModal<TFontDialog>(this, [](TFontDialog* d) {
      d->Size_SE->setValue(18);
      d->ApplyButton->click();
      d->CancelButton->click();
    });
    Item("Font_ExMM")->trigger();
    QCOMPARE(Form().ExtMemo->font().pixelSize(), 24);
    QCOMPARE(Form().font().pixelSize(), 24);
    QVERIFY(Form().Go_Btn->height() > before);
  }

  void shortcutDrops() {
    QVERIFY(Form().acceptDrops());
    const QString ping = Shortcut("ping.url", "http://host.test:8080/a/b");
    const QString blank = Shortcut("blank.url", "a b");
    const QString capital = Shortcut("caps.URL", "http://caps.test/");
    const struct {
      QWidget* Page;
      QComboBox* Field;
      QStringList Files;
      QString Want;
    } cases[] = {
        {Form().Ping, Form().PngServ_CB, {ping}, "host.test"},
        {Form().Finger, Form().FngrServ_CB, {ping}, "host.test"},
        {Form().NsLookupEx, Form().Ex_CB, {ping}, "host.test"},
        {Form().Http, Form().HHURL_CB, {ping}, "http://host.test:8080/a/b"},
        {Form().Http, Form().HHURL_CB, {blank}, "a b"},
        {Form().Ping, Form().PngServ_CB, {blank}, "kept"},
        {Form().Ping, Form().PngServ_CB, {capital}, "kept"},
        {Form().Ping, Form().PngServ_CB, {capital, ping}, "kept"},  // the first file only
    };
    for (const auto& c : cases) {
      Form().PageControl->setCurrentWidget(c.Page);
      c.Field->setEditText("kept");
      Drop(c.Files);
      QCOMPARE(c.Field->currentText(), c.Want);
      QCOMPARE(Form().PageControl->currentWidget(), c.Page);
      QCOMPARE(c.Field->count(), 0);  // the history is untouched
    }
  }

  // The picture ticks during a run, ends in the final colour, and is at
  // rest again after the next repaint.
  void activityPictureDuringARun() {
    TLoopbackServer server;
    server.SetSilent(true);
    TFormDeps deps = Deps();
    deps.FingerPort = server.Port();
    QVERIFY(Open(deps));
    const auto colourOnLine = [this] {
      // Column 126 of the picture is a fixed line from top to bottom.
      const TPictureArea area =
          PictureArea(Form().PageControl->width(), Form().centralWidget()->width(),
                      Form().Stop_Btn->y() + Form().Stop_Btn->height(), Form().ExtMemo->y());
      const QImage shot = Form().centralWidget()->grab().toImage();
      return shot.pixelColor(area.Dest.left() + 126 - area.SourceLeft, area.Dest.top() + 5);
    };
    QCOMPARE(colourOnLine(), PictureRestColour);
    const int frame = Form().AnimFrame;
    Start(Form().Finger, Form().FngrServ_CB, "127.0.0.1");
    QTRY_VERIFY(Form().AnimFrame != frame);
    QCOMPARE(TAnimation::LiveCount(), 1);
    QTest::mouseClick(Form().Stop_Btn, Qt::LeftButton);
    QTRY_COMPARE(TAnimation::LiveCount(), 0);
    QTRY_COMPARE(Form().findChildren<TAnimation*>().size(), 0);  // gone by itself
    const int stopped = Form().AnimFrame;
    QTest::qWait(300);
    QCOMPARE(Form().AnimFrame, stopped);  // no tick after the stop
    Form().centralWidget()->repaint();
    QCOMPARE(colourOnLine(), PictureRestColour);
  }

  // The shortcuts with the focus in the pane.
  void shortcutsInThePane() {
    Fill("alpha\nbeta");
    Form().ExtMemo->setFocus();
    QApplication::clipboard()->clear();
    QTest::keyClick(Form().ExtMemo, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(Form().ExtMemo->SelLength(), Form().ExtMemo->TextLength());
    Form().ExtMemo->SetSelection(0, 5);
    QTest::keyClick(Form().ExtMemo, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QString("alpha"));
    QTest::keyClick(Form().ExtMemo, Qt::Key_L, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QString("alpha\nbeta\n"));
    QCOMPARE(Form().ExtMemo->SelLength(), 5);  // the selection stays
    QTest::keyClick(Form().ExtMemo, Qt::Key_F1);
    QTRY_VERIFY(THelpViewer::Instance() && THelpViewer::Instance()->isVisible());
    THelpViewer::Instance()->close();
    QTest::keyClick(Form().ExtMemo, Qt::Key_Delete, Qt::ShiftModifier);
    QVERIFY(Form().ExtMemo->IsEmpty());
  }

  // Auto-scroll on shows the selection without the focus; twice restores.
  void autoScrollTiesHideSelection() {
    QVERIFY(Form().AutoScroll_ChckM->isChecked());
    QVERIFY(!Form().ExtMemo->HideSelection());
    Form().AutoScroll_ChckM->trigger();
    QVERIFY(Form().ExtMemo->HideSelection());
    Form().AutoScroll_ChckM->trigger();
    QVERIFY(Form().AutoScroll_ChckM->isChecked());
    QVERIFY(!Form().ExtMemo->HideSelection());
  }

  // At twice the design size no page's fixed controls or tabs are cut off:
  // the window grows as far as needed.
  void twiceTheFontCutsNothingOff() {
    QFont big(Form().FOutputFont.family());
    big.setPointSize(18);
    Form().FontDialogApply(big);
    QCOMPARE(Form().Go_Btn->height(), Form().FngrServ_LBL->height() + 12);
    for (int page = 0; page < Form().PageControl->count(); ++page) {
      Form().PageControl->setCurrentIndex(page);
      QWidget* shown = Form().PageControl->currentWidget();
      // The tab row fits, unless the screen itself is too narrow for it.
      QVERIFY(Form().PageControl->tabBar()->sizeHint().width() <= Form().PageControl->width() ||
              Form().frameGeometry().width() >= Form().screen()->availableGeometry().width());
      for (auto* w : shown->findChildren<QLabel*>())
        QVERIFY2(w->geometry().right() < shown->width(), qPrintable(w->objectName()));
      for (auto* w : shown->findChildren<QLineEdit*>())
        QVERIFY2(w->geometry().right() < shown->width(), qPrintable(w->objectName()));
    }
  }
};

QTEST_MAIN(ViewCommandsTest)
#include "ViewCommandsTest.moc"
