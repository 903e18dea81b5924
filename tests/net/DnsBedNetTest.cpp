// NS Lookup's record types, servers and transports through the window,
// against the test bed of dnsbed_netns.sh; every answer compared with what
// dig prints for the same query over the same transport.
#include <netinet/in.h>
#include <openssl/x509_vfy.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCheckBox>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include "FormFixture.h"
#include "LoopbackServer.h"
#include "TestStores.h"
#include "common/DnsWire.h"
#include "main/NsLookupPage.h"
#include "widgets/UpDown.h"
#include "workers/TlsLink.h"

namespace {
// name, TTL, type and data (without blanks: dig splits keys and digests) of
// the record lines of a run's body, or of dig's answer section.
QStringList Records(const QStringList& lines, const QString& pattern) {
  static const QRegularExpression blanks("\\s+");
  QStringList records;
  for (const QString& line : lines) {
    const QRegularExpressionMatch m = QRegularExpression(pattern).match(line);
    if (m.hasMatch()) records << m.captured(1) + ' ' + m.captured(2) + ' ' + m.captured(3) + ' ' +
                                     m.captured(4).remove(blanks);
  }
  return records;
}
const QString OurLine = "^(\\S+)  +(\\d+)  (\\S+) +(.*)$";
const QString DigLine = "^(\\S+)\\s+(\\d+)\\s+IN\\s+(\\S+)\\s+(.*)$";
}  // namespace

class DnsBedNetTest : public QObject, public TFormFixture {
  Q_OBJECT
 private:
  TNsLookupPage& Ns() { return *Form().NsPage; }

  QStringList Ask(const QString& name, const QString& type, const QString& server,
                  bool tcp = false, bool dnssec = false) {
    Ns().Type_CB->setCurrentText(type);
    Ns().DnsServ_CB->setEditText(server);
    Ns().Tcp_ChckB->setChecked(tcp);
    Ns().Dnssec_ChckB->setChecked(dnssec);
    // Japanese is not typed: QTest's key clicks take Latin-1 alone.
    Form().PageControl->setCurrentWidget(Form().NsLookup);
    Form().NSServ_CB->setEditText(name);
    QTest::mouseClick(Form().Go_Btn, Qt::LeftButton);
    if (!QTest::qWaitFor([this] { return Idle(); }, 30000)) return {"<still running>"};
    return Body();
  }

  QStringList Dig(const QStringList& args) {
    QProcess dig;
    dig.start("dig", QStringList{"+noall", "+answer", "+tries=1"} + args);
    dig.waitForFinished(20000);
    return QString::fromUtf8(dig.readAllStandardOutput()).split('\n');
  }

 private slots:
  void initTestCase() {
    IsolateSettingsStores();
    const QString ca = QDir(qEnvironmentVariable("DNSBED_CERTS")).filePath("ca.crt");
    QVERIFY2(QFile::exists(ca), "run me in dnsbed_netns.sh");
    TTlsLink::SetTrustFile(ca);
  }
  void cleanupTestCase() { TTlsLink::SetTrustFile(QString()); }
  void init() { QVERIFY(Open(TFormDeps())); }
  void cleanup() { QVERIFY(Shut()); }

  void everyTypeAndTransportAsDigHasIt_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("server");
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<bool>("dnssec");
    QTest::addColumn<QString>("serverLine");
    const QString udp = "サーバ: 127.0.3.1#53 (UDP)", tcp = "サーバ: 127.0.3.1#53 (TCP)";
    const QString bed = "127.0.3.1", zone = "dnsbed.test";
    QTest::newRow("A") << zone << "A" << bed << false << false << udp;
    QTest::newRow("AAAA, TCP") << zone << "AAAA" << bed << true << false << tcp;
    QTest::newRow("CNAME") << "www." + zone << "CNAME" << bed << false << false << udp;
    QTest::newRow("MX, DNSSEC") << zone << "MX" << bed << false << true << udp;
    QTest::newRow("NS") << zone << "NS" << bed << false << false << udp;
    QTest::newRow("SOA") << zone << "SOA" << bed << false << false << udp;
    QTest::newRow("TXT") << zone << "TXT" << bed << false << false << udp;
    QTest::newRow("TXT of control bytes") << "odd." + zone << "TXT" << bed << true << false << tcp;
    QTest::newRow("SRV") << "_sip._tcp." + zone << "SRV" << bed << false << false << udp;
    QTest::newRow("CAA") << zone << "CAA" << bed << false << false << udp;
    QTest::newRow("PTR") << "ptr." + zone << "PTR" << bed << false << false << udp;
    QTest::newRow("DS, DNSSEC") << "sub." + zone << "DS" << bed << false << true << udp;
    QTest::newRow("DNSKEY") << zone << "DNSKEY" << bed << false << false << udp;
    QTest::newRow("HTTPS") << zone << "HTTPS" << "[127.0.3.1]:53" << false << false << udp;
    QTest::newRow("Japanese name") << "日本語." + zone << "A" << bed << false << false << udp;
    QTest::newRow("TLS") << zone << "MX" << "tls://127.0.0.1" << false << false
                         << "サーバ: 127.0.0.1#853 (TLS)";
    QTest::newRow("HTTPS, DNSSEC") << zone << "MX" << "https://127.0.0.1/dns-query" << false
                                   << true << "サーバ: 127.0.0.1#443 (HTTPS)";
  }
  void everyTypeAndTransportAsDigHasIt() {
    QFETCH(QString, name);
    QFETCH(QString, type);
    QFETCH(QString, server);
    QFETCH(bool, tcp);
    QFETCH(bool, dnssec);
    QFETCH(QString, serverLine);
    const QStringList body = Ask(name, type, server, tcp, dnssec);
    const QString all = body.join('\n');
    QVERIFY2(body.value(0).startsWith(serverLine + "  応答時間: "), qPrintable(all));
    const bool tls = server.contains("://");
    if (tls) QCOMPARE(body.value(1), QString("検証 OK"));
    const QString status = body.value(tls ? 2 : 1);
    QVERIFY2(status.startsWith("状態: 正常 (NOERROR)  フラグ: rd ra"), qPrintable(all));
    QVERIFY2(status.endsWith(" ad"), qPrintable(status));  // the zone is signed and validated
    QStringList args{"@" + QString(tls ? "127.0.0.1" : "127.0.3.1"), QUrl::toAce(name), type};
    if (tcp) args << "+tcp";
    if (dnssec) args << "+dnssec";
    if (tls) args << (server.startsWith("tls") ? "+tls" : "+https");
    // unbound hands out a set's records in turn: compared in one order.
    QStringList ours = Records(body, OurLine), digs = Records(Dig(args), DigLine);
    QVERIFY2(!ours.isEmpty(), qPrintable(all));
    QCOMPARE(ours.filter(" RRSIG ").isEmpty(), !dnssec);
    ours.sort();
    digs.sort();
    QCOMPARE(ours, digs);
    for (const QString& line : body)
      for (const QChar c : line) QVERIFY2(c.unicode() >= 0x20, qPrintable(line));
  }

  // No such name and no such type show the zone that said so; a refusal
  // its code. The system's server (dnsmasq) and unbound tell themselves
  // apart; a name has both its forms in the header, in every tool alike.
  void statusesServersAndNames() {
    QStringList body = Ask("nosuch.dnsbed.test", "A", "127.0.3.1", false, true);
    QVERIFY2(body.value(1).startsWith("状態: 名前が存在しません (NXDOMAIN)"), qPrintable(body.join('\n')));
    QCOMPARE(body.value(2), QString("権威:"));
    QVERIFY(body.value(3).contains(QRegularExpression("^dnsbed\\.test\\.  +300  SOA ")));
    QVERIFY(body.value(4).contains("  RRSIG  SOA 13 2 "));
    body = Ask("dnsbed.test", "SRV", "127.0.3.1");
    QVERIFY(body.value(1).startsWith("状態: 正常 (NOERROR)") && body.value(2) == "権威:");
    body = Ask("refused.dnsbed.test", "A", "127.0.3.1");
    QVERIFY(body.value(1).startsWith("状態: 拒否されました (REFUSED)"));
    body = Ask("who.dnsbed.test", "TXT", "");
    QVERIFY(body.value(0).startsWith("サーバ: 127.0.0.1#53 (UDP)"));
    QVERIFY(body.value(2).endsWith("\"dnsmasq\""));
    QVERIFY(Ask("who.dnsbed.test", "TXT", "127.0.3.1").value(2).endsWith("\"unbound\""));
    Ask("日本語.ostrekon.test", "既定", "");
    QCOMPARE(Pane().filter(">> ").last().section("  ", 1),
             QString("NS Lookup - 日本語.ostrekon.test (xn--wgv71a119e.ostrekon.test)"));
    QCOMPARE(Body(), (QStringList{"    ホスト名: xn--wgv71a119e.ostrekon.test",
                                  "ＩＰアドレス: 192.0.2.82"}));
  }

  // A truncated answer is asked again over TCP; a silent server times out;
  // a certificate for another name gets the HTTP tool's verdict.
  void truncationTimeOutAndVerdict() {
    QStringList body = Ask("big.dnsbed.test", "TXT", "127.0.3.1");
    QCOMPARE(body.value(0), QString("応答が切り詰められていたため、TCP で問い合わせ直します"));
    QVERIFY(body.value(1).startsWith("サーバ: 127.0.3.1#53 (TCP)"));
    QCOMPARE(body.filter(QString(240, QChar(u'h'))).size(), 1);
    QCOMPARE(Ask("dnsbed.test", "A", "127.0.0.1:5399"),
             QStringList{"dnsbed.test - 探索タイムアウト"});
    body = Ask("dnsbed.test", "A", "tls://a1.srv.test");
    QCOMPARE(body.value(1), QString("検証 OK"));
    // The second run resumes the first's session and keeps its verdict.
    for (int run = 0; run < 2; ++run) {
      body = Ask("dnsbed.test", "A", "https://dot.ostrekon.test");
      QCOMPARE(body.value(1), QString("検証 NG: 名前が一致しません (hostname mismatch)"));
      QVERIFY(body.value(3).endsWith("192.0.2.53"));
    }
  }

  // A second connection to a DoT server resumes the session of the first,
  // under the same name and address alone, and reports the verdict of its
  // full handshake: one that passed and one for another name.
  void aResumedSessionKeepsItsVerdict() {
    const QByteArray query = BuildDnsQuery(7, "dnsbed.test", 1, false);
    const QByteArray framed = QByteArray(1, '\0') + char(query.size()) + query;
    for (const auto& [host, problems] : {std::pair{"a1.srv.test", QList<long>{}},
                                         {"dot.ostrekon.test", {X509_V_ERR_HOSTNAME_MISMATCH}}}) {
      // The first may resume a session of the tests above.
      const QString names[] = {host, host, QStringLiteral("other.") + host};
      for (int i = 0; i < 3; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in at{AF_INET, htons(853), {htonl(INADDR_LOOPBACK)}, {}};
        QCOMPARE(::connect(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at), 0);
        {
          TTlsLink link(fd, names[i], [fd](short events) {
            pollfd wait{fd, events, 0};
            return ::poll(&wait, 1, 5000) > 0;
          });
          link.ResumeSessions();
          QVERIFY(!link.Handshake());
          if (i > 0) QCOMPARE(link.Resumed(), i == 1);
          if (i < 2) QCOMPARE(link.VerifyProblems(), problems);
          char answer[512];
          QVERIFY(link.Write(framed) && link.Read(answer, sizeof answer) > 0);
        }
        ::close(fd);
      }
    }
  }

  // Stop ends a query to a server that never answers at once, on every
  // transport (the time-out, 60 s, is far away).
  void stopEndsEveryTransportAtOnce() {
    TLoopbackServer silent;
    silent.SetSilent(true);
    const QString port = QString::number(silent.Port());
    Form().NSTout_UD->SetPosition(60);
    for (const QString& server : QStringList{"127.0.0.1:5399", "127.0.0.1:" + port, "tls://127.0.0.1:" + port,
                                  "https://127.0.0.1:" + port + "/"}) {
      Ns().DnsServ_CB->setEditText(server);
      Ns().Tcp_ChckB->setChecked(!server.contains("5399"));
      Ns().Type_CB->setCurrentText("MX");
      Start(Form().NsLookup, Form().NSServ_CB, "dnsbed.test");
      QTest::qWait(300);
      QTest::mouseClick(Form().Stop_Btn, Qt::LeftButton);
      QVERIFY(Idle());
      QTRY_COMPARE_WITH_TIMEOUT(TQueryThread::LiveCount(), 0, 10000);
      QCOMPARE(LastLine(), QString("...中止されました"));
    }
  }
};

QTEST_MAIN(DnsBedNetTest)
#include "DnsBedNetTest.moc"
