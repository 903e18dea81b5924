// Whois runs that follow referrals, against whois servers on loopback that
// play IANA, a registry, a registrar and an address registry. The first
// three share one port on three loopback addresses, as real servers share
// port 43; the fake resolver gives each name its address.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "FormFixture.h"
#include "LoopbackServer.h"
#include "TestStores.h"
#include "common/ProgramDir.h"
#include "common/SjisText.h"

namespace {
const QString Refer = QStringLiteral(">> 参照先: ");
}

class WhoisReferralTest : public QObject, public TFormFixture {
  Q_OBJECT
 private:
  QTemporaryDir FDir;
  std::unique_ptr<TLoopbackServer> FIana, FNic, FRegistrar, FRir;

  // Three servers on one port; tried again should another program hold the
  // port on one of the addresses.
  bool StartServers() {
    for (int attempt = 0; attempt < 5; ++attempt) {
      FIana = std::make_unique<TLoopbackServer>();
      FNic = std::make_unique<TLoopbackServer>("127.0.0.2", FIana->Port());
      FRegistrar = std::make_unique<TLoopbackServer>("127.0.0.3", FIana->Port());
      if (FNic->Listening() && FRegistrar->Listening()) break;
    }
    FRir = std::make_unique<TLoopbackServer>("::1", 0);
    return FIana->Listening() && FNic->Listening() && FRegistrar->Listening();
  }
  bool OpenWindow() {
    TFormDeps deps = Deps();
    deps.WhoisPort = FIana->Port();
    FResolver->FAnswers = {
        {"whois.iana.test", MakeEntry("whois.iana.test", {"127.0.0.1"})},
        {"whois.nic.test", MakeEntry("whois.nic.test", {"127.0.0.2"})},
        {"whois.registrar.test", MakeEntry("whois.registrar.test", {"127.0.0.3"})},
        {"whois.refused.test", MakeEntry("whois.refused.test", {"127.0.0.4"})},
        {"whois.relay.test", MakeEntry("whois.relay.test", {"127.0.0.2"})}};
    FResolver->FMissing = {"whois.dead.test"};
    return Open(deps);
  }
  // Whois of query at the IANA server, following referrals when follow is on.
  void RunWhois(const QString& query, bool follow = true) {
    Form().PageControl->setCurrentWidget(Form().Whois);
    if (Form().WhoisRefer_ChckB->isChecked() != follow)
      QTest::mouseClick(Form().WhoisRefer_ChckB, Qt::LeftButton);
    QCOMPARE(Form().WhoisRefer_ChckB->isChecked(), follow);
    Type(Form().WhoisServ_CB, "whois.iana.test");
    Type(Form().WhoisReq_CB, query);
    QTest::mouseClick(Form().Go_Btn, Qt::LeftButton);
  }
  QString RirServer() const { return QString("[::1]:%1").arg(FRir->Port()); }
  QByteArray Log() const { return ReadLog(QDir(FDir.path()).filePath("whois.log")); }

 private slots:
  void initTestCase() { IsolateSettingsStores(); }
  void init() {
    MarkPortable(FDir.path());
    SetProgramDir(FDir.path());
    QVERIFY(StartServers());
    QVERIFY(OpenWindow());
    Form().FLogMode = 1;
    Form().FLogFileName = "whois.log";
  }
  void cleanup() {
    QVERIFY(Shut());
    FIana.reset();
    FNic.reset();
    FRegistrar.reset();
    FRir.reset();
    QFile::remove(QDir(FDir.path()).filePath("whois.log"));
  }

  // Lines are given with "|" between them.
  void chains_data() {
    QTest::addColumn<bool>("follow");
    QTest::addColumn<QString>("replies");  // IANA, registry, registrar, address registry
    QTest::addColumn<QString>("shown");    // the run's lines after its header
    QTest::addColumn<QString>("asked");    // what each server was asked
    const QString nic = "refer: whois.nic.test|";
    const QString asked = "domain example.test|";
    QTest::newRow("registry, then registrar with the domain alone")
        << true
        << "refer: whois.nic.test|Registrar WHOIS Server: whois.registrar.test|"
           "Registrar WHOIS Server: whois.registrar.test\r\nRegistrant: Alice|"
        << nic +
               "|>> 参照先: whois.nic.test||Registrar WHOIS Server: whois.registrar.test||"
               ">> 参照先: whois.registrar.test||Registrar WHOIS Server: "
               "whois.registrar.test|Registrant: Alice"
        << asked + asked + "example.test|";
    QTest::newRow("a server asked before ends the chain")
        << true << nic + "whois: WHOIS.IANA.TEST.||"
        << nic + "|>> 参照先: whois.nic.test||whois: WHOIS.IANA.TEST." << asked + asked + "|";
    QTest::newRow("a name not found ends the run")
        << true << "refer: whois.dead.test|||"
        << "refer: whois.dead.test||>> 参照先: whois.dead.test||whois.dead.test - 見つかりません"
        << asked + "||";
    QTest::newRow("a refused connection ends the run")
        << true << "refer: whois.refused.test|||"
        << "refer: whois.refused.test||>> 参照先: whois.refused.test||"
           "whois.refused.test - 接続できません"
        << asked + "||";
    QTest::newRow("rwhois is named, not followed")
        << true << "ReferralServer: rwhois://rw.test:4321|||"
        << "ReferralServer: rwhois://rw.test:4321||rwhois://rw.test:4321 - "
           "rwhoisの参照先はたどりません"
        << asked + "||";
    // The fourth referral (a dead name) would write a line of its own.
    QTest::newRow("at most three referrals")
        << true
        << nic + "refer: whois.registrar.test|ReferralServer: whois://%RIR%|refer: whois.dead.test"
        << nic +
               "|>> 参照先: whois.nic.test||refer: whois.registrar.test||"
               ">> 参照先: whois.registrar.test||ReferralServer: whois://%RIR%||"
               ">> 参照先: %RIR%||refer: whois.dead.test"
        << asked + asked + asked + "domain example.test";
    QTest::newRow("off: the first reply alone") << false << nic + "refer: whois.registrar.test||"
                                                << "refer: whois.nic.test" << asked + "||";
  }
  void chains() {
    QFETCH(bool, follow);
    QFETCH(QString, replies);
    QFETCH(QString, shown);
    QFETCH(QString, asked);
    const QStringList reply = replies.replace("%RIR%", RirServer()).split(u'|');
    const QStringList request = asked.split(u'|');
    TLoopbackServer* servers[] = {FIana.get(), FNic.get(), FRegistrar.get(), FRir.get()};
    for (int i = 0; i < 4; ++i) servers[i]->SetReply({{reply[i].toLatin1() + "\r\n"}});
    RunWhois("domain example.test", follow);
    QTRY_VERIFY_WITH_TIMEOUT(Idle(), 5000);
    QCOMPARE(Pane().mid(2), shown.replace("%RIR%", RirServer()).split(u'|'));
    for (int i = 0; i < 4; ++i) {
      const bool wasAsked = !request[i].isEmpty();
      QCOMPARE(servers[i]->LastRequest(), wasAsked ? request[i].toLatin1() + "\r\n" : "");
      QCOMPARE(servers[i]->Connections(), wasAsked ? 1 : 0);
    }
  }

  void referralsGoThroughTheRelay() {
    Form().FWhoisRelay = "whois.relay.test";
    Form().EnableInputs();
    QTest::mouseClick(Form().WhoisWall_ChckB, Qt::LeftButton);
    // The relay (on the registry's address) answers every query alike.
    FNic->SetReply({{"refer: whois.registrar.test\r\n"}});
    RunWhois("example.test");
    QTRY_VERIFY_WITH_TIMEOUT(Idle(), 5000);
    QCOMPARE(Pane().mid(2),
             (QStringList{"refer: whois.registrar.test", "", Refer + "whois.registrar.test", "",
                          "refer: whois.registrar.test"}));
    QCOMPARE(FNic->Connections(), 2);
    QCOMPARE(FNic->LastRequest(), QByteArray("example.test@whois.registrar.test\r\n"));
    QCOMPARE(FIana->Connections() + FRegistrar->Connections(), 0);
  }

  void stopDuringAReferral_data() {
    QTest::addColumn<QString>("referral");
    QTest::newRow("its lookup") << "whois.pending.test";  // the fake resolver holds it
    QTest::newRow("its reply") << "whois.nic.test";
  }
  void stopDuringAReferral() {
    QFETCH(QString, referral);
    FIana->SetReply({{"refer: " + referral.toLatin1() + "\r\n"}});
    FNic->SetSilent(true);
    RunWhois("example.test");
    QTRY_VERIFY_WITH_TIMEOUT(Pane().contains(Refer + referral), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(FNic->Connections() == 1 || FResolver->PendingCount() == 1, 5000);
    QTest::mouseClick(Form().Stop_Btn, Qt::LeftButton);
    QVERIFY(Idle());
    const QStringList lines{"refer: " + referral, "", Refer + referral, "",
                            QStringLiteral("...中止されました")};
    QCOMPARE(Pane().mid(2), lines);
    QTRY_COMPARE(TQueryThread::LiveCount(), 0);
    QCOMPARE(Pane().mid(2), lines);  // nothing after Stop
    QByteArray logged;
    for (const QString& line : lines) logged += ToSjis(line) + "\r\n";
    QVERIFY(Log().endsWith("\r\n\r\n" + logged));
  }
};

QTEST_MAIN(WhoisReferralTest)
#include "WhoisReferralTest.moc"
