// The pane's font and the layout that follows it, on an 800 x 600 screen.
#include <QAction>
#include <QStatusBar>
#include <QTemporaryFile>

#include "FormFixture.h"
#include "TestStores.h"
#include "dialogs/FontDlg.h"
#include "dialogs/HelpView.h"
#include "settings/SettingsStore.h"
#include "widgets/UpDown.h"

class FontLayoutTest : public QObject, public TFormFixture {
  Q_OBJECT
  bool OpenWith(const QByteArray& ini) {
    QFile file(SettingsIniPath());
    return file.open(QIODevice::WriteOnly) && file.write(ini) == ini.size() && file.flush() &&
           Open();
  }

 private slots:
  void initTestCase() { IsolateSettingsStores(); }
  void cleanup() { QVERIFY(Shut()); }  // the help window goes with it

  // The dialog opens on the pane's font, even one it does not offer, and OK
  // keeps it. The design font heads the list, its IPA stand-in not listed.
  void fontDialogOpensOnThePanesFont() {
    QVERIFY(OpenWith({}));
    for (const QFont& font : {QFont(QStringLiteral("ＭＳ ゴシック"), 9), QFont("IPAPGothic", 14)}) {
      Form().FontDialogApply(font);
      const QFont pane = Form().ExtMemo->font();
      WhenModal<TFontDialog>(this, [&](TFontDialog* d) {
        QTest::keyClick(d, Qt::Key_Return);  // first: a failed check must not leave it open
        QCOMPARE(d->SelectedFont(), font);
        QCOMPARE(d->Family_CB->itemText(0), QStringLiteral("ＭＳ ゴシック"));
        QCOMPARE(d->Family_CB->findText("IPAGothic"), -1);
      });
      Form().findChild<QAction*>("Font_ExMM")->trigger();
      QCOMPARE(Form().ExtMemo->font(), pane);
    }
  }

  // At the design's minimum size every page shows each control whole (a
  // check box may be wider than its text), each number field its widest
  // number: the cursor after it a whole text width right of the one before.
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

  // Restarted with a large font, the pane ends above the status bar; the
  // window lies in the screen's available area (a first window centred in
  // it), and so does the help window.
  void largeStoredFont_data() {
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<bool>("centred");
    QTest::newRow("wide enough for it")
        << QByteArray("[Window]\r\nWidth=780\r\nHeight=500\r\n[Others]\r\nFontSize=12\r\n")
        << false;
    QTest::newRow("first window") << QByteArray("[Others]\r\nFontSize=18\r\n") << true;
  }
  void largeStoredFont() {
    QFETCH(QByteArray, ini);
    QVERIFY(OpenWith(ini));
    QTRY_VERIFY(Form().ExtMemo->mapTo(&Form(), QPoint(0, Form().ExtMemo->height())).y() <=
                Form().statusBar()->y());
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(area, QRect(0, 0, 800, 600));
    QVERIFY(area.contains(Form().frameGeometry()));
    QFETCH(bool, centred);
    if (centred) QCOMPARE(Form().frameGeometry().center(), area.center());
    QTest::keyClick(&Form(), Qt::Key_F1);
    QTRY_VERIFY(THelpViewer::Instance() && THelpViewer::Instance()->isVisible());
    QVERIFY(area.contains(THelpViewer::Instance()->frameGeometry()));
  }
};

// An 800 x 600 screen: the offscreen platform takes its screens from a file.
int main(int argc, char** argv) {
  QTemporaryFile screens;
  if (!screens.open() || screens.write(R"({"screens": [{"width": 800, "height": 600}]})") < 0)
    return 1;
  screens.close();
  qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.fileName().toUtf8());
  QApplication app(argc, argv);
  FontLayoutTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "FontLayoutTest.moc"
