// The statistics panel: shown and hidden from the 表示 menu and kept in the
// settings, filled by a Ping run on loopback, and its samples saved as CSV.
#include <QAction>
#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "FormFixture.h"
#include "TestStores.h"
#include "settings/SettingsStore.h"
#include "widgets/GraphPanel.h"
#include "widgets/UpDown.h"

class GraphPanelTest : public QObject, public TFormFixture {
  Q_OBJECT
 private:
  QString FDir;
  QString FCsv;

  QByteArray Ini() const {
    QFile f(SettingsIniPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  QString Figure(const char* name) const {
    return FForm->findChild<QLabel*>(QString::fromLatin1(name))->text();
  }
  // 表示 → グラフ by its access keys, as a user picks it.
  void PickGraphItem() {
    QTest::keyClick(FForm.get(), Qt::Key_V, Qt::AltModifier);
    QTRY_COMPARE(QApplication::activePopupWidget(), Form().Show1);
    QTest::keyClick(Form().Show1, Qt::Key_G);
    QTRY_VERIFY(!QApplication::activePopupWidget());
  }
  // Closed as the user closes it: the settings are saved.
  bool Close() { return FForm->close() && Shut(); }
  // A short Ping of loopback, waited for.
  void PingLoopback(int count) {
    Form().PngReqNum_UD->SetPosition(count);
    Form().PngDelay_UD->SetPosition(100);
    Start(Form().Ping, Form().PngServ_CB, "127.0.0.1");
    QTRY_VERIFY_WITH_TIMEOUT(Idle(), 10000);
  }

 private slots:
  void initTestCase() { FDir = IsolateSettingsStores(); }
  void init() {
    QFile(SettingsIniPath()).open(QIODevice::WriteOnly);  // empty: the defaults
    FCsv = FDir + "/samples.csv";
    QFile::remove(FCsv);
    TFormDeps deps = Deps();
    deps.ChooseSaveFile = [this](QWidget*, const QString&) { return FCsv; };
    QVERIFY(Open(deps));
  }
  void cleanup() { QVERIFY(Shut()); }

  void menuShowsAndHidesThePanelAndTheSettingIsKept() {
    QVERIFY(Form().GraphPanel->isHidden());
    const int paneHeight = Form().ExtMemo->height();
    PickGraphItem();
    QVERIFY(Form().GraphPanel->isVisible());
    QVERIFY(Form().Graph_ChckM->isChecked());
    QVERIFY(Form().ExtMemo->height() < paneHeight);
    // As small as it goes, the window keeps the pane's lines and the panel's row.
    Form().resize(Form().minimumSize());
    QTRY_COMPARE(Form().size(), Form().minimumSize());
    QVERIFY(Form().ExtMemo->height() >= 4 * Form().ExtMemo->fontMetrics().lineSpacing());
    const QPushButton* save = Form().GraphPanel->GraphSave_Btn;
    QCOMPARE(save->visibleRegion().boundingRect(), save->rect());
    QVERIFY(Close());
    QVERIFY(Ini().contains("ShowGraph=1\r\n"));
    QVERIFY(Ini().contains("GraphHeight="));

    QVERIFY(Open());
    QVERIFY(Form().GraphPanel->isVisible());
    PickGraphItem();
    QVERIFY(Form().GraphPanel->isHidden());
    QVERIFY(!Form().Graph_ChckM->isChecked());
    QVERIFY(Close());
    QVERIFY(!Ini().contains("ShowGraph"));
    QVERIFY(Open());
    QVERIFY(Form().GraphPanel->isHidden());
  }

  // The figures follow the run whether or not the panel is shown, and the
  // summary stays in the status bar after it.
  void figuresAndSummaryFollowAPingRun() {
    QVERIFY(!Form().GraphPanel->GraphSave_Btn->isEnabled());
    QVERIFY(!Form().GraphSave_ExMM->isEnabled());
    PingLoopback(3);
    if (Body().size() < 4) QSKIP("no ICMP socket of either kind on this machine");
    QCOMPARE(Body().size(), 4);  // columns and three replies
    QCOMPARE(Figure("GraphSent_LBL"), QStringLiteral("送信 3"));
    QCOMPARE(Figure("GraphReceived_LBL"), QStringLiteral("受信 3"));
    QCOMPARE(Figure("GraphLost_LBL"), QStringLiteral("損失 0 (0%)"));
    QVERIFY(
        Form().StatusPanel->text().startsWith(QStringLiteral("送信 3 / 受信 3 / 損失 0% / 平均 ")));
    QVERIFY(Form().GraphPanel->Graph->accessibleDescription().startsWith(
        QStringLiteral("要求 3 件、損失 0 件 (0%)、最小 ")));
    QVERIFY(Form().GraphSave_ExMM->isEnabled());

    // Another tool leaves the figures; the next Ping starts them afresh.
    Start(Form().Finger, Form().FngrServ_CB, "127.0.0.1");
    QTRY_VERIFY_WITH_TIMEOUT(Idle(), 10000);
    QCOMPARE(Form().GraphPanel->Stats().Samples().size(), size_t(3));
    PingLoopback(1);
    QCOMPARE(Figure("GraphSent_LBL"), QStringLiteral("送信 1"));
  }

  void savedSamplesReadBackAsCsv() {
    PingLoopback(2);
    if (Form().GraphPanel->Stats().Samples().size() != 2) QSKIP("no ICMP socket on this machine");
    PickGraphItem();
    QTest::mouseClick(Form().GraphPanel->GraphSave_Btn, Qt::LeftButton);
    QFile file(FCsv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = file.readAll().split('\n');
    QCOMPARE(rows.size(), 4);  // header, two rows, and the end after the last line end
    QCOMPARE(rows[0], QByteArray("number,address,rtt_ms,result,time\r"));
    QVERIFY2(QRegularExpression("^2,127\\.0\\.0\\.1,\\d+\\.\\d{3},reply,\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\r$")
                 .match(QString::fromLatin1(rows[2]))
                 .hasMatch(),
             rows[2]);
  }
};

QTEST_MAIN(GraphPanelTest)
#include "GraphPanelTest.moc"
