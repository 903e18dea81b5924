// Ping and TraceRoute through the window, in both echo methods, against the
// namespace chain of chain_netns.sh.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>
#include <optional>

#include "FormFixture.h"
#include "IcmpLimits.h"
#include "TestSockets.h"
#include "TestStores.h"
#include "widgets/UpDown.h"

class IcmpToolsNetTest : public QObject, public TFormFixture {
  Q_OBJECT
 private:
  static QString Env(const char* name) { return qEnvironmentVariable(name); }
  // The whole last run, its header first.
  QStringList Run() const {
    const QStringList pane = Pane();
    qsizetype header = pane.size() - 1;
    while (header > 0 && !pane[header].startsWith(">> ")) --header;
    return pane.mid(header);
  }

 private slots:
  void initTestCase() {
    if (Env("CHAIN_TARGET").isEmpty()) QSKIP("run through chain_netns.sh");
    IsolateSettingsStores();
  }
  void init() { QVERIFY(Open()); }
  void cleanup() { QVERIFY(Shut()); }

  void pingInBothModes_data() {
    QTest::addColumn<bool>("service");
    QTest::newRow("raw") << false;
    QTest::newRow("service") << true;
  }
  void pingInBothModes() {
    QFETCH(bool, service);
    Form().FIcmpServiceMode = service;
    Form().PngReqNum_UD->SetPosition(3);
    Form().PngDelay_UD->SetPosition(100);
    Start(Form().Ping, Form().PngServ_CB, Env("CHAIN_TARGET"));
    QTRY_VERIFY_WITH_TIMEOUT(Form().Go_Btn->isEnabled(), 10000);
    const QStringList body = Run();
    QVERIFY(
        body[0].endsWith("  Ping - " + Env("CHAIN_TARGET") + QStringLiteral(" - 64 バイトデータ")));
    QCOMPARE(body[2], QStringLiteral("  #  アドレス            応答時間  ホスト名"));
    QCOMPARE(body.size(), 6);
    for (int i = 1; i <= 3; ++i)
      QVERIFY2(body[2 + i].startsWith(QString("%1  %2").arg(i, 3).arg(Env("CHAIN_TARGET"), -15)),
               qPrintable(body[2 + i]));
  }

  void traceRouteInBothModes_data() { pingInBothModes_data(); }
  void traceRouteInBothModes() {
    QFETCH(bool, service);
    Form().FIcmpServiceMode = service;
    Form().TRMaxHop_UD->SetPosition(10);
    Start(Form().TraceRoute, Form().TRServ_CB, Env("CHAIN_TARGET"));
    QTRY_VERIFY_WITH_TIMEOUT(Form().Go_Btn->isEnabled(), 20000);
    const QStringList body = Run();
    QVERIFY(body[0].endsWith(
        QStringLiteral("  TraceRoute - %1 - ホップ1 ～ ホップ10").arg(Env("CHAIN_TARGET"))));
    QCOMPARE(body.size(), 6);  // header, empty, columns, three hops
    QVERIFY(body[3].contains(Env("CHAIN_ROUTER1")));
    QVERIFY(body[4].contains(Env("CHAIN_ROUTER2")));
    QVERIFY(body[5].contains(Env("CHAIN_TARGET")));
  }

  void stopDuringAWaitEndsTheRunAtOnce_data() { pingInBothModes_data(); }
  void stopDuringAWaitEndsTheRunAtOnce() {
    QFETCH(bool, service);
    Form().FIcmpServiceMode = service;
    Form().PngTout_UD->SetPosition(60);
    const int sockets = OpenSocketCount();
    Start(Form().Ping, Form().PngServ_CB, Env("CHAIN_BLACKHOLE"));
    QTest::qWait(300);
    QVERIFY(Form().Stop_Btn->isEnabled());
    QTest::mouseClick(Form().Stop_Btn, Qt::LeftButton);
    QVERIFY(Form().Go_Btn->isEnabled());
    QCOMPARE(Run().last(), QStringLiteral("...中止されました"));
    QTRY_COMPARE_WITH_TIMEOUT(TQueryThread::LiveCount(), 0, 3000);
    QVERIFY(WaitSocketCount(sockets));
    QCOMPARE(Run().last(), QStringLiteral("...中止されました"));
  }

  // Without raw sockets a run ends without a line, without the echo service
  // with the documented one; either way the status bar then says why, and
  // what would fix it.
  void withoutICMPTheStatusBarSaysWhy_data() { pingInBothModes_data(); }
  void withoutICMPTheStatusBarSaysWhy() {
    QFETCH(bool, service);
    Form().FIcmpServiceMode = service;
    std::optional<TNoRawSockets> noRaw;
    std::optional<TNoPingGroups> noGroups;
    if (service)
      noGroups.emplace();
    else
      noRaw.emplace();
    Start(Form().Ping, Form().PngServ_CB, Env("CHAIN_TARGET"));
    QTRY_VERIFY_WITH_TIMEOUT(Idle(), 5000);
    const QStringList body = Run();
    QCOMPARE(body.size(), service ? 4 : 3);  // header, empty, columns (, the handle line)
    if (service) QCOMPARE(body.last(), QStringLiteral("ＩＣＭＰハンドルが取得できません。"));
    const QString status = Form().StatusPanel->text();
    const QString fix = service ? QStringLiteral("net.ipv4.ping_group_range")
                                : "setcap cap_net_raw+ep " + IcmpHelperPath();
    QVERIFY2(status.contains(fix), qPrintable(status));
  }
};

QTEST_MAIN(IcmpToolsNetTest)
#include "IcmpToolsNetTest.moc"
