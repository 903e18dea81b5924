// NS Lookup, IP Scan and a named Finger server against a real DNS server
// (dnsmasq in the test's own namespace, see dns_netns.sh).
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include "LoopbackServer.h"
#include "TestStores.h"
#include "main/OstrekMain.h"
#include "widgets/ExtMemo.h"
#include "widgets/UpDown.h"

class LookupToolsNetTest : public QObject {
  Q_OBJECT
 private:
  std::unique_ptr<TOstrekForm> FForm;
  TOstrekForm& Form() { return *FForm; }
  QStringList Body() const {
    const QStringList pane = FForm->ExtMemo->Lines();
    qsizetype header = pane.size() - 1;
    while (header > 0 && !pane[header].startsWith(">> ")) --header;
    return pane.mid(header + 2);
  }
  void Run(QWidget* page, QComboBox* box, const QString& text) {
    Form().PageControl->setCurrentWidget(page);
    box->setEditText(text);
    QTest::mouseClick(Form().Go_Btn, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(Form().Go_Btn->isEnabled(), 15000);
  }

 private slots:
  void initTestCase() { IsolateSettingsStores(); }
  void init() {
    FForm = std::make_unique<TOstrekForm>();
    Form().show();
  }
  void cleanup() { FForm.reset(); }

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

  void fingerServerGivenByName() {
    TLoopbackServer server;
    server.SetReply({{"hello\r\n"}});
    Form().FFingerPort = server.Port();
    Form().FngrReq_CB->setEditText("who");
    Run(Form().Finger, Form().FngrServ_CB, "loop.ostrekon.test");
    QCOMPARE(server.LastRequest(), QByteArray("who\r\n"));
    QCOMPARE(Body(), QStringList{"hello"});
  }
};

QTEST_MAIN(LookupToolsNetTest)
#include "LookupToolsNetTest.moc"
