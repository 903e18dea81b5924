// The pane's font and the layout that follows it: the font dialog, a large
// stored font, the minimum size, and the windows on an 800 x 600 screen.
#include <QAction>
#include <QFontInfo>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>

#include "FormFixture.h"
#include "TestStores.h"
#include "dialogs/FontDlg.h"
#include "dialogs/HelpView.h"
#include "settings/SettingsStore.h"
#include "widgets/UpDown.h"

class FontLayoutTest : public QObject, public TFormFixture {
  Q_OBJECT
  // Starts the window from an INI file holding these lines.
  bool OpenWith(const QByteArray& ini) {
    QFile file(SettingsIniPath());
    if (!file.open(QIODevice::WriteOnly) || file.write(ini) != ini.size()) return false;
    file.close();
    return Open();
  }
  // Opens the font dialog from the menu, runs answer in it, and presses OK.
  void InFontDialog(const std::function<void(TFontDialog*)>& answer) {
    WhenModal<TFontDialog>(this, [answer](TFontDialog* d) {
      answer(d);
      QTest::keyClick(d, Qt::Key_Return);
    });
    Form().findChild<QAction*>("Font_ExMM")->trigger();
  }

 private slots:
  void initTestCase() { IsolateSettingsStores(); }
  void cleanup() { QVERIFY(Shut()); }  // the help window goes with it

  // The dialog opens on the pane's font and OK keeps it. The design font
  // heads the list under its own name; its IPA stand-in, fixed pitch by its
  // glyphs though not by Qt's flag, is not listed again, and is what the
  // pane gets when the design font is chosen again.
  void fontDialog() {
    QVERIFY(OpenWith({}));
    const QFont design = Form().ExtMemo->font();
    InFontDialog([](TFontDialog* d) {
      QCOMPARE(d->Family_CB->currentText(), QStringLiteral("ＭＳ ゴシック"));
      QCOMPARE(d->Size_SE->value(), 9);
      QCOMPARE(d->Family_CB->itemText(0), d->Family_CB->currentText());
      QCOMPARE(d->Family_CB->findText("IPAGothic"), -1);
    });
    QCOMPARE(Form().ExtMemo->font(), design);
    Form().FontDialogApply(QFont(QStringLiteral("IPAPGothic"), 14));
    InFontDialog([](TFontDialog* d) {
      QCOMPARE(d->Family_CB->currentText(), QStringLiteral("IPAPGothic"));  // though not offered
      QTest::keyClick(d->Family_CB, Qt::Key_Home);
    });
    QCOMPARE(QFontInfo(Form().ExtMemo->font()).family(), QStringLiteral("IPAGothic"));
  }

  // Restarted with a font larger than the design's, in a window wide enough
  // for it: the pane ends above the status bar.
  void storedLargeFontKeepsThePaneAboveTheStatusBar() {
    QVERIFY(OpenWith("[Window]\r\nWidth=780\r\nHeight=500\r\n[Others]\r\nFontSize=12\r\n"));
    QTRY_VERIFY(Form().ExtMemo->mapTo(&Form(), QPoint(0, Form().ExtMemo->height())).y() <=
                Form().statusBar()->y());
  }

  // At its minimum size (the design's, where a page fits in it) every page
  // shows each control whole (a check box may be wider than its text), and
  // each number field its range's widest number: the cursor after it stands
  // a whole text width right of the cursor before it.
  void minimumSizeCutsNothingOff() {
    QVERIFY(OpenWith({}));
    for (int page = 0; page < Form().PageControl->count(); ++page) {
      Form().PageControl->setCurrentIndex(page);
      Form().resize(Form().minimumSize());
      QWidget* shown = Form().PageControl->currentWidget();
      for (QWidget* w : shown->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QSize hint = w->sizeHint().isValid() ? w->sizeHint() : w->size();
        const QRect whole(w->pos(), QSize(qMin(w->width(), hint.width()), w->height()));
        QVERIFY2(shown->rect().contains(whole), qPrintable(w->objectName()));
      }
      for (TUpDown* ud : shown->findChildren<TUpDown*>()) {
        ud->SetPosition(ud->Max());
        QLineEdit* field = ud->Buddy();
        const auto cursorX = [field](Qt::Key key) {
          QTest::keyClick(field, key);
          field->repaint();  // where the field scrolls its text
          return field->inputMethodQuery(Qt::ImCursorRectangle).toRect().x();
        };
        const int start = cursorX(Qt::Key_Home);
        QVERIFY2(
            cursorX(Qt::Key_End) - start == field->fontMetrics().horizontalAdvance(field->text()),
            qPrintable(field->objectName()));
      }
    }
    Form().PageControl->setCurrentWidget(Form().Finger);
    QCOMPARE(Form().minimumSize(), QSize(400, 300));
  }

  // The first window, grown by a large font, is centred in the screen's
  // available area; the help window lies inside it too.
  void windowsFitTheScreen() {
    QVERIFY(OpenWith("[Others]\r\nFontSize=18\r\n"));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(area, QRect(0, 0, 800, 600));
    QVERIFY(area.contains(Form().frameGeometry()));
    QCOMPARE(Form().frameGeometry().center(), area.center());
    QTest::keyClick(&Form(), Qt::Key_F1);
    QTRY_VERIFY(THelpViewer::Instance() && THelpViewer::Instance()->isVisible());
    QVERIFY(area.contains(THelpViewer::Instance()->frameGeometry()));
  }
};

// An 800 x 600 screen: the offscreen platform takes its screens from a file.
int main(int argc, char** argv) {
  QTemporaryDir dir;
  QFile screens(dir.filePath("screens.json"));
  if (!screens.open(QIODevice::WriteOnly) ||
      screens.write(R"({"screens": [{"name": "S", "width": 800, "height": 600}]})") < 0)
    return 1;
  screens.close();
  qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.fileName().toUtf8());
  QApplication app(argc, argv);
  FontLayoutTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "FontLayoutTest.moc"
