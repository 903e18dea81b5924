// Repeated TraceRoute through the window across the lossy chain of
// chain_netns.sh (CHAIN_LOSSY=1): the table's figures against the shares the
// bed sets, in both echo methods, as root and (helper_user.sh) as nobody.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QtTest>

#include "FormFixture.h"
#include "TestStores.h"
#include "common/SjisText.h"
#include "platform/RawIcmpHelper.h"
#include "widgets/GraphPanel.h"
#include "widgets/UpDown.h"

namespace {
QString Env(const char* name) { return qEnvironmentVariable(name); }

// A row as the test expects it: hop, address ("" for a hop with several),
// sent, received, loss and forwarding loss in percent (-1: not shown), mark.
struct TWant {
  int Hop;
  QString Address;
  int Sent, Received;
  double Loss, ForwardLoss;
  THopMark Mark = THopMark::None;
};
}  // namespace

Q_DECLARE_METATYPE(std::vector<TWant>)

class RepeatTraceNetTest : public QObject, public TFormFixture {
  Q_OBJECT
 private:
  void Repeat(bool service, int cycles) {
    Form().FIcmpServiceMode = service;
    Form().TRTout_UD->SetPosition(1);
    Form().TRMaxHop_UD->SetPosition(8);
    Form().TRRepeat_ChckB->setChecked(true);
    Form().TRCycles_UD->SetPosition(cycles);
  }
  const std::vector<THopRow>& Rows() { return Form().GraphPanel->HopRows(); }
  QStringList PaneTable() {
    QStringList table;
    for (const QByteArray& line : HopTableLines(Rows())) table << FromSjis(line);
    return table;
  }

 private slots:
  void initTestCase() {
    if (Env("CHAIN_ROUTER2B").isEmpty()) QSKIP("run through chain_netns.sh with CHAIN_LOSSY=1");
    if (!Env("ICMP_HELPER_CAPABLE").isEmpty())
      SetIcmpHelperPath(Env("ICMP_HELPER_CAPABLE"));
    IsolateSettingsStores();
  }
  void init() { QVERIFY(Open()); }
  void cleanup() { QVERIFY(Shut()); }

  void cyclesGiveTheBedsShares_data() {
    QTest::addColumn<bool>("service");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("cycles");
    QTest::addColumn<std::vector<TWant>>("want");
    const QString r1 = Env("CHAIN_ROUTER1"), r2 = Env("CHAIN_ROUTER2"), target = Env("CHAIN_TARGET");
    for (const bool service : {false, true}) {
      const char* mode = service ? "service" : "raw";
      // Router2 keeps quiet in cycles 2 and 6 while the target answers: loss
      // that is no forwarding loss. The target loses cycles 4 and 8.
      QTest::addRow("%s lossy", mode)
          << service << target << 8
          << std::vector<TWant>{{1, r1, 8, 8, 0, 0},
                                {2, "", 8, 6, 25, 0},
                                {2, r2, 0, 4, -1, -1},
                                {2, Env("CHAIN_ROUTER2B"), 0, 2, -1, -1},
                                {3, target, 8, 6, 25, 25}};
      QTest::addRow("%s unreachable", mode)
          << service << Env("CHAIN_HOST_UNREACHABLE") << 2
          << std::vector<TWant>{{1, r1, 2, 2, 0, 0}, {2, r2, 2, 2, 0, 0, THopMark::Host}};
      QTest::addRow("%s ipv6", mode) << service << Env("CHAIN6_TARGET") << 2
                                     << std::vector<TWant>{{1, Env("CHAIN6_ROUTER1"), 2, 2, 0, 0},
                                                           {2, Env("CHAIN6_ROUTER2"), 2, 2, 0, 0},
                                                           {3, Env("CHAIN6_TARGET"), 2, 2, 0, 0}};
    }
  }
  void cyclesGiveTheBedsShares() {
    QFETCH(bool, service);
    QFETCH(QString, host);
    QFETCH(int, cycles);
    QFETCH(std::vector<TWant>, want);
    Repeat(service, cycles);
    Start(Form().TraceRoute, Form().TRServ_CB, host);
    QTRY_VERIFY_WITH_TIMEOUT(Idle(), cycles * 1000 + 15000);
    QCOMPARE(Rows().size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
      const THopRow& r = Rows()[i];
      const TWant& w = want[i];
      QCOMPARE(r.Hop, w.Hop);
      QCOMPARE(r.Address, w.Address);
      QCOMPARE(r.Mark, w.Mark);
      QCOMPARE(r.Received, w.Received);
      if (r.Responder) continue;
      QCOMPARE(r.Sent, w.Sent);
      QCOMPARE(*r.LossPercent, w.Loss);
      QCOMPARE(*r.ForwardLossPercent, w.ForwardLoss);
      QVERIFY(r.BestMs && *r.BestMs > 0 && *r.BestMs <= *r.WorstMs);
    }
    // The status bar names the hop that loses forwarded traffic, and the
    // pane keeps the table under the run's header.
    QCOMPARE(Form().StatusPanel->text(), ForwardLossText(Rows()));
    QCOMPARE(Body(), PaneTable());
  }

  // Stop at once with its line; the table of the cycles done stays, and the
  // next run starts afresh.
  void stopKeepsTheCyclesDone() {
    Repeat(false, 9999);
    Start(Form().TraceRoute, Form().TRServ_CB, Env("CHAIN_TARGET"));
    QTRY_VERIFY_WITH_TIMEOUT(!Rows().empty() && Rows().front().Sent >= 2, 15000);
    QTest::mouseClick(Form().Stop_Btn, Qt::LeftButton);
    QVERIFY(Idle());
    QVERIFY(Rows().front().Sent >= 2);
    QCOMPARE(Body(), PaneTable() << QStringLiteral("...中止されました"));
    Repeat(true, 1);
    Start(Form().TraceRoute, Form().TRServ_CB, Env("CHAIN_TARGET"));
    QTRY_VERIFY_WITH_TIMEOUT(Idle(), 15000);
    QCOMPARE(Rows().front().Sent, 1);
  }
};

QTEST_MAIN(RepeatTraceNetTest)
#include "RepeatTraceNetTest.moc"
