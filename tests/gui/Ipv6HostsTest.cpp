// Finger, Whois, HTTP and NS Lookup of IPv6 hosts through the window: literals,
// names with only IPv6 addresses or both families, the next address after a
// failed connection, an IPv6 relay, and the IPv6を優先 menu item. Servers on 127.0.0.1 and
// ::1 share one port, so which one was asked tells which address was used.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QTemporaryDir>
#include <QtTest>

#include "FormFixture.h"
#include "LoopbackServer.h"
#include "TestStores.h"
#include "common/ProgramDir.h"

class Ipv6HostsTest : public QObject, public TFormFixture {
  Q_OBJECT
 private:
  QTemporaryDir FDir;
  std::unique_ptr<TLoopbackServer> FV6, FV4;

  bool OpenWithServers(bool withV4) {
    for (int attempt = 0; attempt < 5; ++attempt) {
      FV6 = std::make_unique<TLoopbackServer>("::1", 0);
      FV4.reset(withV4 ? new TLoopbackServer("127.0.0.1", FV6->Port()) : nullptr);
      if (FV6->Listening() && (!withV4 || FV4->Listening())) break;
    }
    TFormDeps deps = Deps();
    deps.FingerPort = deps.WhoisPort = FV6->Port();
    FResolver->FAnswers = {
        {"v6only.test", MakeEntry("v6only.test", {"::1"})},
        {"dual.test", MakeEntry("dual.test", {"127.0.0.1", "::1"})},
        {"2001:db8::10", MakeEntry("v6only.test", {"2001:db8::10"})}};
    return FV6->Listening() && Open(deps);
  }
  QStringList Finger(const QString& host) {
    Start(Form().Finger, Form().FngrServ_CB, host);
    return QTest::qWaitFor([this] { return Idle(); }, 5000) ? Body() : QStringList{"<running>"};
  }

 private slots:
  void initTestCase() { IsolateSettingsStores(); }
  void init() {
    MarkPortable(FDir.path());
    SetProgramDir(FDir.path());
  }
  void cleanup() {
    QVERIFY(Shut());
    FV4.reset();
    FV6.reset();
  }

  // Which server a Finger run reaches, by the host typed, whether 127.0.0.1
  // listens too, and the menu item.
  void fingerReachesTheAddressInUse_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("withV4");
    QTest::addColumn<bool>("preferV6");
    QTest::addColumn<QString>("reached");  // "v4", "v6"
    QTest::newRow("literal") << "::1" << false << false << "v6";
    QTest::newRow("literal in brackets") << "[::1]" << true << false << "v6";
    QTest::newRow("name with IPv6 alone") << "v6only.test" << true << false << "v6";
    QTest::newRow("both families: IPv4 first") << "dual.test" << true << false << "v4";
    QTest::newRow("both families, IPv6 preferred") << "dual.test" << true << true << "v6";
    QTest::newRow("IPv4 refused: the next address") << "dual.test" << false << false << "v6";
  }
  void fingerReachesTheAddressInUse() {
    QFETCH(QString, host);
    QFETCH(bool, withV4);
    QFETCH(bool, preferV6);
    QFETCH(QString, reached);
    QVERIFY(OpenWithServers(withV4));
    Form().PreferIPv6_ChckM->setChecked(preferV6);
    FV6->SetReply({{"from v6\r\n"}});
    if (FV4) FV4->SetReply({{"from v4\r\n"}});
    QCOMPARE(Finger(host), QStringList{"from " + reached});
  }

  // An IPv6 host where Finger's relay or the Whois server is named gets
  // the query: a literal, bare or in brackets, or a name with IPv6 alone.
  void relayAndWhoisServerMayBeIPv6Hosts_data() {
    QTest::addColumn<bool>("whois");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QByteArray>("request");
    const QByteArray relayed = "user@far.example\r\n", whois = "example.jp\r\n";
    QTest::newRow("relay literal") << false << "::1" << relayed;
    QTest::newRow("relay in brackets") << false << "[::1]" << relayed;
    QTest::newRow("relay with IPv6 alone") << false << "v6only.test" << relayed;
    QTest::newRow("whois in brackets") << true << "[::1]" << whois;
    QTest::newRow("whois with IPv6 alone") << true << "v6only.test" << whois;
  }
  void relayAndWhoisServerMayBeIPv6Hosts() {
    QFETCH(bool, whois);
    QFETCH(QString, server);
    QFETCH(QByteArray, request);
    QVERIFY(OpenWithServers(false));
    FV6->SetReply({{"answer\r\n"}});
    if (whois) {
      Form().WhoisReq_CB->setEditText("example.jp");
      Start(Form().Whois, Form().WhoisServ_CB, server);
    } else {
      Form().FFingerRelay = server;
      Form().FngrWall_ChckB->setChecked(true);
      Form().FngrReq_CB->setEditText("user");
      Start(Form().Finger, Form().FngrServ_CB, "far.example");
    }
    QTRY_VERIFY_WITH_TIMEOUT(Idle(), 5000);
    QCOMPARE(Body(), QStringList{"answer"});
    QCOMPARE(FV6->LastRequest(), request);
  }

  // No address answers: one failure line, after every address was tried.
  void fingerFailsOnceEveryAddressIsTried() {
    QVERIFY(OpenWithServers(false));
    const quint16 closed = TLoopbackServer::ClosedPort();
    FV6.reset();
    QVERIFY(Shut());
    TFormDeps deps = Deps();
    deps.FingerPort = closed;
    FResolver->FAnswers["dual.test"] = MakeEntry("dual.test", {"127.0.0.1", "::1"});
    QVERIFY(Open(deps));
    QCOMPARE(Finger("dual.test"), QStringList{"dual.test - 接続できません"});
  }

  void httpToABracketedLiteralNamesItInTheHostHeader() {
    QVERIFY(OpenWithServers(false));
    FV6->SetReply({{"HTTP/1.0 200 OK\r\n\r\n"}});
    Start(Form().Http, Form().HHURL_CB, QString("http://[::1]:%1/x").arg(FV6->Port()));
    QTRY_VERIFY_WITH_TIMEOUT(Idle(), 5000);
    QVERIFY2(FV6->LastRequest().startsWith(
                 "HEAD /x HTTP/1.0\r\nHost: [::1]:" + QByteArray::number(FV6->Port()) + "\r\n"),
             FV6->LastRequest().constData());
  }

  // IPv4 lines before IPv6 ones; an IPv6 address looked up in reverse.
  void nsLookupShowsBothFamilies() {
    QVERIFY(OpenWithServers(false));
    Start(Form().NsLookup, Form().NSServ_CB, "dual.test");
    QTRY_VERIFY_WITH_TIMEOUT(Idle(), 5000);
    QCOMPARE(Body(), (QStringList{"    ホスト名: dual.test", "ＩＰアドレス: 127.0.0.1",
                                  "ＩＰアドレス: ::1"}));
    Start(Form().NsLookup, Form().NSServ_CB, "2001:DB8:0::10");
    QTRY_VERIFY_WITH_TIMEOUT(Idle(), 5000);
    QCOMPARE(Body().first(), QString("    ホスト名: v6only.test"));
    QCOMPARE(FResolver->Requests().last(), QByteArray("2001:db8::10"));
  }
};

QTEST_MAIN(Ipv6HostsTest)
#include "Ipv6HostsTest.moc"
