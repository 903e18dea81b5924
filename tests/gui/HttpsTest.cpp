// HTTPS runs of the window against real TLS servers on loopback, with
// certificates made by a test CA that the client alone trusts.
#include <QDir>
#include <QLabel>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "FormFixture.h"
#include "LoopbackServer.h"
#include "TestStores.h"
#include "TlsTestServer.h"
#include "common/ProgramDir.h"
#include "common/QueryText.h"
#include "workers/TlsLink.h"
#include "workers/TlsReport.h"

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

  // What `openssl s_client` sees of the same server, in the report's words:
  // per certificate its subject, issuer and validity lines (the last without
  // the days left), then the verification result's code.
  QStringList SClientView(quint16 port, const QString& host) {
    QProcess client;
    client.start("openssl", {"s_client", "-connect", QString("127.0.0.1:%1").arg(port),
                             "-servername", host, "-verify_hostname", host, "-CAfile",
                             QDir(FCerts.path()).filePath("ca.crt"), "-nameopt", "RFC2253"});
    client.closeWriteChannel();
    if (!client.waitForFinished(10000)) return {};
    static const QRegularExpression item(
        "^ *(\\d+) s:(.*)$|^ +i:(.*)$|^ +v:NotBefore: (.*); NotAfter: (.*)$|"
        "^ *Verify return code: (\\d+) ");
    const auto time = [](const QString& text) {
      QDateTime utc = QDateTime::fromString(text.simplified(), "MMM d HH:mm:ss yyyy 'GMT'");
      utc.setTimeSpec(Qt::UTC);
      return HeaderTime(utc.toLocalTime());
    };
    QStringList view;
    for (const QString& line : QString::fromUtf8(client.readAllStandardOutput()).split('\n')) {
      const QRegularExpressionMatch m = item.match(line);
      if (!m.hasMatch()) continue;
      if (!m.captured(2).isEmpty())
        view << QString("証明書 %1: ").arg(m.captured(1).toInt() + 1) + m.captured(2);
      else if (!m.captured(3).isEmpty())
        view << "  発行者: " + m.captured(3);
      else if (!m.captured(4).isEmpty())
        view << "  有効期間: " + time(m.captured(4)) + " ～ " + time(m.captured(5)) + " (";
      else
        return view << m.captured(6);
    }
    return view;
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
    FResolver->FAnswers["srv.test"] = MakeEntry("srv.test", {"127.0.0.1"});
  }
  void cleanup() { QVERIFY(Shut()); }

  // The report, its verdict last, then the server's reply: a failed check
  // does not stop the run.
  void verdictComesBeforeTheReply_data() {
    QTest::addColumn<QString>("cert");
    QTest::addColumn<bool>("chain");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QString>("verdict");
    const QString any = "TLSv1.3";
    QTest::newRow("full chain") << "valid" << true << QStringList() << any << "検証 OK";
    QTest::newRow("TLS 1.2 only") << "valid" << true << QStringList{"-tls1_2"} << "TLSv1.2"
                                  << "検証 OK";
    QTest::newRow("TLS 1.3 only") << "valid" << true << QStringList{"-tls1_3"} << any << "検証 OK";
    QTest::newRow("leaf only")
        << "valid" << false << QStringList() << any
        << "検証 NG: 中間証明書が足りません (unable to get local issuer certificate)";
    QTest::newRow("expired") << "expired" << true << QStringList() << any
                             << "検証 NG: 有効期限切れ (certificate has expired)";
    QTest::newRow("not yet valid") << "notyet" << true << QStringList() << any
                                   << "検証 NG: 有効期間の開始前 (certificate is not yet valid)";
    QTest::newRow("wrong name") << "wrongname" << true << QStringList() << any
                                << "検証 NG: 名前が一致しません (hostname mismatch)";
    QTest::newRow("self-signed") << "selfsigned" << false << QStringList() << any
                                 << "検証 NG: 自己署名 (self-signed certificate)";
  }
  void verdictComesBeforeTheReply() {
    QFETCH(QString, cert);
    QFETCH(bool, chain);
    QFETCH(QStringList, options);
    QFETCH(QString, protocol);
    QFETCH(QString, verdict);
    TTlsTestServer server(FCerts.path(), cert, chain, options);
    QVERIFY(server.Port() != 0);
    const QStringList lines = Get(server.Port());
    QVERIFY2(lines.value(0).startsWith("TLS: " + protocol + "  暗号スイート: "),
             qPrintable(lines.join('\n')));
    const qsizetype at = lines.indexOf(verdict);
    QVERIFY2(at > 0, qPrintable(lines.join('\n')));
    QCOMPARE(lines.value(at + 1), QString("HTTP/1.0 200 ok"));
    // Subjects, issuers, dates and verdict as openssl's own client has them.
    const QStringList view = SClientView(server.Port(), "srv.test");
    QCOMPARE(view.size(), 3 * (chain ? 2 : 1) + 1);
    for (const QString& expected : view.mid(0, view.size() - 1))
      QVERIFY2(
          !lines.filter(QRegularExpression("^" + QRegularExpression::escape(expected))).isEmpty(),
          qPrintable(expected));
    // s_client goes on after the first error and names the last one: the
    // reasons agree, not always the library's texts.
    const long code = view.last().toLong();
    QVERIFY2(verdict.startsWith(code == 0 ? QString("検証 OK")
                                          : "検証 NG: " + TlsVerifyReason(code, chain ? 2 : 1)),
             qPrintable(view.last()));
  }

  // The server's own certificate also names its hosts, key and signature.
  void serversOwnCertificateInFull() {
    TTlsTestServer server(FCerts.path(), "valid", true);
    const QStringList lines = Get(server.Port());
    QCOMPARE(lines.mid(4, 3),
             (QStringList{"  別名: DNS:srv.test, IP:127.0.0.1, DNS:a1.srv.test, DNS:a2.srv.test, "
                          "DNS:a3.srv.test, DNS:a4.srv.test, DNS:a5.srv.test, DNS:a6.srv.test, "
                          "DNS:a7.srv.test, DNS:a8.srv.test (ほか 2 件)",
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
    const QStringList byAddress = Get(server.Port(), "127.0.0.1");
    QCOMPARE(byAddress.value(1), QString("証明書 1: CN=other.test"));
    QVERIFY2(byAddress.contains("検証 NG: 名前が一致しません (IP address mismatch)"),
             qPrintable(byAddress.join('\n')));
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
