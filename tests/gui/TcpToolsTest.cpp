// The window driven through whole query runs against loopback servers.
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "FormFixture.h"
#include "LoopbackServer.h"
#include "TestStores.h"
#include "common/ProgramDir.h"
#include "common/SjisText.h"

class TcpToolsTest : public QObject, public TFormFixture {
  Q_OBJECT
 private:
  QTemporaryDir FDir;
  std::unique_ptr<TLoopbackServer> FServer;

  void Run(QWidget* page) {
    Form().PageControl->setCurrentWidget(page);
    QTest::mouseClick(Form().Go_Btn, Qt::LeftButton);
  }
  // The window with Finger and Whois pointed at the test's server, or at
  // whisPort for Whois.
  bool OpenWithServer(int whoisPort = 0) {
    TFormDeps deps = Deps();
    deps.FingerPort = FServer->Port();
    deps.WhoisPort = whoisPort ? whoisPort : FServer->Port();
    deps.ChooseSaveFile = [this](QWidget*, const QString&) { return FDir.filePath("saved.txt"); };
    return Open(deps);
  }
  QByteArray Log(const QString& name) const { return ReadLog(QDir(FDir.path()).filePath(name)); }
  static QString Header(const QString& title) {
    return QStringLiteral("^>> \\d{4}年\\d{1,2}月\\d{1,2}日\\d{1,2}時\\d{1,2}分\\d{1,2}秒  ") +
           QRegularExpression::escape(title) + "$";
  }

 private slots:
  void initTestCase() { IsolateSettingsStores(); }
  void init() {
    MarkPortable(FDir.path());
    SetProgramDir(FDir.path());
    FServer = std::make_unique<TLoopbackServer>();
    QVERIFY(OpenWithServer());
  }
  void cleanup() {
    QVERIFY(Shut());
    FServer.reset();
    for (const QString& f : QDir(FDir.path()).entryList(QDir::Files))
      QFile::remove(FDir.filePath(f));
  }

  void fingerWithEmptyQuerySendsOnlyTheLineEnd() {
    FServer->SetReply({{"Login  Name\r\nalice  Alice\r\n"}});
    Form().FngrServ_CB->setEditText("finger://127.0.0.1:79/x");
    Form().FngrReq_CB->setEditText("");
    Run(Form().Finger);
    QTRY_VERIFY(Idle());
    QCOMPARE(FServer->LastRequest(), QByteArray("\r\n"));
    QCOMPARE(Form().FngrServ_CB->currentText(), QString("127.0.0.1"));
    const QStringList pane = Pane();
    QCOMPARE(pane.size(), 4);
    QVERIFY(pane[0].contains(QRegularExpression(Header("Finger - 127.0.0.1 - "))));
    QCOMPARE(pane.mid(1), (QStringList{"", "Login  Name", "alice  Alice"}));
    // Both fields were recorded; the empty query as an empty entry.
    QCOMPARE(Form().FngrServ_CB->count(), 1);
    QCOMPARE(Form().FngrReq_CB->count(), 1);
    QCOMPARE(Form().FngrReq_CB->itemText(0), QString());
    QVERIFY(Form().StatusPanel->text().isEmpty());
  }

  void fingerThroughARelaySendsQueryAtServer() {
    FServer->SetReply({{"ok\r\n"}});
    Form().FFingerRelay = "127.0.0.1";
    Form().EnableInputs();
    QVERIFY(Form().FngrWall_ChckB->isEnabled());
    Form().FngrWall_ChckB->setChecked(true);
    Form().FngrServ_CB->setEditText("srv.example");
    Form().FngrReq_CB->setEditText("user");
    Run(Form().Finger);
    QTRY_VERIFY(Idle());
    QCOMPARE(FServer->LastRequest(), QByteArray("user@srv.example\r\n"));
    QVERIFY(
        Pane()[0].contains(QRegularExpression(Header("Finger - 127.0.0.1 - user@srv.example"))));
    QCOMPARE(Pane().last(), QString("ok"));
  }

  void whoisRelayBoxWithoutRelayHostQueriesTheServer() {
    FServer->SetReply({{"direct\r\n"}});
    Form().WhoisWall_ChckB->setChecked(true);
    QVERIFY(!Form().WhoisWall_ChckB->isEnabled());
    Form().WhoisServ_CB->setEditText("127.0.0.1");
    Form().WhoisReq_CB->setEditText("example.jp");
    Run(Form().Whois);
    QTRY_VERIFY(Idle());
    QCOMPARE(FServer->LastRequest(), QByteArray("example.jp\r\n"));
  }

  void whoisRepliesInJisAndEucAreReadableAndLoggedInShiftJis() {
    Form().FLogMode = 1;
    Form().FLogFileName = "whois.log";
    // "ドメイン名" in ISO-2022-JP, "日本語" in EUC-JP.
    const QByteArray jis("[\x1b$B%I%a%$%sL>\x1b(B] x\r\n");
    const QByteArray euc("\xc6\xfc\xcb\xdc\xb8\xec\r\n");
    FServer->SetReply({{jis}, {euc}});
    Form().WhoisServ_CB->setEditText("127.0.0.1");
    Form().WhoisReq_CB->setEditText("jprs.jp");
    Run(Form().Whois);
    QTRY_VERIFY(Idle());
    QCOMPARE(Pane().mid(2),
             (QStringList{QStringLiteral("[ドメイン名] x"), QStringLiteral("日本語")}));
    const QByteArray log = Log("whois.log");
    QVERIFY(
        log.endsWith("\r\n\r\n" + ToSjis(u"[ドメイン名] x") + "\r\n" + ToSjis(u"日本語") + "\r\n"));
    QVERIFY(log.startsWith(">> "));
  }

  // Today's servers answer in UTF-8: shown as text, logged in Shift_JIS.
  void utf8RepliesAreReadableAndLoggedInShiftJis() {
    Form().FLogMode = 1;
    Form().FLogFileName = "utf8.log";
    FServer->SetReply(
        {{"<title>\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e</title>\r\n\xf0\x9f\x98\x80!\r\n"}});
    Form().WhoisServ_CB->setEditText("127.0.0.1");
    Form().WhoisReq_CB->setEditText("x");
    Run(Form().Whois);
    QTRY_VERIFY(Idle());
    QCOMPARE(Pane().mid(2),
             (QStringList{QStringLiteral("<title>日本語</title>"), QStringLiteral("〓!")}));
    QVERIFY(
        Log("utf8.log")
            .endsWith("<title>" + ToSjis(u"日本語") + "</title>\r\n" + ToSjis(u"〓") + "!\r\n"));
  }

  void httpHeadAndGetSendTheirRequests() {
    Form().HHURL_CB->setEditText(QString("http://127.0.0.1:%1/a/b.html#top").arg(FServer->Port()));
    FServer->SetRequestEnd("\r\n\r\n\r\n");
    FServer->SetReply({{"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n"}});
    Run(Form().Http);
    QTRY_VERIFY(Idle());
    QCOMPARE(FServer->LastRequest(),
             "HEAD /a/b.html HTTP/1.0\r\nHost: 127.0.0.1:" + QByteArray::number(FServer->Port()) +
                 "\r\nUser-Agent: Ostrekon/0.9\r\n\r\n\r\n");
    QVERIFY(Pane()[0].contains(QRegularExpression(
        Header(QString("HttpHead - http://127.0.0.1:%1/a/b.html#top").arg(FServer->Port())))));
    // The blank line that ends the header shows as one empty line.
    QCOMPARE(Pane().mid(2), (QStringList{"HTTP/1.0 200 OK", "Content-Type: text/plain", ""}));

    FServer->SetReply({{"HTTP/1.0 200 OK\r\n\r\nbody\r\n"}});
    Form().HTTPGET_RBTN->setChecked(true);
    Form().HHURL_CB->setEditText(QString("127.0.0.1:%1/cgi?q=1").arg(FServer->Port()));
    Run(Form().Http);
    QTRY_VERIFY(Idle());
    QCOMPARE(FServer->LastRequest(),
             "GET /cgi?q=1 HTTP/1.0\r\nHost: 127.0.0.1:" + QByteArray::number(FServer->Port()) +
                 "\r\nAccept: text/*\r\nUser-Agent: Ostrekon/0.9\r\n\r\n\r\n");
    QCOMPARE(Pane().last(), QString("body"));
    QCOMPARE(Form().HHURL_CB->count(), 2);
  }

  void httpRefusesOtherSchemesAndBadPorts_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("line");
    QTest::newRow("ftp") << "ftp://127.0.0.1/pub"
                         << QStringLiteral("ftp - このプロトコルはサポートされていません。");
    QTest::newRow("capitals") << "HTTP://127.0.0.1/"
                              << QStringLiteral("HTTP - このプロトコルはサポートされていません。");
    QTest::newRow("https in capitals")
        << "HTTPS://127.0.0.1/"
        << QStringLiteral("HTTPS - このプロトコルはサポートされていません。");
    QTest::newRow("port too big") << "http://127.0.0.1:65616/"
                                  << QStringLiteral("65616 - ポート番号が正しくありません。");
    QTest::newRow("port zero") << "http://127.0.0.1:0/"
                               << QStringLiteral("0 - ポート番号が正しくありません。");
    QTest::newRow("blank in the path")
        << "http://127.0.0.1/a b"
        << QStringLiteral("http://127.0.0.1/a b - ホスト名が正しくありません。");
  }
  void httpRefusesOtherSchemesAndBadPorts() {
    QFETCH(QString, url);
    QFETCH(QString, line);
    Form().HHURL_CB->setEditText(url);
    Run(Form().Http);
    QTRY_VERIFY_WITH_TIMEOUT(Idle(), 1000);
    QCOMPARE(Pane().last(), line);
    QCOMPARE(FServer->Connections(), 0);
  }

  void refusedConnectionGivesTheConnectLine() {
    QVERIFY(OpenWithServer(TLoopbackServer::ClosedPort()));
    Form().WhoisServ_CB->setEditText("127.0.0.1");
    Form().WhoisReq_CB->setEditText("x");
    Run(Form().Whois);
    QTRY_VERIFY(Idle());
    QCOMPARE(Pane().last(), QStringLiteral(" - 接続できません"));
  }

  void stopDuringALongDownloadEndsWithTheStopLine() {
    Form().FLogMode = 2;
    Form().FLogPrefix = "np";
    FServer->SetStream("0123456789 abcdefghij ABCDEFGHIJ\r\n", 0, 20);
    Form().HTTPGET_RBTN->setChecked(true);
    Form().HHURL_CB->setEditText(QString("http://127.0.0.1:%1/big.txt").arg(FServer->Port()));
    Run(Form().Http);
    QTRY_VERIFY_WITH_TIMEOUT(Pane().size() > 2000, 5000);
    QTest::mouseClick(Form().Stop_Btn, Qt::LeftButton);
    QVERIFY(Form().Go_Btn->isEnabled());
    const int lines = Pane().size();
    QCOMPARE(Pane().last(), QStringLiteral("...中止されました"));
    QTRY_VERIFY_WITH_TIMEOUT(FServer->ClientWentAway(), 3000);
    QTest::qWait(200);
    QCOMPARE(Pane().size(), lines);  // nothing after Stop
    const QDate today = QDate::currentDate();
    const QByteArray log = Log(QString("np%1.log").arg(today.toString("yyyyMMdd")));
    QVERIFY(log.endsWith("0123456789 abcdefghij ABCDEFGHIJ\r\n" + ToSjis(u"...中止されました") +
                         "\r\n"));
    QCOMPARE(log.count("\r\n"), lines);  // the log holds the run exactly as shown
    QTRY_COMPARE(TQueryThread::LiveCount(), 0);
  }

  void logModesWriteTheExactBytes() {
    Form().FLogMode = 1;
    Form().FLogFileName = "one.log";
    // CP932 spells some characters twice (NEC's row 13, NEC's and IBM's rows
    // of IBM extensions): the log and save-as keep the spelling that came.
    const QByteArray a = "a\x87\x90\xED\x40\xEE\xF9";
    FServer->SetReply({{a + "\r\n"}});
    Form().FngrServ_CB->setEditText("127.0.0.1");
    Form().FngrReq_CB->setEditText("q");
    Run(Form().Finger);
    QTRY_VERIFY(Idle());
    Run(Form().Finger);
    QTRY_VERIFY(Idle());
    const QStringList pane = Pane();
    // Pane: run 1 (header, empty, a), two empty lines, run 2.
    QCOMPARE(pane.size(), 8);
    const QByteArray h1 = ToSjis(pane[0]), h2 = ToSjis(pane[5]);
    const QByteArray log = Log("one.log");
    QCOMPARE(log, h1 + "\r\n\r\n" + a + "\r\n\r\n\r\n" + h2 + "\r\n\r\n" + a + "\r\n");
    Form().Save_ExMMClick();
    QCOMPARE(ReadLog(FDir.filePath("saved.txt")), log);
    // Deleting the pane during a run does not shorten what is logged.
    Form().FLogFileName = "two.log";
    FServer->SetReply({{"x\r\n", 0}, {"y\r\n", 300}});
    Run(Form().Finger);
    QTRY_VERIFY_WITH_TIMEOUT(Pane().contains("x"), 3000);
    Form().DeleteAll_ExMMClick();
    QTRY_VERIFY(Idle());
    QCOMPARE(Pane(), QStringList{"y"});
    QVERIFY(Log("two.log").endsWith("\r\n\r\nx\r\ny\r\n"));
  }

  void autoClearEmptiesThePaneButTheRunStillStartsWithTwoEmptyLines() {
    Form().FLogMode = 1;
    Form().FLogFileName = "clear.log";
    Form().Clear_ChckM->setChecked(true);
    FServer->SetReply({{"r\r\n"}});
    Form().FngrServ_CB->setEditText("127.0.0.1");
    Run(Form().Finger);
    QTRY_VERIFY(Idle());
    Run(Form().Finger);
    QTRY_VERIFY(Idle());
    QCOMPARE(Pane().size(), 3);
    QCOMPARE(Log("clear.log").count(">> "), 2);
    QVERIFY(Log("clear.log").contains("r\r\n\r\n\r\n>> "));
  }

  void closingDuringARunStopsItAndLogsIt() {
    Form().FLogMode = 1;
    Form().FLogFileName = "close.log";
    FServer->SetSilent(true);
    Form().FngrServ_CB->setEditText("127.0.0.1");
    Run(Form().Finger);
    QTRY_VERIFY_WITH_TIMEOUT(FServer->Connections() == 1, 3000);
    Form().close();
    QVERIFY(Shut());
    QVERIFY(Log("close.log").endsWith(ToSjis(u"...中止されました") + "\r\n"));
    QTRY_VERIFY_WITH_TIMEOUT(FServer->ClientWentAway(), 3000);
  }
};

QTEST_MAIN(TcpToolsTest)
#include "TcpToolsTest.moc"
