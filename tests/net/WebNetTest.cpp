// HTTP and HTTPS runs of the window against nginx in the test namespace
// (web_netns.sh), its sites found by name through the namespace's DNS
// server; the client trusts the test CA alone.
#include <QDir>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "FormFixture.h"
#include "TestStores.h"
#include "common/ProgramDir.h"
#include "common/QueryText.h"
#include "workers/TlsLink.h"
#include "workers/TlsReport.h"

class WebNetTest : public QObject, public TFormFixture {
  Q_OBJECT
 private:
  QTemporaryDir FDir;
  QString FCaFile;

  QStringList Get(const QString& url) {
    Form().HTTPGET_RBTN->setChecked(true);
    Start(Form().Http, Form().HHURL_CB, url);
    if (!QTest::qWaitFor([this] { return Idle(); }, 15000)) return {"<still running>"};
    return Body();
  }

  // What `openssl s_client` sees of the same server, in the report's words:
  // per certificate its subject, issuer and validity lines (the last without
  // the days left), then the verification result's code.
  QStringList SClientView(const QString& host) {
    QProcess client;
    client.start("openssl", {"s_client", "-connect", host + ":443", "-servername", host,
                             "-verify_hostname", host, "-CAfile", FCaFile, "-nameopt", "RFC2253"});
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
    FCaFile = QDir(qEnvironmentVariable("WEB_CERTS")).filePath("ca.crt");
    QVERIFY2(QFile::exists(FCaFile), "run me in web_netns.sh");
    TTlsLink::SetTrustFile(FCaFile);
  }
  void cleanupTestCase() { TTlsLink::SetTrustFile(QString()); }
  void init() {
    MarkPortable(FDir.path());
    SetProgramDir(FDir.path());
    QVERIFY(Open(TFormDeps()));  // the system's resolver: the namespace's dnsmasq
  }
  void cleanup() { QVERIFY(Shut()); }

  // The report, its verdict last, then the server's reply: a failed check
  // does not stop the run.
  void verdictComesBeforeTheReply_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("certificates");
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QString>("verdict");
    const QString any = "TLSv1.3";
    QTest::newRow("full chain") << "chain" << 2 << any << "検証 OK";
    QTest::newRow("TLS 1.2 only") << "tls12" << 2 << "TLSv1.2" << "検証 OK";
    QTest::newRow("TLS 1.3 only") << "tls13" << 2 << any << "検証 OK";
    QTest::newRow("leaf only") << "leaf" << 1 << any
                               << "検証 NG: 中間証明書が足りません (unable to get local issuer "
                                  "certificate)";
    QTest::newRow("expired") << "expired" << 2 << any
                             << "検証 NG: 有効期限切れ (certificate has expired)";
    QTest::newRow("not yet valid") << "notyet" << 2 << any
                                   << "検証 NG: 有効期間の開始前 (certificate is not yet valid)";
    QTest::newRow("wrong name") << "wrong" << 2 << any
                                << "検証 NG: 名前が一致しません (hostname mismatch)";
    QTest::newRow("self-signed") << "selfsigned" << 1 << any
                                 << "検証 NG: 自己署名 (self-signed certificate)";
  }
  void verdictComesBeforeTheReply() {
    QFETCH(QString, host);
    QFETCH(int, certificates);
    QFETCH(QString, protocol);
    QFETCH(QString, verdict);
    host += ".srv.test";
    const QStringList lines = Get("https://" + host + "/");
    QVERIFY2(lines.value(0).startsWith("TLS: " + protocol + "  暗号スイート: "),
             qPrintable(lines.join('\n')));
    const qsizetype at = lines.indexOf(verdict);
    QVERIFY2(at > 0, qPrintable(lines.join('\n')));
    QCOMPARE(lines.value(at + 1), QString("HTTP/1.1 200 OK"));
    QVERIFY2(lines.contains(host + " Host=" + host), qPrintable(lines.join('\n')));
    // Subjects, issuers, dates and verdict as openssl's own client has them.
    const QStringList view = SClientView(host);
    QCOMPARE(view.size(), 3 * certificates + 1);
    for (const QString& expected : view.mid(0, view.size() - 1))
      QVERIFY2(
          !lines.filter(QRegularExpression("^" + QRegularExpression::escape(expected))).isEmpty(),
          qPrintable(expected));
    // s_client goes on after the first error and names the last one: the
    // reasons agree, not always the library's texts.
    const long code = view.last().toLong();
    QVERIFY2(verdict.startsWith(code == 0 ? QString("検証 OK")
                                          : "検証 NG: " + TlsVerifyReason(code, certificates)),
             qPrintable(view.last()));
  }

  // One address serves several sites: the Host header picks the one named,
  // with the port only where it is not the scheme's own.
  void hostHeaderPicksTheSite_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("reply");
    QTest::newRow("first site") << "http://site1.srv.test/" << "site1.srv.test Host=site1.srv.test";
    QTest::newRow("second site, other port")
        << "http://site2.srv.test:8080/" << "site2.srv.test Host=site2.srv.test:8080";
    QTest::newRow("default port named, no scheme")
        << "site1.srv.test:80/" << "site1.srv.test Host=site1.srv.test";
    QTest::newRow("https, default port named")
        << "https://chain.srv.test:443/" << "chain.srv.test Host=chain.srv.test";
    QTest::newRow("address") << "http://127.0.2.1/" << "default Host=127.0.2.1";
  }
  void hostHeaderPicksTheSite() {
    QFETCH(QString, url);
    QFETCH(QString, reply);
    const QStringList lines = Get(url);
    QVERIFY2(lines.contains(reply), qPrintable(lines.join('\n')));
  }
};

QTEST_MAIN(WebNetTest)
#include "WebNetTest.moc"
