// The help window and the manual's pages: every page is reached from the
// contents, every link lands on a page and anchor that exist, the keyword
// index covers what users look up, and one window serves every request.
#include <QDir>
#include <QPushButton>
#include <QSet>
#include <QTextBlock>
#include <QTextBrowser>
#include <QtTest>

#include "dialogs/HelpView.h"

static void InitHelpPages() { Q_INIT_RESOURCE(help); }

namespace {

struct TLink {
  QString Text;
  QUrl Target;  // resolved against the page
};

struct TPage {
  QSet<QString> Anchors;
  QList<TLink> Links;
};

// What the browser makes of one page: its anchors, and its links with their
// texts (adjacent fragments of one link joined).
TPage ReadPage(const QUrl& url) {
  QTextBrowser browser;
  browser.setSource(url);
  TPage page;
  QString lastHref;
  for (QTextBlock block = browser.document()->begin(); block.isValid(); block = block.next()) {
    lastHref.clear();
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextCharFormat format = it.fragment().charFormat();
      for (const QString& name : format.anchorNames()) page.Anchors.insert(name);
      const QString href = format.anchorHref();
      if (!href.isEmpty() && href == lastHref)
        page.Links.last().Text += it.fragment().text();
      else if (!href.isEmpty())
        page.Links.append({it.fragment().text(), url.resolved(QUrl(href))});
      lastHref = href;
    }
  }
  return page;
}

QUrl PageUrl(const QString& fileName) { return QUrl(QStringLiteral("qrc:/help/") + fileName); }

QString PageOf(const QUrl& url) { return url.adjusted(QUrl::RemoveFragment).fileName(); }

QString SourceOf(THelpViewer* viewer) { return viewer->Browser()->source().fileName(); }

}  // namespace

class HelpViewTest : public QObject {
  Q_OBJECT
  QMap<QString, TPage> FPages;  // every page of the manual, by file name

 private slots:
  void initTestCase() {
    InitHelpPages();
    const QStringList files = QDir(QStringLiteral(":/help")).entryList({QStringLiteral("*.html")});
    QVERIFY(files.contains(QStringLiteral("index.html")));
    for (const QString& file : files) FPages.insert(file, ReadPage(PageUrl(file)));
  }

  void everyPageIsReachedFromTheContents() {
    QSet<QString> reached{QStringLiteral("index.html")};
    QStringList queue{QStringLiteral("index.html")};
    while (!queue.isEmpty()) {
      for (const TLink& link : FPages.value(queue.takeFirst()).Links) {
        const QString page = PageOf(link.Target);
        if (link.Target.scheme() != QStringLiteral("qrc") || reached.contains(page)) continue;
        reached.insert(page);
        queue.append(page);
      }
    }
    const QStringList all = FPages.keys();
    QCOMPARE(QSet<QString>(all.begin(), all.end()) - reached, QSet<QString>());
  }

  void everyLinkFindsItsPageAndAnchor() {
    QStringList broken;
    for (auto page = FPages.cbegin(); page != FPages.cend(); ++page) {
      for (const TLink& link : page->Links) {
        const QString target = PageOf(link.Target);
        const QString anchor = link.Target.fragment();
        if (link.Target.scheme() != QStringLiteral("qrc") || !FPages.contains(target) ||
            (!anchor.isEmpty() && !FPages[target].Anchors.contains(anchor)))
          broken << page.key() + QStringLiteral(" → ") + link.Target.toString();
      }
    }
    QVERIFY2(broken.isEmpty(), qPrintable(broken.join(u'\n')));
  }

  void keywordIndexCoversWhatUsersLookUp_data() {
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QString>("page");
    const char* rows[][2] = {
        {"Finger", "finger.html"},
        {"Whois", "whois.html"},
        {"Ping", "ping.html"},
        {"TraceRoute", "traceroute.html"},
        {"NS Lookup", "nslookup.html"},
        {"IP Scan", "ipscan.html"},
        {"HTTP", "http.html"},
        {"ログ", "log.html"},
        {"設定の保存先", "settings.html"},
        {"権限", "privileges.html"},
    };
    for (const auto& row : rows)
      QTest::newRow(row[0]) << QString::fromUtf8(row[0]) << QString::fromUtf8(row[1]);
  }

  void keywordIndexCoversWhatUsersLookUp() {
    QFETCH(QString, keyword);
    QFETCH(QString, page);
    const TPage index = FPages.value(THelpViewer::IndexUrl().fileName());
    const auto entry = std::find_if(index.Links.cbegin(), index.Links.cend(),
                                    [&](const TLink& link) { return link.Text == keyword; });
    QVERIFY2(entry != index.Links.cend(), qPrintable(keyword));
    QCOMPARE(PageOf(entry->Target), page);
  }

  void entryPointsShowTheirPageInOneWindow() {
    QWidget owner;
    QCOMPARE(THelpViewer::Instance(), nullptr);
    THelpViewer::ShowHelpContents(&owner);
    THelpViewer* viewer = THelpViewer::Instance();
    QVERIFY(viewer && viewer->isVisible() && viewer->isWindow());
    QCOMPARE(viewer->windowTitle(), QStringLiteral("Ostrekon ヘルプ"));
    QCOMPARE(SourceOf(viewer), QStringLiteral("index.html"));
    // Decoded as UTF-8: the heading reads as written.
    QVERIFY(viewer->Browser()->toPlainText().contains(QStringLiteral("目次")));

    viewer->close();
    THelpViewer::ShowHelpIndex(&owner);
    QCOMPARE(THelpViewer::Instance(), viewer);
    QVERIFY(viewer->isVisible());
    QCOMPARE(SourceOf(viewer), QStringLiteral("keywords.html"));

    viewer->Back_Btn->click();
    QCOMPARE(SourceOf(viewer), QStringLiteral("index.html"));
    viewer->Forward_Btn->click();
    QCOMPARE(SourceOf(viewer), QStringLiteral("keywords.html"));
    QVERIFY(!viewer->Forward_Btn->isEnabled());
    viewer->Contents_Btn->click();
    QCOMPARE(SourceOf(viewer), QStringLiteral("index.html"));
  }
};

QTEST_MAIN(HelpViewTest)
#include "HelpViewTest.moc"
