// The entities of an RDAP reply: who holds, registers and runs a resource,
// from their jCards (RFC 7095), and what the server redacted of them.
#include <QHash>
#include <QJsonArray>

#include "common/RdapReply.h"

namespace {
constexpr int MaxEntityDepth = 4;
const QString Withheld = QStringLiteral("非公開");

QString RoleText(const QString& role) {
  static const QHash<QString, QString> roles{
      {QStringLiteral("registrant"), QStringLiteral("登録者")},
      {QStringLiteral("technical"), QStringLiteral("技術担当")},
      {QStringLiteral("administrative"), QStringLiteral("管理担当")},
      {QStringLiteral("abuse"), QStringLiteral("不正利用窓口")},
      {QStringLiteral("billing"), QStringLiteral("請求担当")},
      {QStringLiteral("registrar"), QStringLiteral("レジストラ")},
      {QStringLiteral("reseller"), QStringLiteral("再販事業者")},
      {QStringLiteral("sponsor"), QStringLiteral("スポンサー")},
      {QStringLiteral("proxy"), QStringLiteral("代理")},
      {QStringLiteral("notifications"), QStringLiteral("通知")},
      {QStringLiteral("noc"), QStringLiteral("NOC")},
  };
  return roles.value(role, RdapSafeText(role));
}

// How redacted fields are named for a role (RFC 9537 with the gTLD profile).
QString RedactedPrefix(const QString& role) {
  static const QHash<QString, QString> prefixes{
      {QStringLiteral("registrant"), QStringLiteral("registrant")},
      {QStringLiteral("technical"), QStringLiteral("tech")},
      {QStringLiteral("administrative"), QStringLiteral("admin")},
      {QStringLiteral("billing"), QStringLiteral("billing")},
  };
  return prefixes.value(role);
}

// A value as text: strings, and the strings of nested arrays (an address's
// parts), the empty ones left out.
QStringList Parts(const QJsonValue& value) {
  if (value.isString()) return {value.toString()};
  QStringList parts;
  for (const QJsonValue item : value.toArray())
    for (const QString& part : Parts(item))
      if (!part.trimmed().isEmpty()) parts << part.trimmed();
  return parts;
}

// The first property of that name in the jCard: [name, params, type, value...].
std::optional<QJsonArray> Property(const QJsonObject& entity, const QString& name) {
  const QJsonArray card = entity.value(QStringLiteral("vcardArray")).toArray();
  for (const QJsonValue value : card.at(1).toArray()) {
    const QJsonArray property = value.toArray();
    if (property.at(0).toString() == name) return property;
  }
  return std::nullopt;
}

// The property's text; nothing when the card lacks it, empty when the
// server emptied it.
std::optional<QString> PropertyText(const QJsonObject& entity, const QString& name) {
  const std::optional<QJsonArray> property = Property(entity, name);
  if (!property) return std::nullopt;
  const QString label = property->at(1).toObject().value(QStringLiteral("label")).toString();
  QString text = name == u"adr" && !label.isEmpty() ? label : Parts(property->at(3)).join(u", ");
  if (name == u"tel" && text.startsWith(QStringLiteral("tel:"))) text.remove(0, 4);
  if (name == u"email" && text.startsWith(QStringLiteral("mailto:"))) text.remove(0, 7);
  return text.simplified();
}

struct TCardField {
  const char* Property;
  const char* Caption;
  QStringList Redacted;  // how the redacted list names it, after the role
};

const TCardField CardFields[] = {
    {"fn", "名前", {QStringLiteral("name")}},
    {"org", "組織", {QStringLiteral("organization")}},
    {"email", "メール", {QStringLiteral("email")}},
    {"tel", "電話", {QStringLiteral("phone")}},
    {"adr",
     "住所",
     {QStringLiteral("street"), QStringLiteral("city"), QStringLiteral("postal code"),
      QStringLiteral("state/province")}},
};

bool NamedRedacted(const TCardField& field, const QStringList& roles,
                   const QSet<QString>& redacted) {
  for (const QString& role : roles) {
    const QString prefix = RedactedPrefix(role);
    if (prefix.isEmpty()) continue;
    for (const QString& name : field.Redacted)
      if (redacted.contains(prefix + u' ' + name)) return true;
  }
  return false;
}

// Emptied, replaced by a "REDACTED ..." text, or left out and named as redacted.
QString FieldText(const QJsonObject& entity, const TCardField& field, const QStringList& roles,
                  const QSet<QString>& redacted) {
  const std::optional<QString> text = PropertyText(entity, QLatin1StringView(field.Property));
  if (text && !text->isEmpty() && !text->contains(QStringLiteral("redacted"), Qt::CaseInsensitive))
    return RdapSafeText(*text);
  return text || NamedRedacted(field, roles, redacted) ? Withheld : QString();
}

QString IanaId(const QJsonObject& entity) {
  for (const QJsonValue value : entity.value(QStringLiteral("publicIds")).toArray()) {
    const QJsonObject id = value.toObject();
    if (id.value(QStringLiteral("type")).toString() == u"IANA Registrar ID")
      return RdapString(id, QStringLiteral("identifier"));
  }
  return QString();
}

QStringList Roles(const QJsonObject& entity) {
  QStringList roles;
  for (const QJsonValue role : entity.value(QStringLiteral("roles")).toArray())
    if (role.isString()) roles << role.toString();
  return roles;
}

void AddEntity(QStringList& lines, const QJsonObject& entity, const QSet<QString>& redacted,
               int depth) {
  const QString indent(depth * 2, u' ');
  const QStringList roles = Roles(entity);
  QStringList roleTexts;
  for (const QString& role : roles) roleTexts << RoleText(role);
  const QString handle = RdapString(entity, QStringLiteral("handle"));
  lines << indent + QStringLiteral("連絡先: ") + roleTexts.join(u'、') +
               (handle.isEmpty() ? QString() : QStringLiteral(" (") + handle + u')');
  for (const TCardField& field : CardFields) {
    const QString text = FieldText(entity, field, roles, redacted);
    if (!text.isEmpty())
      lines << indent + QStringLiteral("  ") + QString::fromUtf8(field.Caption) +
                   QStringLiteral(": ") + text;
  }
  if (const QString id = IanaId(entity); !id.isEmpty())
    lines << indent + QStringLiteral("  IANA ID: ") + id;
  AddEntityLines(lines, entity, redacted, depth + 1);
}
}  // namespace

void AddEntityLines(QStringList& lines, const QJsonObject& object, const QSet<QString>& redacted,
                    int depth) {
  if (depth >= MaxEntityDepth) return;
  for (const QJsonValue value : object.value(QStringLiteral("entities")).toArray())
    if (value.isObject()) AddEntity(lines, value.toObject(), redacted, depth);
}

QString RegistrarText(const QJsonObject& object) {
  for (const QJsonValue value : object.value(QStringLiteral("entities")).toArray()) {
    const QJsonObject entity = value.toObject();
    if (!Roles(entity).contains(QStringLiteral("registrar"))) continue;
    const std::optional<QString> name = PropertyText(entity, QStringLiteral("fn"));
    const QString id = IanaId(entity);
    return RdapSafeText(name.value_or(QString())) +
           (id.isEmpty() ? QString() : QStringLiteral(" (IANA ID ") + id + u')');
  }
  return QString();
}
