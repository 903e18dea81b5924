// The four small dialogs: log settings, relay host, socket-layer information
// and about box.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>

#include "common/Cp932.h"
#include "dialogs/About.h"
#include "dialogs/DialogCommon.h"
#include "dialogs/FireWall.h"
#include "dialogs/Information.h"
#include "dialogs/Log.h"
#include "platform/EchoMethod.h"
#include "platform/RawIcmpHelper.h"

namespace {

// Answers every message box that opens while it lives: records its text and
// presses its button.
class TBoxCatcher : public QObject {
 public:
  TBoxCatcher() { Poll(); }
  QStringList Texts;
  bool ErrorBoxesOnly = true;  // critical icon, a single OK button

 private:
  void Poll() {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      Texts << box->text();
      ErrorBoxesOnly = ErrorBoxesOnly && box->icon() == QMessageBox::Critical &&
                       box->buttons() == QList<QAbstractButton*>{box->button(QMessageBox::Ok)};
      box->buttons().first()->click();
    }
    QTimer::singleShot(5, this, [this] { Poll(); });
  }
};

const QString ForbiddenText =
    QStringLiteral("ファイル名に次の文字は使えません。\r\n \\ / : , ; * ? \" < > |");

QRadioButton* ModeButton(TLogSetBox& box, int mode) {
  return mode == 2 ? box.YMDFile_RB : mode == 1 ? box.SameFile_RB : box.NoLog_RB;
}

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"),
                               {QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック")});
  }

  void placementRules_data() {
    QTest::addColumn<QRect>("owner");
    QTest::addColumn<int>("divisor");
    QTest::addColumn<QPoint>("expected");
    // A 200 x 100 dialog on an 800 x 600 screen; screen-centred at (300, 250).
    QTest::newRow("centred over owner") << QRect(100, 100, 400, 300) << 2 << QPoint(200, 200);
    QTest::newRow("a third above") << QRect(100, 100, 400, 300) << 3 << QPoint(200, 166);
    QTest::newRow("left at 1 stays") << QRect(-99, 100, 400, 300) << 2 << QPoint(1, 200);
    QTest::newRow("left at 0 moves") << QRect(-100, 100, 400, 300) << 2 << QPoint(300, 250);
    QTest::newRow("top at 0 moves") << QRect(100, -100, 400, 300) << 2 << QPoint(300, 250);
    QTest::newRow("right edge reached") << QRect(500, 100, 400, 300) << 2 << QPoint(300, 250);
    QTest::newRow("right short by 1") << QRect(499, 100, 400, 300) << 2 << QPoint(599, 200);
    QTest::newRow("bottom edge reached") << QRect(100, 400, 400, 300) << 2 << QPoint(300, 250);
    QTest::newRow("bottom short by 1") << QRect(100, 399, 400, 300) << 2 << QPoint(200, 499);
    // Negative spare space: the division rounds toward zero, not down.
    QTest::newRow("owner smaller") << QRect(300, 300, 101, 1) << 2 << QPoint(251, 251);
  }
  void placementRules() {
    QFETCH(QRect, owner);
    QFETCH(int, divisor);
    QFETCH(QPoint, expected);
    QCOMPARE(DialogPosition(owner, QSize(200, 100), QRect(0, 0, 800, 600), divisor), expected);
  }

  void eachDialogOpensOverItsOwnerOrOnTheScreen() {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    for (const QRect& frame : {QRect(100, 80, 600, 450), QRect(-500, 80, 600, 450)}) {
      QWidget owner;
      owner.setGeometry(frame);
      TLogSetBox log(&owner, 0, {}, {});
      TFireWallForm relay(&owner, {});
      TWinsockInfoBox info(&owner, TWsaData{}, false);
      TAboutBox about(&owner, [](const QUrl&) { return true; });
      for (QWidget* dialog : std::initializer_list<QWidget*>{&log, &relay, &info, &about}) {
        const QSize size = dialog->frameGeometry().size();
        const QPoint expected = frame.left() > 0
                                    ? QPoint(frame.left() + (frame.width() - size.width()) / 2,
                                             frame.top() + (frame.height() - size.height()) /
                                                               (dialog == &relay ? 3 : 2))
                                    : QPoint((screen.width() - size.width()) / 2,
                                             (screen.height() - size.height()) / 2);
        QCOMPARE(dialog->pos(), expected);
      }
    }
  }

  void logOpensWithTheModeChecked_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("shown");
    QTest::newRow("none") << 0 << 0;
    QTest::newRow("one file") << 1 << 1;
    QTest::newRow("daily") << 2 << 2;
    QTest::newRow("unknown 5") << 5 << 0;
    QTest::newRow("negative") << -1 << 0;
  }
  void logOpensWithTheModeChecked() {
    QFETCH(int, mode);
    QFETCH(int, shown);
    TLogSetBox box(nullptr, mode, QStringLiteral("a.log"), QStringLiteral("np"));
    QCOMPARE(box.windowTitle(), QStringLiteral("ログの作成"));
    QVERIFY(ModeButton(box, shown)->isChecked());
    QCOMPARE(box.LogName_EDT->text(), QStringLiteral("a.log"));
    QCOMPARE(box.PreName_EDT->text(), QStringLiteral("np"));
    QCOMPARE(box.LogName_EDT->isEnabled(), shown == 1);
    QCOMPARE(box.PreName_EDT->isEnabled(), shown == 2);
  }

  void logEnableRules_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("nameOn");
    QTest::addColumn<bool>("prefixOn");
    QTest::newRow("same file") << 1 << true << false;
    QTest::newRow("daily") << 2 << false << true;
    QTest::newRow("no log") << 0 << false << false;
  }
  void logEnableRules() {
    QFETCH(int, mode);
    QFETCH(bool, nameOn);
    QFETCH(bool, prefixOn);
    TLogSetBox box(nullptr, mode == 1 ? 2 : 1, {}, {});  // so the click changes something
    ModeButton(box, mode)->click();
    QCOMPARE(box.LogName_EDT->isEnabled(), nameOn);
    QCOMPARE(box.LogName_LBL->isEnabled(), nameOn);
    QCOMPARE(box.PreName_EDT->isEnabled(), prefixOn);
    QCOMPARE(box.PreName_LBL->isEnabled(), prefixOn);
    const QColor window = box.palette().color(QPalette::Base);
    const QColor face = box.palette().color(QPalette::Button);
    QCOMPARE(box.LogName_EDT->palette().color(QPalette::Base), nameOn ? window : face);
    QCOMPARE(box.PreName_EDT->palette().color(QPalette::Base), prefixOn ? window : face);
  }

  void logConfirmStep_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("boxText");  // empty: accepted
    QTest::addColumn<QString>("focus");
    const auto message = &TLogSetBox::FaultMessage;
    QTest::newRow("one file") << 1 << "run.log"
                              << ""
                              << ""
                              << "";
    QTest::newRow("colon") << 1 << "a:b.txt"
                           << "" << ForbiddenText << "LogName_EDT";
    QTest::newRow("empty name") << 1 << ""
                                << ""
                                << "ファイル名を入力してください。"
                                << "LogName_EDT";
    QTest::newRow("parent dir") << 1 << "../x.log"
                                << "" << ForbiddenText << "LogName_EDT";
    QTest::newRow("backslash") << 1 << "a\\b"
                               << "" << ForbiddenText << "LogName_EDT";
    QTest::newRow("dot dot") << 1 << ".."
                             << "" << message(TFileNameFault::DotName) << "LogName_EDT";
    QTest::newRow("control") << 1 << "a\tb"
                             << "" << message(TFileNameFault::ControlChar) << "LogName_EDT";
    QTest::newRow("not sjis") << 1 << QString::fromUtf8("r\u00E9sum\u00E9") << ""
                              << message(TFileNameFault::NotSjis) << "LogName_EDT";
    QTest::newRow("trail byte 0x5C") << 1 << "表ソ.log"
                                     << ""
                                     << ""
                                     << "";
    // A bad file name does not matter in mode 2, and the prefix may be empty.
    QTest::newRow("empty prefix") << 2 << "a:b"
                                  << ""
                                  << ""
                                  << "";
    QTest::newRow("prefix slash") << 2 << ""
                                  << "logs/" << ForbiddenText << "PreName_EDT";
    QTest::newRow("no log, bad names") << 0 << "a:b"
                                       << "<x>"
                                       << ""
                                       << "";
  }
  void logConfirmStep() {
    QFETCH(int, mode);
    QFETCH(QString, name);
    QFETCH(QString, prefix);
    QFETCH(QString, boxText);
    QFETCH(QString, focus);
    TLogSetBox box(nullptr, 7, QStringLiteral("old.log"), QStringLiteral("old"));
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    ModeButton(box, mode)->click();
    box.LogName_EDT->setText(name);
    box.PreName_EDT->setText(prefix);
    TBoxCatcher boxes;
    QTest::mouseClick(box.OKButton, Qt::LeftButton);
    QVERIFY(boxes.ErrorBoxesOnly);
    if (boxText.isEmpty()) {
      QCOMPARE(boxes.Texts, QStringList());
      QCOMPARE(box.result(), int(QDialog::Accepted));
      QVERIFY(!box.isVisible());
      QCOMPARE(box.Mode(), mode);
      QCOMPARE(box.FileName(), name);
      QCOMPARE(box.Prefix(), prefix);
      return;
    }
    QCOMPARE(boxes.Texts, QStringList{boxText});
    QVERIFY(box.isVisible());
    QCOMPARE(box.focusWidget()->objectName(), focus);
    // A refused name is not taken, so no mode can ever write with it.
    QCOMPARE(box.Mode(), 7);
    QCOMPARE(box.FileName(), QStringLiteral("old.log"));
    QCOMPARE(box.Prefix(), QStringLiteral("old"));
  }

  void logNamesAreCutTo64Bytes() {
    TLogSetBox box(nullptr, 1, {}, {});
    box.LogName_EDT->setText(QString(70, QChar('n')));
    // The double-byte character would end at byte 65: it goes whole.
    box.PreName_EDT->setText(QString(63, QChar('p')) + QStringLiteral("表x"));
    QVERIFY(box.OKButtonEnter());
    QCOMPARE(box.FileName(), QString(64, QChar('n')));
    QCOMPARE(box.Prefix(), QString(63, QChar('p')));
  }

  void logModalRunClosesOnlyAfterAGoodName() {
    TLogSetBox box(nullptr, 2, QStringLiteral("f.log"), QStringLiteral("np"));
    TBoxCatcher boxes;
    QTimer::singleShot(0, &box, [&] {
      box.SameFile_RB->click();
      box.LogName_EDT->setFocus();
      box.LogName_EDT->setText(QStringLiteral("x*.log"));
      QTest::keyClick(box.LogName_EDT, Qt::Key_Return);  // the default button: refused
      QVERIFY(box.isVisible());
      box.LogName_EDT->setText(QStringLiteral("x.log"));
      box.OKButton->click();
    });
    QCOMPARE(box.exec(), int(QDialog::Accepted));
    QCOMPARE(boxes.Texts, QStringList{ForbiddenText});
    QCOMPARE(box.Mode(), 1);
    QCOMPARE(box.FileName(), QStringLiteral("x.log"));
  }

  void logCancelAfterARefusalKeepsEverything() {
    TLogSetBox box(nullptr, 2, QStringLiteral("f.log"), QStringLiteral("np"));
    TBoxCatcher boxes;
    QTimer::singleShot(0, &box, [&] {
      box.PreName_EDT->setText(QStringLiteral("../np"));
      box.OKButton->click();
      box.CancelButton->click();
    });
    QCOMPARE(box.exec(), int(QDialog::Rejected));
    QCOMPARE(boxes.Texts, QStringList{ForbiddenText});
    QCOMPARE(box.Mode(), 2);
    QCOMPARE(box.Prefix(), QStringLiteral("np"));
    QCOMPARE(box.FileName(), QStringLiteral("f.log"));
  }

  void relayEditsTheHostAndTheCheckBoxState_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("after");
    QTest::newRow("set") << ""
                         << "fw.example" << true << "fw.example";
    QTest::newRow("cleared") << "fw.example"
                             << "" << true << "";
    QTest::newRow("blanks kept") << ""
                                 << "  fw  " << true << "  fw  ";
    QTest::newRow("cancel keeps host") << "fw.example"
                                       << "" << false << "fw.example";
    QTest::newRow("cancel keeps none") << ""
                                       << "other" << false << "";
  }
  void relayEditsTheHostAndTheCheckBoxState() {
    QFETCH(QString, before);
    QFETCH(QString, typed);
    QFETCH(bool, ok);
    QFETCH(QString, after);
    TFireWallForm form(nullptr, before);
    QCOMPARE(form.windowTitle(), QStringLiteral("ファイアウォール設定"));
    QTimer::singleShot(0, &form, [&] {
      QCOMPARE(form.FireWall_Edt->text(), before);
      form.FireWall_Edt->clear();
      QTest::keyClicks(form.FireWall_Edt, typed);
      (ok ? form.OKButton : form.CancelButton)->click();
    });
    QCOMPARE(form.exec(), int(ok ? QDialog::Accepted : QDialog::Rejected));
    QCOMPARE(form.Relay(), after);
    QCOMPARE(form.RelayEnabled(), !after.isEmpty());
  }

  void infoShowsTheRecord_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("high");
    QTest::addColumn<QString>("versionText");
    QTest::addColumn<QString>("highText");
    QTest::newRow("1.1 / 2.2") << 0x0101 << 0x0202 << "1.1"
                               << "2.2 (Highest)";
    QTest::newRow("2.0 high") << 0x0101 << 0x0002 << "1.1"
                              << "2.0 (Highest)";
    QTest::newRow("minor above 9") << 0x0A01 << 0x0102 << "1.10"
                                   << "2.1 (Highest)";
  }
  void infoShowsTheRecord() {
    QFETCH(int, version);
    QFETCH(int, high);
    QFETCH(QString, versionText);
    QFETCH(QString, highText);
    TWsaData record{quint16(version),        quint16(high), "Linux Sockets",
                    "\x89^\x93\xAE\x92\x86", 1024,          65507};  // status 運動中 in Shift_JIS
    TWinsockInfoBox box(nullptr, record, false);
    QCOMPARE(box.windowTitle(), QStringLiteral("Winsock情報"));
    QCOMPARE(box.Version_LBL1->text(), versionText);
    QCOMPARE(box.Version_LBL2->text(), highText);
    QCOMPARE(box.MaxSock_LBL->text(), QStringLiteral("1024"));
    QCOMPARE(box.MaxSize_LBL->text(), QStringLiteral("65507"));
    QCOMPARE(box.Status_LBL1->text(), QStringLiteral("Linux Sockets"));
    QCOMPARE(box.Status_LBL2->text(), QStringLiteral("運動中"));
  }

  void infoShowsTheEchoMethodAndAFullDescription() {
    TWsaData record;
    memset(record.Description, 'd', sizeof record.Description);  // no zero byte at all
    TWinsockInfoBox raw(nullptr, record, false);
    QCOMPARE(raw.Status_LBL1->text(), QString(257, QChar('d')));
    QCOMPARE(raw.Status_LBL3->text(), QStringLiteral("RAWソケットがサポートされています。"));
    QCOMPARE(TWinsockInfoBox(nullptr, record, true).Status_LBL3->text(),
             QStringLiteral("ICMP.DLLがロードされています。"));
    // Not "loaded" when the service could not open its socket either.
    QCOMPARE(TWinsockInfoBox(nullptr, record, true, {}, {}, false).Status_LBL3->text(),
             QStringLiteral("ICMP.DLL Load Error"));
    // Why the raw sockets are closed, and what would open them, below.
    QVERIFY(raw.EchoReason_LBL->isHidden());
    TWinsockInfoBox service(nullptr, record, true, RawIcmpFailure(EPERM));
    QVERIFY(!service.EchoReason_LBL->isHidden());
    QVERIFY(service.EchoReason_LBL->text().contains(IcmpHelperPath()));
  }

  void infoClosesWithOkAndEscape() {
    TWinsockInfoBox box(nullptr, TWsaData{}, false);
    QTimer::singleShot(0, &box, [&] { box.OKButton->click(); });
    QCOMPARE(box.exec(), int(QDialog::Accepted));
    QTimer::singleShot(0, &box, [&] { QTest::keyClick(&box, Qt::Key_Escape); });
    QCOMPARE(box.exec(), int(QDialog::Rejected));
  }

  void aboutTexts() {
    TAboutBox box(nullptr, [](const QUrl&) { return true; });
    QCOMPARE(box.windowTitle(), QStringLiteral("About Ostrekon"));
    QCOMPARE(box.Label1->text(), QStringLiteral("Ostrekon Ver. 0.9"));
    // The project's home as the package names it, and no made-up contact.
    QCOMPARE(box.Label5->text(), QStringLiteral("https://qmzt.github.io/ostrekon/"));
    QCOMPARE(TAboutBox::WebAddress(), box.Label5->text());
    for (QLabel* label : box.findChildren<QLabel*>())
      QVERIFY2(!label->text().contains("example."), qPrintable(label->text()));
    QVERIFY(box.Label5->font().underline());
    QCOMPARE(box.Label5->palette().color(QPalette::WindowText), QColor(Qt::blue));
    QCOMPARE(box.Label5->cursor().shape(), Qt::PointingHandCursor);
    // Where files live in both modes, whichever this copy is in.
    for (const char* place :
         {"ostrekon.ini", "~/.config/qmzt/Ostrekon/", "~/.local/share/qmzt/Ostrekon/"})
      QVERIFY2(box.Places_LBL->text().contains(place), place);
  }

  void aboutLinks_data() {
    QTest::addColumn<bool>("opens");
    QTest::newRow("web opens") << true;
    QTest::newRow("web fails") << false;
  }
  void aboutLinks() {
    QFETCH(bool, opens);
    QList<QUrl> opened;
    TAboutBox box(nullptr, [&](const QUrl& url) {
      opened << url;
      return opens;
    });
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    const QString target = TAboutBox::WebAddress();
    TBoxCatcher boxes;
    QTest::mouseClick(box.Label5, Qt::LeftButton);
    QCOMPARE(opened, QList<QUrl>{QUrl(target)});
    QCOMPARE(boxes.Texts, opens ? QStringList()
                                : QStringList{target + QStringLiteral("を開くことができません。")});
    QVERIFY(boxes.ErrorBoxesOnly);
    QVERIFY(box.isVisible());  // the about box stays open either way
  }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
