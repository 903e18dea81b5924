// NS Lookup, IP Scan and a named Finger server against a real DNS server
// (dnsmasq in the test's own namespace, see dns_netns.sh).
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include "FormFixture.h"
#include "LoopbackServer.h"
#include "StallMeter.h"
#include "TestStores.h"
#include "widgets/UpDown.h"

class LookupToolsNetTest : public QObject, public TFormFixture {
  Q_OBJECT
 private:
  void Run(QWidget* page, QComboBox* box, const QString& text) {
    Start(page, box, text);
    QTRY_VERIFY_WITH_TIMEOUT(Idle(), 15000);
  }
  // The system's resolver: inside the harness's namespace it asks the
  // harness's dnsmasq.
  bool OpenWithSystemResolver(int fingerPort = 79) {
    TFormDeps deps;
    deps.FingerPort = fingerPort;
    return Open(deps);
  }

 private slots:
  void initTestCase() { IsolateSettingsStores(); }
  void init() { QVERIFY(OpenWithSystemResolver()); }
  void cleanup() { QVERIFY(Shut()); }

  void nsLookupOfACnameWithTwoAddresses() {
    Run(Form().NsLookup, Form().NSServ_CB, "alias.ostrekon.test");
    QCOMPARE(Body(), (QStringList{QStringLiteral("    ホスト名: two.ostrekon.test"),
                                  QStringLiteral("ＩＰアドレス: 192.0.2.10"),
                                  QStringLiteral("ＩＰアドレス: 192.0.2.11"),
                                  QStringLiteral("  エイリアス: alias.ostrekon.test")}));
  }

  void nsLookupOfNamesAndAddressesThatDoNotExist() {
    Run(Form().NsLookup, Form().NSServ_CB, "nosuch.ostrekon.test");
    QCOMPARE(Body(), QStringList{QStringLiteral("nosuch.ostrekon.test - 見つかりません")});
    Run(Form().NsLookup, Form().NSServ_CB, "192.0.2.2");
    QCOMPARE(Body().first(), QStringLiteral("    ホスト名: host2.ostrekon.test"));
  }

  void unansweredReverseLookupTimesOut() {
    Run(Form().NsLookup, Form().NSServ_CB, "192.0.2.99");
    QCOMPARE(Body(), QStringList{QStringLiteral("192.0.2.99 - 探索タイムアウト")});
  }

  void ipScanOfPartOfARange() {
    Form().Ex_UD1->SetPosition(1);
    Form().Ex_UD2->SetPosition(3);
    Run(Form().NsLookupEx, Form().Ex_CB, "192.0.2");
    QCOMPARE(Body(), (QStringList{QStringLiteral("    ホスト名: host1.ostrekon.test"),
                                  QStringLiteral("ＩＰアドレス: 192.0.2.1"), "",
                                  QStringLiteral("    ホスト名: host2.ostrekon.test"),
                                  QStringLiteral("ＩＰアドレス: 192.0.2.2"), "",
                                  QStringLiteral("192.0.2.3 - 見つかりません"), ""}));
    Form().ExAll_ChckB->setChecked(true);
    Form().Ex_UD1->SetPosition(0);
    Form().Ex_UD2->SetPosition(12);
    Run(Form().NsLookupEx, Form().Ex_CB, "192.0.2");
    QCOMPARE(Body().count(""), 4);  // .1 .2 .10 .11 have names
    QVERIFY(Body().contains(QStringLiteral("ＩＰアドレス: 192.0.2.11")));
  }

  // 400 addresses for one name, more than a UDP answer holds: the resolver
  // keeps the first 256. A name of 253 characters, forward and back; a
  // longer one is not found.
  void answersWithHundredsOfAddressesAndLongNames() {
    const TStallMeter stalls;
    Run(Form().NsLookup, Form().NSServ_CB, "many.ostrekon.test");
    const QStringList addresses = Body().filter(QStringLiteral("ＩＰアドレス: 10.1."));
    QCOMPARE(Body().first(), QStringLiteral("    ホスト名: many.ostrekon.test"));
    QCOMPARE(addresses.size(), 256);
    QCOMPARE(QSet<QString>(addresses.begin(), addresses.end()).size(), 256);
    const QString name = QString(63, 'a') + '.' + QString(63, 'b') + '.' + QString(63, 'c') + '.' +
                         QString(47, 'd') + ".ostrekon.test";
    Run(Form().NsLookup, Form().NSServ_CB, name);
    QCOMPARE(Body(), (QStringList{QStringLiteral("    ホスト名: ") + name,
                                  QStringLiteral("ＩＰアドレス: 192.0.2.77")}));
    Run(Form().NsLookup, Form().NSServ_CB, "192.0.2.77");
    QCOMPARE(Body().first(), QStringLiteral("    ホスト名: ") + name);
    Run(Form().NsLookup, Form().NSServ_CB, name + ".example");  // longer than DNS allows
    QCOMPARE(Body(), QStringList{name + QStringLiteral(".example - 見つかりません")});
    qInfo("longest stall %lld ms", stalls.LongestMs());
  }

  // IPv6: after the IPv4 addresses, at most 256 in all; found in reverse;
  // a scan of a prefix that ends in ":".
  void ipv6AddressesOfNamesAndScans() {
    Run(Form().NsLookup, Form().NSServ_CB, "dual.ostrekon.test");
    QCOMPARE(Body(), (QStringList{QStringLiteral("    ホスト名: dual.ostrekon.test"),
                                  QStringLiteral("ＩＰアドレス: 192.0.2.20"),
                                  QStringLiteral("ＩＰアドレス: 2001:db8::20")}));
    Run(Form().NsLookup, Form().NSServ_CB, "many6.ostrekon.test");
    QCOMPARE(Body().filter(QStringLiteral("ＩＰアドレス: 2001:db8:6::")).size(), 256);
    Run(Form().NsLookup, Form().NSServ_CB, "2001:db8:0::10");
    QCOMPARE(Body().first(), QStringLiteral("    ホスト名: v6only.ostrekon.test"));
    Form().Ex_UD1->SetPosition(16);
    Form().Ex_UD2->SetPosition(33);
    Form().ExAll_ChckB->setChecked(true);
    Run(Form().NsLookupEx, Form().Ex_CB, "2001:db8::");
    QCOMPARE(Body(), (QStringList{QStringLiteral("    ホスト名: v6only.ostrekon.test"),
                                  QStringLiteral("ＩＰアドレス: 2001:db8::10"), "",
                                  QStringLiteral("    ホスト名: dual.ostrekon.test"),
                                  QStringLiteral("ＩＰアドレス: 2001:db8::20"), ""}));
    Form().ExAll_ChckB->setChecked(false);
    Form().Ex_UD2->SetPosition(17);
    Run(Form().NsLookupEx, Form().Ex_CB, "2001:db8::");
    QCOMPARE(Body().last(2), (QStringList{QStringLiteral("2001:db8::11 - 見つかりません"), ""}));
  }

  void fingerServerGivenByName() {
    TLoopbackServer server;
    server.SetReply({{"hello\r\n"}});
    QVERIFY(OpenWithSystemResolver(server.Port()));
    Form().FngrReq_CB->setEditText("who");
    Run(Form().Finger, Form().FngrServ_CB, "loop.ostrekon.test");
    QCOMPARE(server.LastRequest(), QByteArray("who\r\n"));
    QCOMPARE(Body(), QStringList{"hello"});
  }
};

QTEST_MAIN(LookupToolsNetTest)
#include "LookupToolsNetTest.moc"
