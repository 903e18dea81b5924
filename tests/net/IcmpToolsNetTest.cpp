// Ping and TraceRoute through the window, in both echo methods and over IPv4
// and IPv6, against the namespace chain of chain_netns.sh. Also runs as
// nobody under helper_user.sh: raw sockets then come from the capable helper.
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
#include "platform/RawIcmpHelper.h"
#include "widgets/UpDown.h"

class IcmpToolsNetTest : public QObject, public TFormFixture {
  Q_OBJECT
 private:
  static QString Env(const char* name) { return qEnvironmentVariable(name); }
  static bool AsNobody() { return qEnvironmentVariableIsSet("ICMP_HELPER_CAPABLE"); }
  // A chain address of the row's family: CHAIN_<name> or CHAIN6_<name>.
  static QString Chain(bool v6, const char* name) {
    return Env((QByteArray(v6 ? "CHAIN6_" : "CHAIN_") + name).constData());
  }
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
    if (AsNobody()) SetIcmpHelperPath(qEnvironmentVariable("ICMP_HELPER_CAPABLE"));
  }
  void init() { QVERIFY(Open()); }
  void cleanup() { QVERIFY(Shut()); }

  // Rows for both echo methods, over IPv4 alone or over both families.
  static void Modes(bool bothFamilies) {
    QTest::addColumn<bool>("service");
    QTest::addColumn<bool>("v6");
    for (const bool v6 : {false, true}) {
      if (v6 && !bothFamilies) break;
      QTest::newRow(v6 ? "raw IPv6" : "raw") << false << v6;
      QTest::newRow(v6 ? "service IPv6" : "service") << true << v6;
    }
  }

  void pingInBothModes_data() { Modes(true); }
  // The address column is 15 wide for IPv4 and as wide as the target's text
  // for IPv6 (2001:db8:3::2, 13), the heading padded to match.
  void pingInBothModes() {
    QFETCH(bool, service);
    QFETCH(bool, v6);
    const QString target = Chain(v6, "TARGET");
    const int width = v6 ? target.size() : 15;
    Form().FIcmpServiceMode = service;
    Form().PngReqNum_UD->SetPosition(3);
    Form().PngDelay_UD->SetPosition(100);
    Start(Form().Ping, Form().PngServ_CB, target);
    QTRY_VERIFY_WITH_TIMEOUT(Form().Go_Btn->isEnabled(), 10000);
    const QStringList body = Run();
    QVERIFY(body[0].endsWith("  Ping - " + target + QStringLiteral(" - 64 バイトデータ")));
    QCOMPARE(body[2], QStringLiteral("  #  アドレス") + QString(width - 3, ' ') +
                          QStringLiteral("応答時間  ホスト名"));
    QCOMPARE(body.size(), 6);
    for (int i = 1; i <= 3; ++i)
      QVERIFY2(body[2 + i].startsWith(QString("%1  %2  ").arg(i, 3).arg(target, -width)),
               qPrintable(body[2 + i]));
  }

  void traceRouteInBothModes_data() { pingInBothModes_data(); }
  void traceRouteInBothModes() {
    QFETCH(bool, service);
    QFETCH(bool, v6);
    const QString target = Chain(v6, "TARGET");
    Form().FIcmpServiceMode = service;
    Form().TRMaxHop_UD->SetPosition(10);
    Start(Form().TraceRoute, Form().TRServ_CB, target);
    QTRY_VERIFY_WITH_TIMEOUT(Form().Go_Btn->isEnabled(), 20000);
    const QStringList body = Run();
    QVERIFY(body[0].endsWith(
        QStringLiteral("  TraceRoute - %1 - ホップ1 ～ ホップ10").arg(target)));
    QCOMPARE(body.size(), 6);  // header, empty, columns, three hops
    const int width = v6 ? 39 : 15;
    const char* hops[] = {"ROUTER1", "ROUTER2", "TARGET"};
    for (int i = 1; i <= 3; ++i)
      QVERIFY2(body[2 + i].startsWith(
                   QString("%1  %2  ").arg(i, 3).arg(Chain(v6, hops[i - 1]), -width)),
               qPrintable(body[2 + i]));
  }

  void stopDuringAWaitEndsTheRunAtOnce_data() { Modes(false); }
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
  void withoutICMPTheStatusBarSaysWhy_data() { Modes(false); }
  void withoutICMPTheStatusBarSaysWhy() {
    QFETCH(bool, service);
    if (AsNobody()) QSKIP("takes capabilities and the ping groups away: root only");
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
