// HTTPS runs of the window against openssl s_server on loopback, with
// certificates made by a test CA that the client alone trusts: what nginx
// cannot be made to do (the verdicts against nginx are in WebNetTest).
#include <QDir>
#include <QLabel>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include "FormFixture.h"
#include "LoopbackServer.h"
#include "TestStores.h"
#include "TlsTestServer.h"
#include "common/ProgramDir.h"
#include "workers/TlsLink.h"

class HttpsTest : public QObject, public TFormFixture {
  Q_OBJECT
 private:
  QTemporaryDir FDir;
  QTemporaryDir FCerts;

  // GET of https://host:port/ (srv.test is 127.0.0.1); the lines of the run.
  QStringList Get(quint16 port, const QString& host = "srv.test") {
    Form().HTTPGET_RBTN->setChecked(true);
    Start(Form().Http, Form().HHURL_CB, QString("https://%1:%2/").arg(host).arg(port));
    if (!QTest::qWaitFor([this] { return Idle(); }, 10000)) return {"<still running>"};
    return Body();
  }

 private slots:
  void initTestCase() {
    IsolateSettingsStores();
    QVERIFY(TTlsTestServer::MakeCertificates(FCerts.path()));
    TTlsLink::SetTrustFile(QDir(FCerts.path()).filePath("ca.crt"));
  }
  void cleanupTestCase() { TTlsLink::SetTrustFile(QString()); }
  void init() {
    MarkPortable(FDir.path());
    SetProgramDir(FDir.path());
    QVERIFY(Open());
    for (const char* name : {"srv.test", "srv.test.", "."})
      FResolver->FAnswers[name] = MakeEntry(name, {"127.0.0.1"});
  }
  void cleanup() { QVERIFY(Shut()); }

  // The server's own certificate also names its hosts, key and signature.
  void serversOwnCertificateInFull() {
    TTlsTestServer server(FCerts.path(), "valid", true);
    const QStringList lines = Get(server.Port());
    QCOMPARE(lines.mid(4, 3),
             (QStringList{"  別名: DNS:srv.test, IP:127.0.0.1, DNS:chain.srv.test, DNS:leaf.srv.test, "
                          "DNS:tls12.srv.test, DNS:tls13.srv.test, DNS:a1.srv.test, "
                          "DNS:a2.srv.test, DNS:a3.srv.test, DNS:a4.srv.test (ほか 3 件)",
                          "  公開鍵: EC 256 ビット", "  署名アルゴリズム: ecdsa-with-SHA256"}));
    QCOMPARE(lines.value(10), QString("検証 OK"));  // the intermediate's block is shorter
  }

  // The server picks its certificate by the name the client sends: the
  // self-signed one for srv.test, the other.test one without a name.
  void nameIsSentAndCheckedAnAddressOnlyChecked() {
    const QDir dir(FCerts.path());
    TTlsTestServer server(FCerts.path(), "wrongname", true,
                          {"-servername", "srv.test", "-cert2", dir.filePath("selfsigned.crt"),
                           "-key2", dir.filePath("selfsigned.key")});
    QVERIFY(Get(server.Port()).contains("検証 NG: 自己署名 (self-signed certificate)"));
    QVERIFY(Get(server.Port(), "srv.test.").contains("検証 NG: 自己署名 (self-signed certificate)"));
    const QStringList byAddress = Get(server.Port(), "127.0.0.1");
    QCOMPARE(byAddress.value(1), QString("証明書 1: CN=other.test"));
    QVERIFY2(byAddress.contains("検証 NG: 名前が一致しません (IP address mismatch)"),
             qPrintable(byAddress.join('\n')));
  }

  // An address is checked by the bytes the socket reached, a name against its
  // alternative names alone; every problem is named; days are whole days.
  void verdictForTheHostAsTyped_data() {
    QTest::addColumn<QString>("cert");
    QTest::addColumn<bool>("chain");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("line");
    const QString mismatch = "検証 NG: 名前が一致しません (IP address mismatch)";
    QTest::newRow("short form") << "wrongname" << true << "127.1" << mismatch;
    QTest::newRow("octal") << "wrongname" << true << "0177.0.0.1" << mismatch;
    QTest::newRow("mapped") << "wrongname" << true << "[::ffff:127.0.0.1]" << mismatch;
    QTest::newRow("IPv6") << "valid" << true << "[::1]" << "検証 OK";
    QTest::newRow("subject alone") << "nosan" << true << "srv.test"
                                   << "検証 NG: 名前が一致しません (hostname mismatch)";
    QTest::newRow("expired, leaf alone") << "expired" << false << "srv.test"
        << "検証 NG: 中間証明書が足りません (unable to get local issuer certificate)、"
           "有効期限切れ (certificate has expired)";
    QTest::newRow("ended hours ago") << "expired" << true << "srv.test" << "(0 日前に終了)";
    QTest::newRow("not yet valid") << "notyet" << true << "srv.test" << "(1484 日後に開始)";
    QTest::newRow("ten names") << "wrongname" << true << "srv.test"
        << "  別名: DNS:other.test, IP:177.0.0.1, IP:::ffff:127.0.0.1, DNS:b1, DNS:b2, DNS:b3, "
           "DNS:b4, DNS:b5, DNS:b6, DNS:x\\0D\\0A\\1BOK";
    QTest::newRow("no name left") << "valid" << true << "."
                                  << ". - TLS ハンドシェイク失敗: このホスト名は TLS で使えません";
  }
  void verdictForTheHostAsTyped() {
    QFETCH(QString, cert);
    QFETCH(bool, chain);
    QFETCH(QString, host);
    QFETCH(QString, line);
    const QStringList v6{"-accept", "[::1]:0"};
    TTlsTestServer server(FCerts.path(), cert, chain, host == "[::1]" ? v6 : QStringList());
    const QStringList lines = Get(server.Port(), host);
    QVERIFY2(lines.contains(line) || lines.value(3).endsWith(line), qPrintable(lines.join('\n')));
  }

  // A failed handshake writes its one line and ends the run.
  void failedHandshakeWritesItsReason() {
    TTlsTestServer noCipher(FCerts.path(), "valid", true,
                            {"-tls1_2", "-cipher", "NULL-SHA256:@SECLEVEL=0"});
    QCOMPARE(Get(noCipher.Port()),
             QStringList{"srv.test - TLS ハンドシェイク失敗: 共通の暗号スイートがありません "
                         "(sslv3 alert handshake failure)"});
    TLoopbackServer plain;
    plain.SetReply({{"HTTP/1.0 400 Bad Request\r\n\r\n"}});
    plain.SetRequestEnd("");
    QCOMPARE(Get(plain.Port()),
             QStringList{"srv.test - TLS ハンドシェイク失敗: TLS のバージョンが合いません "
                         "(wrong version number)"});
    TLoopbackServer closing;
    closing.SetRequestEnd("");
    QCOMPARE(Get(closing.Port()),
             QStringList{"srv.test - TLS ハンドシェイク失敗: 相手が接続を閉じました"});
  }

  void stopEndsAHandshakeThatGetsNoAnswer() {
    TLoopbackServer silent;
    silent.SetSilent(true);
    Start(Form().Http, Form().HHURL_CB, QString("https://127.0.0.1:%1/").arg(silent.Port()));
    QTRY_COMPARE_WITH_TIMEOUT(Form().StatusPanel->text(), QString("TLS 接続中..."), 5000);
    QTest::mouseClick(Form().Stop_Btn, Qt::LeftButton);
    QVERIFY(Idle());
    QCOMPARE(Body(), QStringList{"...中止されました"});
    QTRY_VERIFY_WITH_TIMEOUT(silent.ClientWentAway(), 3000);
    QTRY_COMPARE(TQueryThread::LiveCount(), 0);
  }
};

QTEST_MAIN(HttpsTest)
#include "HttpsTest.moc"
