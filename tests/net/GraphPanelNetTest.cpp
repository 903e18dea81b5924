// The statistics panel after Ping and TraceRoute runs through the window
// across the namespace chain of chain_netns.sh, in both echo methods: its
// samples and figures against those the test reads from the pane itself.
#include <cmath>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

#include "FormFixture.h"
#include "TestStores.h"
#include "widgets/GraphPanel.h"
#include "widgets/UpDown.h"

Q_DECLARE_METATYPE(TSampleKind)

class GraphPanelNetTest : public QObject, public TFormFixture {
  Q_OBJECT
 private:
  static QString Env(const char* name) { return qEnvironmentVariable(name); }

  // One sample per report line after the column header: a reply line gives
  // its number, address and time; a message line its number and no time.
  static std::vector<TPingSample> Recorded(const QStringList& body) {
    static const QRegularExpression reply(QStringLiteral("^ *(\\d+)  (\\S+) +(\\d+) ms"));
    static const QRegularExpression message(QStringLiteral("^ *(\\d+) {33}\\S"));
    std::vector<TPingSample> samples;
    for (const QString& line : body.mid(1)) {
      if (const auto m = reply.match(line); m.hasMatch())
        samples.push_back({m.captured(1).toInt(), m.captured(2), m.captured(3).toInt()});
      else if (const auto m = message.match(line); m.hasMatch())
        samples.push_back({m.captured(1).toInt(), {}, std::nullopt, TSampleKind::Error});
    }
    return samples;
  }

  QStringList FigureLabels() const {
    QStringList texts;
    for (const char* name : {"GraphSent_LBL", "GraphReceived_LBL", "GraphLost_LBL", "GraphMin_LBL",
                             "GraphAvg_LBL", "GraphMax_LBL", "GraphStdDev_LBL", "GraphJitter_LBL"})
      texts << FForm->findChild<QLabel*>(QString::fromLatin1(name))->text();
    return texts;
  }

  // The panel holds what the pane shows: each request's number, whether it
  // was answered, and the time and address of each reply.
  void CompareWithPane(TSampleKind lostKind) {
    const std::vector<TPingSample> recorded = Recorded(Body());
    const std::vector<TPingSample>& shown = Form().GraphPanel->Stats().Samples();
    QCOMPARE(shown.size(), recorded.size());
    for (size_t i = 0; i < shown.size(); ++i) {
      QCOMPARE(shown[i].Number, recorded[i].Number);
      // The pane shows whole milliseconds; the panel keeps the fraction.
      QCOMPARE(shown[i].RoundTripMs.has_value(), recorded[i].RoundTripMs.has_value());
      if (shown[i].RoundTripMs) QCOMPARE(std::floor(*shown[i].RoundTripMs), *recorded[i].RoundTripMs);
      if (recorded[i].RoundTripMs) QCOMPARE(shown[i].Address, recorded[i].Address);
      if (!recorded[i].RoundTripMs) QCOMPARE(shown[i].Kind, lostKind);
    }
    QCOMPARE(FigureLabels(), FigureTexts(ComputeFigures(shown)));
    QCOMPARE(ComputeFigures(shown).Received, ComputeFigures(recorded).Received);
  }

 private slots:
  void initTestCase() {
    if (Env("CHAIN_TARGET").isEmpty()) QSKIP("run through chain_netns.sh");
    IsolateSettingsStores();
  }
  void init() { QVERIFY(Open()); }
  void cleanup() { QVERIFY(Shut()); }

  void pingFillsThePanel_data() {
    QTest::addColumn<bool>("service");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("ttl");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("lost");
    QTest::addColumn<TSampleKind>("lostKind");
    for (const bool service : {false, true}) {
      const char* mode = service ? "service" : "raw";
      QTest::addRow("%s answered", mode)
          << service << Env("CHAIN_TARGET") << 64 << 5 << 0 << TSampleKind::TimedOut;
      QTest::addRow("%s blackhole", mode)
          << service << Env("CHAIN_BLACKHOLE") << 64 << 2 << 2 << TSampleKind::TimedOut;
      QTest::addRow("%s ttl expired", mode)
          << service << Env("CHAIN_TARGET") << 1 << 2 << 2 << TSampleKind::TtlExpired;
      QTest::addRow("%s unreachable", mode)
          << service << Env("CHAIN_HOST_UNREACHABLE") << 64 << 2 << 2 << TSampleKind::Unreachable;
    }
  }
  void pingFillsThePanel() {
    QFETCH(bool, service);
    QFETCH(QString, host);
    QFETCH(int, ttl);
    QFETCH(int, count);
    QFETCH(int, lost);
    QFETCH(TSampleKind, lostKind);
    Form().FIcmpServiceMode = service;
    Form().PngTout_UD->SetPosition(1);
    Form().PngDelay_UD->SetPosition(100);
    Form().PngTTL_UD->SetPosition(ttl);
    Form().PngReqNum_UD->SetPosition(count);
    Start(Form().Ping, Form().PngServ_CB, host);
    QTRY_VERIFY_WITH_TIMEOUT(Idle(), 20000);
    QCOMPARE(Body().size(), count + 1);
    CompareWithPane(lostKind);
    const TPingFigures figures = Form().GraphPanel->Stats().Figures();
    QCOMPARE(figures.Lost, lost);
    QCOMPARE(Form().StatusPanel->text(), PingSummaryText(figures));
  }

  void traceRouteGivesABarPerHop_data() {
    QTest::addColumn<bool>("service");
    QTest::newRow("raw") << false;
    QTest::newRow("service") << true;
  }
  void traceRouteGivesABarPerHop() {
    QFETCH(bool, service);
    Form().FIcmpServiceMode = service;
    Form().TRMaxHop_UD->SetPosition(10);
    Start(Form().TraceRoute, Form().TRServ_CB, Env("CHAIN_TARGET"));
    QTRY_VERIFY_WITH_TIMEOUT(Idle(), 20000);
    CompareWithPane(TSampleKind::TimedOut);
    QStringList hops;
    for (const TPingSample& s : Form().GraphPanel->Stats().Samples()) hops << s.Address;
    QCOMPARE(hops, (QStringList{Env("CHAIN_ROUTER1"), Env("CHAIN_ROUTER2"), Env("CHAIN_TARGET")}));
    QCOMPARE(Form().GraphPanel->Mode(), TGraphMode::Trace);
  }
};

QTEST_MAIN(GraphPanelNetTest)
#include "GraphPanelNetTest.moc"
