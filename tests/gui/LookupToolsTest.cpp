// Lookups of the window's runs with an injected resolver: NS Lookup, IP Scan,
// the resolve step of the TCP tools, time-out, Stop and late completions.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <thread>

#include "FormFixture.h"
#include "LoopbackServer.h"
#include "TestStores.h"
#include "widgets/UpDown.h"

class LookupToolsTest : public QObject, public TFormFixture {
  Q_OBJECT
 private slots:
  void initTestCase() { IsolateSettingsStores(); }
  void init() { QVERIFY(Open()); }
  void cleanup() { QVERIFY(Shut()); }

  void nsLookupShowsNameAddressesAndFirstAlias() {
    FResolver->FAnswers["www.example.test"] =
        MakeEntry("real.example.test", {"192.0.2.10", "192.0.2.11"}, {"www.example.test", "w2"});
    Start(Form().NsLookup, Form().NSServ_CB, "http://www.example.test:8080/index.html");
    QTRY_VERIFY(Idle());
    QCOMPARE(Form().NSServ_CB->currentText(), QString("www.example.test"));
    QVERIFY(Pane()[0].endsWith("  NS Lookup - www.example.test"));
    QCOMPARE(Body(), (QStringList{QStringLiteral("    ホスト名: real.example.test"),
                                  QStringLiteral("ＩＰアドレス: 192.0.2.10"),
                                  QStringLiteral("ＩＰアドレス: 192.0.2.11"),
                                  QStringLiteral("  エイリアス: www.example.test")}));
    QVERIFY(Form().StatusPanel->text().isEmpty());
  }

  void nsLookupOfAnUnknownNameOrAddress() {
    FResolver->FMissing = {"nosuch.test", "192.0.2.7"};
    Start(Form().NsLookup, Form().NSServ_CB, "nosuch.test");
    QTRY_VERIFY(Idle());
    QCOMPARE(Body(), QStringList{QStringLiteral("nosuch.test - 見つかりません")});
    Start(Form().NsLookup, Form().NSServ_CB, "192.0.2.7");
    QTRY_VERIFY(Idle());
    QCOMPARE(Pane().last(), QStringLiteral("192.0.2.7 - 見つかりません"));
    QCOMPARE(FResolver->Requests(), (QList<QByteArray>{"nosuch.test", "192.0.2.7"}));
  }

  void hostTextWithABlankIsRefusedWithALine() {
    Start(Form().NsLookup, Form().NSServ_CB, "bad host");
    QCOMPARE(Pane().last(), QStringLiteral("bad host - ホスト名が正しくありません。"));
    QCOMPARE(Form().NSServ_CB->currentText(), QString("bad host"));
    QCOMPARE(Form().NSServ_CB->count(), 0);
    QVERIFY(FResolver->Requests().isEmpty());
    QVERIFY(Form().Go_Btn->isEnabled());
  }

  void lookupTimesOutAfterTheNsLookupTimeout() {
    QElapsedTimer t;
    t.start();
    Start(Form().NsLookup, Form().NSServ_CB, "slow.test");  // never answered; time-out 5 s
    QTRY_VERIFY_WITH_TIMEOUT(Idle(), 10000);
    QVERIFY(t.elapsed() >= 4900);
    QCOMPARE(Body(), QStringList{QStringLiteral("slow.test - 探索タイムアウト")});
    QTRY_COMPARE(FResolver->Cancelled(), QList<quint64>{1});
  }

  void stopWhileALookupIsPendingEndsTheRunOnceWithoutALine() {
    QElapsedTimer t;
    t.start();
    Start(Form().NsLookup, Form().NSServ_CB, "slow.test");
    QTRY_COMPARE(Form().StatusPanel->text(), QStringLiteral("ホスト情報取得中...(slow.test)"));
    QVERIFY(Form().Stop_Btn->isEnabled());
    QTest::mouseClick(Form().Stop_Btn, Qt::LeftButton);
    QVERIFY(t.elapsed() < 3000);
    QCOMPARE(Body(), QStringList{QStringLiteral("...中止されました")});
    QVERIFY(Idle());
    QTRY_COMPARE(FResolver->PendingCount(), 0);
    QVERIFY(Form().StatusPanel->text().isEmpty());
  }

  void lateCompletionNeverReachesTheNextLookup() {
    FResolver->FIgnoreCancel = true;
    Start(Form().NsLookup, Form().NSServ_CB, "first.test");
    QTRY_COMPARE(FResolver->PendingCount(), 1);
    const quint64 first = FResolver->LastId();
    QTest::mouseClick(Form().Stop_Btn, Qt::LeftButton);
    Start(Form().NsLookup, Form().NSServ_CB, "second.test");
    QTRY_COMPARE(FResolver->PendingCount(), 2);
    // The first lookup's answer comes while the next one is pending.
    std::thread([r = FResolver, first] {
      r->Complete(first, TLookupResult::Succeeded, MakeEntry("first.test", {"192.0.2.1"}));
    }).join();
    QTest::qWait(50);
    FResolver->Complete(FResolver->LastId(), TLookupResult::Succeeded,
                        MakeEntry("second.test", {"192.0.2.2"}));
    QTRY_VERIFY(Idle());
    QCOMPARE(Body(), (QStringList{QStringLiteral("    ホスト名: second.test"),
                                  QStringLiteral("ＩＰアドレス: 192.0.2.2")}));
  }

  void ipScanRaisesLastToFirst() {
    Form().Ex_UD1->SetPosition(200);
    Form().Ex_UD2->SetPosition(10);
    FResolver->FMissing = {"192.0.2.200"};
    Start(Form().NsLookupEx, Form().Ex_CB, "192.0.2");
    QCOMPARE(Form().Ex_Edt2->text(), QString("200"));
    QTRY_VERIFY(Idle());
    QVERIFY(Pane()[0].endsWith(QStringLiteral("  IP Scan - 192.0.2.200 ～ 200")));
    QCOMPARE(FResolver->Requests(), QList<QByteArray>{"192.0.2.200"});
  }

  void ipScanWithoutNamesWritesTheNotFoundLines() {
    Form().Ex_UD1->SetPosition(1);
    Form().Ex_UD2->SetPosition(3);
    FResolver->FMissing = {"192.0.2.1", "192.0.2.2", "192.0.2.3"};
    Start(Form().NsLookupEx, Form().Ex_CB, "192.0.2");
    QTRY_VERIFY(Idle());
    QCOMPARE(Body(), (QStringList{QStringLiteral("192.0.2.1 - 見つかりません"), "",
                                  QStringLiteral("192.0.2.2 - 見つかりません"), "",
                                  QStringLiteral("192.0.2.3 - 見つかりません"), ""}));
  }

  void ipScanOnlyFoundShowsNothingForUnnamedAddresses() {
    Form().Ex_UD1->SetPosition(1);
    Form().Ex_UD2->SetPosition(3);
    Form().ExAll_ChckB->setChecked(true);
    FResolver->FMissing = {"192.0.2.1", "192.0.2.3"};
    FResolver->FAnswers["192.0.2.2"] = MakeEntry("host2.test", {"192.0.2.2"});
    Start(Form().NsLookupEx, Form().Ex_CB, "192.0.2");
    QTRY_VERIFY(Idle());
    QCOMPARE(Body(), (QStringList{QStringLiteral("    ホスト名: host2.test"),
                                  QStringLiteral("ＩＰアドレス: 192.0.2.2"), ""}));
  }

  void ipScanRefusesAnInvalidPrefix_data() {
    QTest::addColumn<QString>("prefix");
    QTest::newRow("octet too big") << "192.0.2.999";
    QTest::newRow("blank after it") << "192.0.2 ";
  }
  void ipScanRefusesAnInvalidPrefix() {
    QFETCH(QString, prefix);
    Start(Form().NsLookupEx, Form().Ex_CB, prefix);
    QTRY_VERIFY(Idle());
    QCOMPARE(Body(), QStringList{QStringLiteral("有効なアドレスではありません。")});
    QVERIFY(FResolver->Requests().isEmpty());
  }

  void stopDuringAScanEndsItWithTheStopLineLast() {
    Form().Ex_UD1->SetPosition(0);
    Form().Ex_UD2->SetPosition(255);
    FResolver->FMissing = {"192.0.2.0", "192.0.2.1"};  // 192.0.2.2 stays pending
    Start(Form().NsLookupEx, Form().Ex_CB, "192.0.2");
    QTRY_COMPARE(FResolver->Requests().size(), 3);
    QTRY_COMPARE(Body().size(), 4);
    QTest::mouseClick(Form().Stop_Btn, Qt::LeftButton);
    QCOMPARE(Body(), (QStringList{QStringLiteral("192.0.2.0 - 見つかりません"), "",
                                  QStringLiteral("192.0.2.1 - 見つかりません"), "",
                                  QStringLiteral("...中止されました")}));
    QTest::qWait(100);
    QCOMPARE(FResolver->Requests().size(), 3);
    QCOMPARE(Body().last(), QStringLiteral("...中止されました"));
  }

  void closingTheWindowDuringAScanStopsItCleanly() {
    Form().Ex_UD1->SetPosition(0);
    Form().Ex_UD2->SetPosition(255);
    FResolver->FMissing = {"192.0.2.0"};  // 192.0.2.1 stays pending
    Start(Form().NsLookupEx, Form().Ex_CB, "192.0.2");
    QTRY_COMPARE(FResolver->Requests().size(), 2);
    Form().close();
    QVERIFY(!Form().IsBusy());
    QCOMPARE(Body().last(), QStringLiteral("...中止されました"));
    QTRY_COMPARE(FResolver->PendingCount(), 0);
    QCOMPARE(FResolver->Requests().size(), 2);
  }

  void tcpToolsResolveNamesAndShowTheOfficialNameInErrors() {
    TFormDeps deps = Deps();
    deps.WhoisPort = TLoopbackServer::ClosedPort();
    QVERIFY(Open(deps));
    FResolver->FAnswers["whois.test"] = MakeEntry("whois.official.test", {"127.0.0.1"});
    Type(Form().WhoisReq_CB, "q");
    Start(Form().Whois, Form().WhoisServ_CB, "whois.test");
    QTRY_VERIFY(Idle());
    QCOMPARE(Pane().last(), QStringLiteral("whois.official.test - 接続できません"));
    // Not found ends the run with the lookup's line.
    FResolver->FMissing = {"gone.test"};
    Start(Form().Http, Form().HHURL_CB, "http://gone.test/");
    QTRY_VERIFY(Idle());
    QCOMPARE(Pane().last(), QStringLiteral("gone.test - 見つかりません"));
  }
};

QTEST_MAIN(LookupToolsTest)
#include "LookupToolsTest.moc"
