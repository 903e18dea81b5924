// RDAP queries, the bootstrap files and the reply as lines.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "common/HttpReply.h"
#include "common/QueryText.h"
#include "common/RdapCache.h"
#include "common/RdapReply.h"

namespace {
QByteArray Bootstrap(const QByteArray& services, const QByteArray& date = "2026-07-23T02:00:03Z") {
  return R"({"version":"1.0","publication":")" + date + R"(","services":[)" + services + "]}";
}

const QByteArray Dns = Bootstrap(R"([["com","net"],["http://r.test/","https://r.test/com"]],
    [["co.uk"],["https://co.test/"]],[["uk"],["https://uk.test/"]],[["kg"],["http://kg.test/"]])");
const QByteArray Ipv4 = Bootstrap(
    R"([["192.0.0.0/8"],["https://wide.test/"]],[["192.0.2.0/24"],["https://narrow.test/"]])");
const QByteArray Ipv6 = Bootstrap(R"([["2001:db8::/32"],["https://v6.test/"]])");
const QByteArray Asn =
    Bootstrap(R"([["1-100000"],["https://wide.test/"]],[["64496-64511"],["https://doc.test/"]])");

const QByteArray& FileOf(TBootstrapKind kind) {
  const QByteArray* files[] = {&Dns, &Ipv4, &Ipv6, &Asn};
  return *files[int(kind)];
}

// The URL "自動" asks, empty where it goes to port 43.
QString AutoUrl(const QString& typed, bool relay) {
  const TRdapQuery query = ParseRdapQuery(typed);
  if (AutoKeepsPort43(typed, relay) || query.Kind == TRdapKind::None) return QString();
  const TBootstrapKind kind = BootstrapKindOf(query);
  const QStringList urls = RdapServiceUrls(*ParseRdapBootstrap(FileOf(kind), kind), query);
  return urls.isEmpty() ? QString() : urls.first() + query.Path();
}
}  // namespace

TEST(Rdap, AutoPicksRdapWhereTheBootstrapNamesAService) {
  const struct {
    const char* Typed;
    bool Relay;
    const char* Url;
  } cases[] = {
      {"example.jp", false, ""},
      {"example.com", true, ""},
      {"-h example.com", false, ""},
      {"domain example.com", false, ""},
      {"Example.COM.", false, "https://r.test/com/domain/example.com"},
      {"日本語.com", false, "https://r.test/com/domain/xn--wgv71a119e.com"},
      {"www.example.co.uk", false, "https://co.test/domain/www.example.co.uk"},
      {"example.uk", false, "https://uk.test/domain/example.uk"},
      {"example.kg", false, ""},  // http:// alone is no service
      {"192.0.2.1", false, "https://narrow.test/ip/192.0.2.1"},
      {"192.0.2.0/25", false, "https://narrow.test/ip/192.0.2.0/25"},
      {"192.0.0.0/16", false, "https://wide.test/ip/192.0.0.0/16"},
      {"2001:DB8:0::1", false, "https://v6.test/ip/2001:db8::1"},
      {"AS64500", false, "https://doc.test/autnum/64500"},
      {"as65536", false, "https://wide.test/autnum/65536"},
      {"as4294967296", false, ""},
      {"64500", false, ""},
      {"127.1", false, ""},
      {"192.0.2.1/33", false, ""},
      {"fe80::1%2", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Typed);
    EXPECT_EQ(AutoUrl(QString::fromUtf8(c.Typed), c.Relay), QString::fromUtf8(c.Url));
  }
}

TEST(Rdap, ABootstrapIsTrustedWholeOrNotAtAll) {
  EXPECT_TRUE(ParseRdapBootstrap(Asn, TBootstrapKind::Asn));
  for (const QByteArray& bad : {Bootstrap(R"([["64500-1"],["https://x.test/"]])"),
                                Bootstrap(R"([["1"],"https://x.test/"])"),
                                Bootstrap(R"([["1"],["https://x.test/"]])", "yesterday"),
                                Asn.left(Asn.size() - 1), QByteArray("[]")})
    EXPECT_FALSE(ParseRdapBootstrap(bad, TBootstrapKind::Asn)) << bad.constData();
  EXPECT_FALSE(ParseRdapBootstrap(Ipv6, TBootstrapKind::Ipv4));  // the other family
}

TEST(Rdap, TheNewerBootstrapWinsAndABrokenCacheIsSaidAndIgnored) {
  QTemporaryDir home, snapshot;
  qputenv("XDG_CACHE_HOME", home.path().toUtf8());
  SetRdapSnapshotDir(snapshot.path());
  const auto write = [](const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
  };
  const QString cached = QDir(RdapCacheDir()).filePath("asn.json");
  ASSERT_TRUE(write(QDir(snapshot.path()).filePath("asn.json"), Asn));
  EXPECT_TRUE(BootstrapRefreshDue(TBootstrapKind::Asn, QDateTime::currentDateTime()));
  ASSERT_TRUE(write(cached, "{"));
  EXPECT_FALSE(BootstrapRefreshDue(TBootstrapKind::Asn, QDateTime::currentDateTime()));
  EXPECT_TRUE(BootstrapRefreshDue(TBootstrapKind::Asn, QDateTime::currentDateTime().addDays(1)));
  TBootstrapChoice choice = ChooseBootstrap(TBootstrapKind::Asn);
  EXPECT_EQ(choice.Bootstrap->Publication.date(), QDate(2026, 7, 23));
  EXPECT_EQ(choice.Lines, QStringList{cached + " - 読めない形式なので使いません"});
  EXPECT_FALSE(StoreBootstrap(TBootstrapKind::Asn, "junk", "", ""));
  const QByteArray newer = Bootstrap(R"([["1"],["https://n.test/"]])", "2027-01-01T00:00:00Z");
  ASSERT_TRUE(StoreBootstrap(TBootstrapKind::Asn, newer, "\"v2\"", "bad\r\nX: y"));
  EXPECT_EQ(BootstrapRefreshHeaders(TBootstrapKind::Asn),
            QList<QByteArray>{"If-None-Match: \"v2\""});
  choice = ChooseBootstrap(TBootstrapKind::Asn);
  EXPECT_TRUE(choice.Lines.isEmpty());
  EXPECT_EQ(choice.Bootstrap->Services.value(0).Urls, QStringList{"https://n.test/"});
  ASSERT_TRUE(write(cached, QByteArray(Asn).replace("2026-07-23", "2020-01-01")));
  EXPECT_EQ(ChooseBootstrap(TBootstrapKind::Asn).Bootstrap->Publication.date(), QDate(2026, 7, 23));
  SetRdapSnapshotDir(QString());
}

TEST(Rdap, HttpRepliesAndRedirects) {
  const auto reply =
      ParseHttpReply("HTTP/1.1 429 Too Many\r\nretry-after:  30 \r\nX: a:b\r\n\r\n{}");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->Status, 429);
  EXPECT_EQ(reply->Reason, "Too Many");
  EXPECT_EQ(reply->Header("Retry-After"), "30");
  EXPECT_EQ(reply->Body, "{}");
  EXPECT_FALSE(ParseHttpReply("HTTP/1.1 200 OK\r\n"));
  EXPECT_FALSE(ParseHttpReply("SSH-2.0\r\n\r\n"));
  for (const char* status : {"-02", "+20", "2x0", "20"})
    EXPECT_FALSE(ParseHttpReply(QByteArray("HTTP/1.1 ") + status + " X\r\n\r\n")) << status;
  const QUrl asked("https://r.test:8443/rdap/domain/a.com");
  EXPECT_EQ(RedirectTarget(asked, "/x/a.com")->toString(), "https://r.test:8443/x/a.com");
  EXPECT_FALSE(RedirectTarget(asked, "http://r.test/"));
  EXPECT_FALSE(RedirectTarget(asked, ""));
  EXPECT_EQ(RdapGetRequest(asked).left(58),
            "GET /rdap/domain/a.com HTTP/1.0\r\nHost: r.test:8443\r\nAccept");
}

TEST(Rdap, ADomainRecordAsLines) {
  const QByteArray json = R"({"objectClassName":"domain","ldhName":"XN--WGV71A119E.COM",
    "unicodeName":"日本語.com","status":["active","client\u001b[31m hold"],
    "events":[{"eventAction":"registration","eventDate":"2001-04-05T00:03:07Z"},
              {"eventAction":"unknown thing","eventDate":"soon"}],
    "nameservers":[{"ldhName":"NS1.R.TEST"},{"objectClassName":"nameserver"}],
    "secureDNS":{"delegationSigned":true,"dsData":[{"keyTag":370,"algorithm":13,"digestType":2,"digest":"BE74"}]},
    "entities":[{"roles":["registrar"],"publicIds":[{"type":"IANA Registrar ID","identifier":"376"}],
       "vcardArray":["vcard",[["version",{},"text","4.0"],["fn",{},"text","Reg\u2028Inc"]]],
       "entities":[{"roles":["abuse"],"vcardArray":["vcard",[["tel",{},"uri","tel:+1.555"]]]}]},
     {"roles":["registrant"],"vcardArray":["vcard",[["fn",{},"text",""],
       ["adr",{},"text",["","",["1 St",""],"Town","","","JP"]],["email",{},"text","REDACTED FOR PRIVACY"]]]}],
    "redacted":[{"name":{"type":"Registrant Organization"}}],
    "links":[{"rel":"related","type":"application/rdap+json","href":"https://reg.test/domain/x.com"}],
    "notices":[{"title":"Terms","description":["Line one\nline two",""]}],"unknown":{"a":[1]}})";
  const TRdapReport report = RdapReport(json);
  ASSERT_EQ(report.Kind, TRdapReplyKind::Object);
  EXPECT_EQ(report.Related, "https://reg.test/domain/x.com");
  const QStringList want{
      "ドメイン名: XN--WGV71A119E.COM",
      "Unicode 名: 日本語.com",
      "状態: active, client\\1B[31m hold",
      "登録日: " + HeaderTime(QDateTime(QDate(2001, 4, 5), QTime(0, 3, 7), Qt::UTC).toLocalTime()),
      "unknown thing: soon",
      "レジストラ: Reg Inc (IANA ID 376)",
      "ネームサーバ: NS1.R.TEST",
      "DNSSEC: 署名あり",
      "  DS: 370 13 2 BE74",
      "連絡先: レジストラ",
      "  名前: Reg Inc",
      "  IANA ID: 376",
      "  連絡先: 不正利用窓口",
      "    電話: +1.555",
      "連絡先: 登録者",
      "  名前: 非公開",
      "  組織: 非公開",
      "  メール: 非公開",
      "  住所: 1 St, Town, JP",
      "お知らせ: Terms",
      "  Line one",
      "  line two"};
  EXPECT_EQ(report.Lines, want);
}

TEST(Rdap, OtherObjectsAndReplies) {
  EXPECT_EQ(RdapReport(R"({"objectClassName":"ip network","startAddress":"192.0.2.0",
      "endAddress":"192.0.2.255","name":"DOC","type":"ASSIGNED","country":"JP","parentHandle":"P",
      "remarks":[{"description":["r"]}]})")
                .Lines,
            (QStringList{"範囲: 192.0.2.0 - 192.0.2.255", "名前: DOC", "種別: ASSIGNED", "国: JP",
                         "親: P", "備考", "  r"}));
  EXPECT_EQ(
      RdapReport(R"({"objectClassName":"autnum","startAutnum":64496,"endAutnum":64511})").Lines,
      QStringList{"範囲: AS64496 - AS64511"});
  EXPECT_EQ(RdapReport(R"({"errorCode":404})").Kind, TRdapReplyKind::NotRdap);
  EXPECT_EQ(RdapReport("<html>").Kind, TRdapReplyKind::NotJson);
  EXPECT_EQ(RdapReport(QByteArray(5000, '[') + QByteArray(5000, ']')).Kind,
            TRdapReplyKind::NotJson);
  EXPECT_EQ(RdapSafeText(u"a\tb\x7f\x85\xf70d\x2028"), "a\\09b\\7F\\85\\uF70D\\u2028");
}
