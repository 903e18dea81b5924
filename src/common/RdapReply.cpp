#include "common/RdapReply.h"

#include <QDateTime>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>

#include "common/QueryText.h"

namespace {
QJsonArray ArrayOf(const QJsonObject& object, const char* key) {
  return object.value(QLatin1StringView(key)).toArray();
}

QString Text(const QJsonObject& object, const char* key) {
  return RdapString(object, QLatin1StringView(key));
}

void AddField(QStringList& lines, const QString& caption, const QString& value) {
  if (!value.isEmpty()) lines << caption + QStringLiteral(": ") + value;
}

QString ActionCaption(const QString& action) {
  static const QHash<QString, QString> captions{
      {QStringLiteral("registration"), QStringLiteral("登録日")},
      {QStringLiteral("last changed"), QStringLiteral("更新日")},
      {QStringLiteral("expiration"), QStringLiteral("有効期限")},
      {QStringLiteral("transfer"), QStringLiteral("移転日")},
      {QStringLiteral("deletion"), QStringLiteral("削除日")},
      {QStringLiteral("reregistration"), QStringLiteral("再登録日")},
      {QStringLiteral("reinstantiation"), QStringLiteral("復活日")},
      {QStringLiteral("locked"), QStringLiteral("ロック日")},
      {QStringLiteral("unlocked"), QStringLiteral("ロック解除日")},
      {QStringLiteral("last update of RDAP database"), QStringLiteral("RDAP データ更新日")},
  };
  return captions.value(action, action);
}

// In the header's style, in local time; a date that does not read as one
// is shown as it came.
QString EventTime(const QString& text) {
  const QDateTime when = QDateTime::fromString(text, Qt::ISODate);
  return when.isValid() ? HeaderTime(when.toLocalTime()) : text;
}

void AddStatusAndEvents(QStringList& lines, const QJsonObject& object) {
  QStringList status;
  for (const QJsonValue s : ArrayOf(object, "status"))
    if (s.isString()) status << RdapSafeText(s.toString());
  AddField(lines, QStringLiteral("状態"), status.join(QStringLiteral(", ")));
  for (const QJsonValue value : ArrayOf(object, "events")) {
    const QJsonObject event = value.toObject();
    const QString action = Text(event, "eventAction");
    const QString date = Text(event, "eventDate");
    if (!action.isEmpty() && !date.isEmpty())
      lines << ActionCaption(action) + ": " + EventTime(date);
  }
}

// Titles and text; a text with line ends gives a line for each.
void AddNotes(QStringList& lines, const QJsonArray& notes, const QString& caption) {
  for (const QJsonValue value : notes) {
    const QJsonObject note = value.toObject();
    const QString title = Text(note, "title");
    lines << caption + (title.isEmpty() ? QString() : QStringLiteral(": ") + title);
    for (const QJsonValue text : ArrayOf(note, "description"))
      for (const QString& line :
           text.toString().replace(QStringLiteral("\r\n"), QStringLiteral("\n")).split(u'\n'))
        if (!line.trimmed().isEmpty()) lines << QStringLiteral("  ") + RdapSafeText(line);
  }
}

void AddDnssec(QStringList& lines, const QJsonObject& domain) {
  const QJsonObject dnssec = domain.value(QStringLiteral("secureDNS")).toObject();
  const QJsonValue signedValue = dnssec.value(QStringLiteral("delegationSigned"));
  if (!signedValue.isBool()) return;
  lines << QStringLiteral("DNSSEC: ") +
               (signedValue.toBool() ? QStringLiteral("署名あり") : QStringLiteral("署名なし"));
  for (const QJsonValue value : ArrayOf(dnssec, "dsData")) {
    const QJsonObject ds = value.toObject();
    const auto number = [&ds](const char* key) {
      const QJsonValue n = ds.value(QLatin1StringView(key));
      return n.isDouble() ? QString::number(n.toInteger()) : QStringLiteral("?");
    };
    lines << QStringLiteral("  DS: ") + number("keyTag") + u' ' + number("algorithm") + u' ' +
                 number("digestType") + u' ' + Text(ds, "digest");
  }
}

void AddDomain(QStringList& lines, const QJsonObject& domain) {
  const QString ldh = Text(domain, "ldhName");
  const QString unicode = Text(domain, "unicodeName");
  AddField(lines, QStringLiteral("ドメイン名"), ldh);
  if (unicode.compare(ldh, Qt::CaseInsensitive) != 0)
    AddField(lines, QStringLiteral("Unicode 名"), unicode);
  AddStatusAndEvents(lines, domain);
  AddField(lines, QStringLiteral("レジストラ"), RegistrarText(domain));
  for (const QJsonValue ns : ArrayOf(domain, "nameservers"))
    AddField(lines, QStringLiteral("ネームサーバ"), Text(ns.toObject(), "ldhName"));
  AddDnssec(lines, domain);
}

void AddNetwork(QStringList& lines, const QJsonObject& network) {
  const QString start = Text(network, "startAddress");
  const QString end = Text(network, "endAddress");
  if (!start.isEmpty()) lines << QStringLiteral("範囲: ") + start + QStringLiteral(" - ") + end;
  AddField(lines, QStringLiteral("名前"), Text(network, "name"));
  AddField(lines, QStringLiteral("種別"), Text(network, "type"));
  AddField(lines, QStringLiteral("国"), Text(network, "country"));
  AddField(lines, QStringLiteral("親"), Text(network, "parentHandle"));
  AddStatusAndEvents(lines, network);
}

void AddAutnum(QStringList& lines, const QJsonObject& autnum) {
  const auto number = [&autnum](const char* key) {
    const QJsonValue n = autnum.value(QLatin1StringView(key));
    return n.isDouble() ? QStringLiteral("AS") + QString::number(n.toInteger()) : QString();
  };
  const QString first = number("startAutnum");
  const QString last = number("endAutnum");
  AddField(lines, QStringLiteral("範囲"),
           last.isEmpty() || last == first ? first : first + QStringLiteral(" - ") + last);
  AddField(lines, QStringLiteral("名前"), Text(autnum, "name"));
  AddField(lines, QStringLiteral("種別"), Text(autnum, "type"));
  AddField(lines, QStringLiteral("国"), Text(autnum, "country"));
  AddStatusAndEvents(lines, autnum);
}

// RFC 9537: the names of redacted fields, "Registrant Name" and the like.
QSet<QString> RedactedNames(const QJsonObject& top) {
  QSet<QString> names;
  for (const QJsonValue value : ArrayOf(top, "redacted")) {
    const QJsonObject name = value.toObject().value(QStringLiteral("name")).toObject();
    const QString type = name.value(QStringLiteral("type")).toString();
    names.insert(
        (type.isEmpty() ? name.value(QStringLiteral("description")).toString() : type).toLower());
  }
  return names;
}

// The link a registry gives to the registrar's record of the domain.
QString RelatedLink(const QJsonObject& object) {
  for (const QJsonValue value : ArrayOf(object, "links")) {
    const QJsonObject link = value.toObject();
    const QString href = link.value(QStringLiteral("href")).toString();
    const QString type = link.value(QStringLiteral("type")).toString();
    if (link.value(QStringLiteral("rel")).toString() == u"related" &&
        href.startsWith(QStringLiteral("https://")) && href == RdapSafeText(href) &&
        (type.isEmpty() || type.contains(QStringLiteral("json"))))
      return href;
  }
  return QString();
}
}  // namespace

QString RdapSafeText(QStringView text) {
  QString safe;
  safe.reserve(text.size());
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
      safe += u'\\' + QString::number(u, 16).toUpper().rightJustified(2, u'0');
    else if (u == 0x2028 || u == 0x2029 || (u >= 0x202A && u <= 0x202E) ||
             (u >= 0x2066 && u <= 0x2069) || (u >= 0xF700 && u <= 0xF7FF))
      safe += QStringLiteral("\\u") + QString::number(u, 16).toUpper();
    else
      safe += c;
  }
  return safe;
}

QString RdapString(const QJsonObject& object, const QString& key) {
  return RdapSafeText(object.value(key).toString());
}

TRdapReport RdapReport(const QByteArray& json) {
  TRdapReport report;
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(json, &error);
  if (error.error != QJsonParseError::NoError) return report;
  const QJsonObject top = document.object();
  const QString kind = top.value(QStringLiteral("objectClassName")).toString();
  report.Kind = TRdapReplyKind::Object;
  if (kind == u"domain")
    AddDomain(report.Lines, top);
  else if (kind == u"ip network")
    AddNetwork(report.Lines, top);
  else if (kind == u"autnum")
    AddAutnum(report.Lines, top);
  else
    report.Kind = TRdapReplyKind::NotRdap;
  if (report.Kind != TRdapReplyKind::Object) return report;
  AddEntityLines(report.Lines, top, RedactedNames(top));
  AddNotes(report.Lines, ArrayOf(top, "remarks"), QStringLiteral("備考"));
  AddNotes(report.Lines, ArrayOf(top, "notices"), QStringLiteral("お知らせ"));
  if (kind == u"domain") report.Related = RelatedLink(top);
  return report;
}
