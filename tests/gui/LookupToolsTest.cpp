// Lookups of the window with an injected resolver: NS Lookup, IP Scan, the
// resolve step of the TCP tools, time-out, Stop and late completions.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>
#include <thread>

#include "FakeResolver.h"
#include "LoopbackServer.h"
#include "TestStores.h"
#include "main/OstrekMain.h"
#include "widgets/ExtMemo.h"
#include "widgets/UpDown.h"

class LookupToolsTest : public QObject {
  Q_OBJECT
 private:
  std::unique_ptr<TOstrekForm> FForm;
  std::shared_ptr<TFakeResolver> FResolver;
  TOstrekForm& Form() { return *FForm; }
  QStringList Pane() const { return FForm->ExtMemo->Lines(); }
  // The lines of the last run after its header and the empty line.
  QStringList Body() const {
    const QStringList pane = Pane();
    qsizetype header = pane.size() - 1;
    while (header > 0 && !pane[header].startsWith(">> ")) --header;
    return pane.mid(header + 2);
  }
  void Start(QWidget* page, QComboBox* box, const QString& text) {
    Form().PageControl->setCurrentWidget(page);
    box->setEditText(text);
    QTest::mouseClick(Form().Go_Btn, Qt::LeftButton);
  }

 private slots:
  void initTestCase() { IsolateSettingsStores(); }
  void init() {
    FForm = std::make_unique<TOstrekForm>();
    FResolver = std::make_shared<TFakeResolver>();
    Form().SetResolver(FResolver);
    Form().show();
    QVERIFY(QTest::qWaitForWindowExposed(FForm.get()));
  }
  void cleanup() {
    FForm.reset();
    FResolver.reset();
  }

  void nsLookupShowsNameAddressesAndFirstAlias() {
    FResolver->FAnswers["www.example.test"] =
        MakeEntry("real.example.test", {"192.0.2.10", "192.0.2.11"}, {"www.example.test", "w2"});
    Start(Form().NsLookup, Form().NSServ_CB, "http://www.example.test:8080/index.html");
    QVERIFY(Form().Go_Btn->isEnabled());
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
    QCOMPARE(Body(), QStringList{QStringLiteral("nosuch.test - 見つかりません")});
    Start(Form().NsLookup, Form().NSServ_CB, "192.0.2.7");
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
    QVERIFY(Form().Go_Btn->isEnabled());
    QVERIFY(t.elapsed() >= 4900);
    QCOMPARE(Body(), QStringList{QStringLiteral("slow.test - 探索タイムアウト")});
    QCOMPARE(FResolver->Cancelled(), QList<quint64>{1});
  }

  void stopWhileALookupIsPendingEndsTheRunOnceWithoutALine() {
    QTimer::singleShot(100, this, [this] {
      QVERIFY(Form().Stop_Btn->isEnabled());
      QVERIFY(
          Form().StatusPanel->text().contains(QStringLiteral("ホスト情報取得中...(slow.test)")));
      QTest::mouseClick(Form().Stop_Btn, Qt::LeftButton);
    });
    QElapsedTimer t;
    t.start();
    Start(Form().NsLookup, Form().NSServ_CB, "slow.test");
    QVERIFY(t.elapsed() < 3000);
    QCOMPARE(Body(), QStringList{QStringLiteral("...中止されました")});
    QVERIFY(Form().Go_Btn->isEnabled());
    QCOMPARE(FResolver->PendingCount(), 0);
  }

  void lateCompletionNeverReachesTheNextLookup() {
    FResolver->FIgnoreCancel = true;
    QTimer::singleShot(100, this, [this] { QTest::mouseClick(Form().Stop_Btn, Qt::LeftButton); });
    Start(Form().NsLookup, Form().NSServ_CB, "first.test");
    const quint64 first = FResolver->LastId();
    // The next lookup is pending when the first one's answer finally comes.
    QTimer::singleShot(100, this, [this, first] {
      std::thread([r = FResolver, first] {
        r->Complete(first, TLookupResult::Succeeded, MakeEntry("first.test", {"192.0.2.1"}));
      }).join();
    });
    QTimer::singleShot(300, this, [this] {
      FResolver->Complete(FResolver->LastId(), TLookupResult::Succeeded,
                          MakeEntry("second.test", {"192.0.2.2"}));
    });
    Start(Form().NsLookup, Form().NSServ_CB, "second.test");
    QCOMPARE(Body(), (QStringList{QStringLiteral("    ホスト名: second.test"),
                                  QStringLiteral("ＩＰアドレス: 192.0.2.2")}));
  }

  void ipScanRaisesLastToFirst() {
    Form().Ex_UD1->SetPosition(200);
    Form().Ex_UD2->SetPosition(10);
    FResolver->FMissing = {"192.0.2.200"};
    Start(Form().NsLookupEx, Form().Ex_CB, "192.0.2");
    QCOMPARE(Form().Ex_Edt2->text(), QString("200"));
    QVERIFY(Pane()[0].endsWith(QStringLiteral("  IP Scan - 192.0.2.200 ～ 200")));
    QCOMPARE(FResolver->Requests(), QList<QByteArray>{"192.0.2.200"});
  }

  void ipScanWithoutNamesWritesTheNotFoundLines() {
    Form().Ex_UD1->SetPosition(1);
    Form().Ex_UD2->SetPosition(3);
    FResolver->FMissing = {"192.0.2.1", "192.0.2.2", "192.0.2.3"};
    Start(Form().NsLookupEx, Form().Ex_CB, "192.0.2");
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
    QCOMPARE(Body(), (QStringList{QStringLiteral("    ホスト名: host2.test"),
                                  QStringLiteral("ＩＰアドレス: 192.0.2.2"), ""}));
  }

  void ipScanRefusesAnInvalidPrefix() {
    Start(Form().NsLookupEx, Form().Ex_CB, "192.0.2.999");
    QCOMPARE(Body(), QStringList{QStringLiteral("有効なアドレスではありません。")});
    QVERIFY(FResolver->Requests().isEmpty());
  }

  void stopDuringAScanEndsItWithTheStopLineLast() {
    Form().Ex_UD1->SetPosition(0);
    Form().Ex_UD2->SetPosition(255);
    FResolver->FMissing = {"192.0.2.0", "192.0.2.1"};  // 192.0.2.2 stays pending
    QTimer::singleShot(200, this, [this] { QTest::mouseClick(Form().Stop_Btn, Qt::LeftButton); });
    Start(Form().NsLookupEx, Form().Ex_CB, "192.0.2");
    QCOMPARE(Body(), (QStringList{QStringLiteral("192.0.2.0 - 見つかりません"), "",
                                  QStringLiteral("192.0.2.1 - 見つかりません"), "",
                                  QStringLiteral("...中止されました")}));
    QCOMPARE(FResolver->Requests().size(), 3);
  }

  void closingTheWindowDuringAScanStopsItCleanly() {
    Form().Ex_UD1->SetPosition(0);
    Form().Ex_UD2->SetPosition(255);
    FResolver->FMissing = {"192.0.2.0"};  // 192.0.2.1 stays pending
    QTimer::singleShot(200, this, [this] { Form().close(); });
    Start(Form().NsLookupEx, Form().Ex_CB, "192.0.2");
    QVERIFY(!Form().IsBusy());
    QCOMPARE(Body().last(), QStringLiteral("...中止されました"));
    QCOMPARE(FResolver->Requests().size(), 2);
    QCOMPARE(FResolver->PendingCount(), 0);
    FForm.reset();
  }

  void tcpToolsResolveNamesAndShowTheOfficialNameInErrors() {
    FResolver->FAnswers["whois.test"] = MakeEntry("whois.official.test", {"127.0.0.1"});
    Form().FWhoisPort = TLoopbackServer::ClosedPort();
    Form().WhoisReq_CB->setEditText("q");
    Start(Form().Whois, Form().WhoisServ_CB, "whois.test");
    QTRY_VERIFY(Form().Go_Btn->isEnabled());
    QCOMPARE(Pane().last(), QStringLiteral("whois.official.test - 接続できません"));
    // Not found ends the run with the lookup's line.
    FResolver->FMissing = {"gone.test"};
    Start(Form().Http, Form().HHURL_CB, "http://gone.test/");
    QVERIFY(Form().Go_Btn->isEnabled());
    QCOMPARE(Pane().last(), QStringLiteral("gone.test - 見つかりません"));
  }

  void lookupFromAWorkerThreadReportsItsStatusThroughTheWindow() {
    FResolver->FAnswers["192.0.2.5"] = MakeEntry("hop.test", {"192.0.2.5"});
    Form().StartQuery("test");
    bool ok = false;
    THostEntry hop;
    std::thread worker([&] { ok = Form().LookupHost("192.0.2.5", false, &hop); });
    worker.join();
    QVERIFY(ok);
    QCOMPARE(hop.OfficialName, QByteArray("hop.test"));
    QTRY_COMPARE(Form().StatusPanel->text(), QStringLiteral("ホスト情報取得中...(192.0.2.5)"));
    // Stop wakes a worker waiting for an answer that never comes.
    bool late = true;
    std::thread waiter([&] { late = Form().LookupHost("192.0.2.6", false, &hop); });
    QTRY_COMPARE(FResolver->PendingCount(), 1);
    Form().Stop_BtnClick();
    waiter.join();
    QVERIFY(!late);
  }
};

QTEST_MAIN(LookupToolsTest)
#include "LookupToolsTest.moc"
