// The window's controls, captions, histories and input rules.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "FormFixture.h"
#include "TestStores.h"
#include "widgets/UpDown.h"

class MainWindowTest : public QObject, public TFormFixture {
  Q_OBJECT
 private slots:
  void initTestCase() { IsolateSettingsStores(); }
  void init() { QVERIFY(Open()); }
  void cleanup() { QVERIFY(Shut()); }

  void pagesInOrderWithCaptions() {
    const QStringList names{"Finger",   "Whois",      "Ping", "TraceRoute",
                            "NsLookup", "NsLookupEx", "Http"};
    const QStringList captions{"Finger",    "Whois",   "Ping", "TraceRoute",
                               "NS Lookup", "IP Scan", "HTTP"};
    QCOMPARE(Form().PageControl->count(), 7);
    for (int i = 0; i < 7; ++i) {
      QCOMPARE(Form().PageControl->widget(i)->objectName(), names[i]);
      QCOMPARE(Form().PageControl->tabText(i), captions[i]);
    }
    Form().PageControl->setCurrentIndex(5);
    QCOMPARE(Form().windowTitle(), QString("IP Scan - Ostrekon"));
    Form().PageControl->setCurrentIndex(2);
    QCOMPARE(Form().windowTitle(), QString("Ping - Ostrekon"));
  }

  void everyDocumentedControlIsThereByName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    const QList<std::pair<const char*, const char*>> rows = {
        {"Go_Btn", "開始(&G)"},
        {"Stop_Btn", "中止(&S)"},
        {"FngrServ_Del", "削除"},
        {"FngrReq_Del", "削除"},
        {"WhoisServ_Del", "削除"},
        {"WhoisReq_Del", "削除"},
        {"PngServ_Del", "削除"},
        {"TRServ_Del", "削除"},
        {"NSServ_Del", "削除"},
        {"Ex_Del", "削除"},
        {"HHURL_Del", "削除"},
        {"FngrWall_ChckB", "ファイアウォールを使う"},
        {"WhoisWall_ChckB", "ファイアウォールを使う"},
        {"WhoisRefer_ChckB", "参照先もたどる"},
        {"FngrWall_Btn", "設定..."},
        {"WhoisWall_Btn", "設定..."},
        {"FngrServ_LBL", "Fingerサーバ"},
        {"FngrReq_LBL", "照会文字列"},
        {"WhoisServ_LBL", "Whoisサーバ"},
        {"WhoisReq_LBL", "照会文字列"},
        {"PngDntFrg_ChckB", "断片化しない"},
        {"PngServ_LBL", "対象ホスト"},
        {"PngTout_LBL", "タイムアウト"},
        {"PngReqNum_LBL", "リクエスト数"},
        {"PngDelay_LBL", "ディレイ"},
        {"PngPSize_LBL", "データサイズ"},
        {"PngTTL_LBL", "TTL"},
        {"TRReslvHost_ChckB", "ホスト名を解決する"},
        {"TRServ_LBL", "対象ホスト"},
        {"TRTout_LBL", "タイムアウト"},
        {"TRStHop_LBL", "開始ホップ"},
        {"TRMaxHop_LBL", "最大ホップ"},
        {"NSServ_LBL", "対象ホスト"},
        {"NSTout_LBL", "タイムアウト"},
        {"ExAll_ChckB", "見つかったホストの情報だけを表示する"},
        {"Ex_LBL", "対象アドレス"},
        {"ExCmm_LBL", "."},
        {"ExCmm_LBL2", "～"},
        {"HTTPHEAD_RBTN", "HEAD"},
        {"HTTPGET_RBTN", "GET"},
        {"HHURL_LBL", "場所"}};
    for (auto [name, text] : rows) QTest::newRow(name) << QString(name) << QString::fromUtf8(text);
  }
  void everyDocumentedControlIsThereByName() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QWidget* w = Form().findChild<QWidget*>(name);
    QVERIFY2(w, qPrintable(name));
    if (auto* b = qobject_cast<QAbstractButton*>(w)) QCOMPARE(b->text(), text);
    if (auto* l = qobject_cast<QLabel*>(w)) QCOMPARE(l->text(), text);
  }

  void spinControlsHaveTheirRangesAndDefaults_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("value");
    // With no stored settings the first start takes the settings' defaults.
    QTest::newRow("PngTout") << "PngTout_UD" << 1 << 60 << 5;
    QTest::newRow("PngReqNum") << "PngReqNum_UD" << 1 << 999 << 4;
    QTest::newRow("PngDelay") << "PngDelay_UD" << 100 << 10000 << 500;
    QTest::newRow("PngPSize") << "PngPSize_UD" << 16 << 4096 << 64;
    QTest::newRow("PngTTL") << "PngTTL_UD" << 1 << 255 << 255;
    QTest::newRow("TRTout") << "TRTout_UD" << 1 << 60 << 5;
    QTest::newRow("TRStHop") << "TRStHop_UD" << 1 << 64 << 1;
    QTest::newRow("TRMaxHop") << "TRMaxHop_UD" << 1 << 64 << 64;
    QTest::newRow("NSTout") << "NSTout_UD" << 5 << 60 << 5;
    QTest::newRow("Ex1") << "Ex_UD1" << 0 << 255 << 0;
    QTest::newRow("Ex2") << "Ex_UD2" << 0 << 255 << 255;
  }
  void spinControlsHaveTheirRangesAndDefaults() {
    QFETCH(QString, name);
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(int, value);
    auto* ud = Form().findChild<TUpDown*>(name);
    QVERIFY(ud);
    QCOMPARE(ud->Position(), value);
    QCOMPARE(ud->Buddy()->text(), QString::number(value));
    // No wrap-around at either end; typed values are clamped.
    ud->SetPosition(max);
    QTest::keyClick(ud, Qt::Key_Up);
    QCOMPARE(ud->Position(), max);
    ud->SetPosition(min);
    QTest::keyClick(ud, Qt::Key_Down);
    QCOMPARE(ud->Position(), min);
    ud->Buddy()->setText(QString::number(max + 1));
    ud->WriteBack();
    QCOMPARE(ud->Buddy()->text(), QString::number(max));
  }

  void hintsAndDefaults() {
    QCOMPARE(Form().FngrServ_CB->toolTip(), QStringLiteral("ホスト名 or ホストアドレス"));
    QCOMPARE(Form().PngDelay_Edt->toolTip(), QStringLiteral("ミリ秒で指定"));
    QCOMPARE(Form().NSTout_Edt->toolTip(), QStringLiteral("秒で指定"));
    QVERIFY(Form().HTTPHEAD_RBTN->isChecked());
    QVERIFY(!Form().Stop_Btn->isEnabled());
    QVERIFY(!Form().FngrWall_ChckB->isEnabled());  // no relay configured
    QVERIFY(!Form().Clear_ChckM->isChecked());
    QVERIFY(Form().AutoScroll_ChckM->isChecked());
    QCOMPARE(Form().CpAll_ExMM->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
    QCOMPARE(Form().DeleteAll_ExMM->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_Delete));
    QTest::keyClicks(Form().ExtMemo, "typed");  // read-only
    QVERIFY(Form().ExtMemo->IsEmpty());
  }

  void focusOrderWithinThePingPage() {
    Form().PageControl->setCurrentWidget(Form().Ping);
    const QList<QWidget*> order{Form().PngServ_CB,      Form().PngTout_Edt,  Form().PngReqNum_Edt,
                                Form().PngDelay_Edt,    Form().PngPSize_Edt, Form().PngTTL_Edt,
                                Form().PngDntFrg_ChckB, Form().PngServ_Del,  Form().PngTout_UD};
    for (qsizetype i = 1; i < order.size(); ++i) {
      QWidget* next = order[i - 1]->nextInFocusChain();
      // A combo box's own line edit sits between it and the next control.
      while (next && next->parentWidget() == order[i - 1]) next = next->nextInFocusChain();
      QCOMPARE(next, order[i]);
    }
  }

  void deleteButtonsRemoveFromTheirOwnHistory() {
    QComboBox* box = Form().NSServ_CB;
    for (const char* t : {"c", "b", "a"}) {
      box->setEditText(t);
      Form().AddToHistory(box);
    }
    box->setEditText("b");
    QTest::mouseClick(Form().NSServ_Del, Qt::LeftButton);
    QCOMPARE(box->count(), 2);
    QCOMPARE(box->currentText(), QString("a"));
    QCOMPARE(Form().Ex_CB->count(), 0);
  }

  void copyAllKeepsTheSelection() {
    Form().ExtMemo->AppendLines("one\ntwo\nthree", false);
    Form().ExtMemo->SetSelection(4, 3);
    Form().CpAll_ExMMClick();
    QCOMPARE(QApplication::clipboard()->text(), QString("one\ntwo\nthree\n"));
    QCOMPARE(Form().ExtMemo->SelectedText(), QString("two"));
  }

  void saveAsAsksBeforeOverwriting() {
    QTemporaryDir dir;
    const QString path = dir.filePath("out.txt");
    TFormDeps deps = Deps();
    deps.ChooseSaveFile = [&](QWidget*, const QString&) { return path; };
    QVERIFY(Open(deps));
    Form().ExtMemo->AppendLines(QStringLiteral("一行目\nsecond"), false);
    auto answerDialogs = [&](QMessageBox::StandardButton overwrite) {
      if (QFile::exists(path))
        WhenModal<QMessageBox>(this, [=](QMessageBox* box) {
          QVERIFY(box->text().contains(QStringLiteral("このファイルはすでに存在します。")));
          box->button(overwrite)->click();
        });
      Form().Save_ExMMClick();
    };
    answerDialogs(QMessageBox::Yes);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("\x88\xea\x8d\x73\x96\xda\r\nsecond\r\n"));
    file.close();
    Form().ExtMemo->clear();
    Form().ExtMemo->AppendLines("changed", false);
    answerDialogs(QMessageBox::No);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().endsWith("second\r\n"));  // kept
    file.close();
    answerDialogs(QMessageBox::Yes);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("changed\r\n"));
  }

  void autoScrollFollowsTheOutputOnlyWhenOn() {
    auto* bar = Form().ExtMemo->verticalScrollBar();
    QStringList numbers;
    for (int i = 0; i < 500; ++i) numbers << QString::number(i);
    const QString many = numbers.join('\n');
    Form().AutoScroll_ChckM->setChecked(false);
    Form().ExtMemo->AppendLines(many, Form().AutoScroll_ChckM->isChecked());
    bar->setValue(10);
    Form().ExtMemo->AppendLines(many, Form().AutoScroll_ChckM->isChecked());
    QCOMPARE(bar->value(), 10);
    Form().AutoScroll_ChckM->setChecked(true);
    Form().ExtMemo->AppendLines(many, Form().AutoScroll_ChckM->isChecked());
    QCOMPARE(bar->value(), bar->maximum());
    // The pane shows the end, with the caret there.
    QVERIFY(Form().ExtMemo->isVisible());
    QCOMPARE(Form().ExtMemo->LineFromChar(Form().ExtMemo->CharFromPoint({4, 4})), bar->value());
    QVERIFY(Form().ExtMemo->viewport()->rect().contains(Form().ExtMemo->CaretRect()));
  }

  void enterPressesStartOrStop() {
    // An empty host starts nothing, but Enter reached the start button.
    Form().PageControl->setCurrentWidget(Form().Finger);
    Form().FngrServ_CB->setFocus();
    QSignalSpy clicked(Form().Go_Btn, &QPushButton::clicked);
    QTest::keyClick(Form().FngrServ_CB->lineEdit(), Qt::Key_Return);
    QCOMPARE(clicked.count(), 1);
    // On another push button, Enter belongs to that button.
    QSignalSpy del(Form().FngrServ_Del, &QPushButton::clicked);
    Form().FngrServ_Del->setFocus();
    QTest::keyClick(Form().FngrServ_Del, Qt::Key_Return);
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(del.count(), 1);
  }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
