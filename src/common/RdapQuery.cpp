#include "common/RdapQuery.h"

#include <QStringList>
#include <QUrl>

namespace {
constexpr int MaxNameLength = 253;
constexpr int MaxLabelLength = 63;

bool IsLdhLabel(QStringView label) {
  if (label.isEmpty() || label.size() > MaxLabelLength || label.startsWith(u'-') ||
      label.endsWith(u'-'))
    return false;
  for (const QChar c : label)
    if (!(c.isDigit() || (c >= u'a' && c <= u'z') || c == u'-')) return false;
  return true;
}

bool AllDigits(QStringView text) {
  if (text.isEmpty()) return false;
  for (const QChar c : text)
    if (!c.isDigit() || c.unicode() > 0x7F) return false;
  return true;
}

// A top-level label is never all digits: "64500" or "1.2" is no name.
std::optional<QString> DomainOf(const QString& text) {
  QString ace = QString::fromLatin1(QUrl::toAce(text)).toLower();
  if (ace.endsWith(u'.')) ace.chop(1);
  if (ace.isEmpty() || ace.size() > MaxNameLength) return std::nullopt;
  const QStringList labels = ace.split(u'.');
  for (const QString& label : labels)
    if (!IsLdhLabel(label)) return std::nullopt;
  if (AllDigits(labels.last())) return std::nullopt;
  return ace;
}

// IPv4 only as four decimal numbers: the socket layer's short forms ("10",
// "127.1") would make an AS number or a name of digits an address.
std::optional<TNetAddress> AddressOf(QStringView text) {
  if (!text.contains(u':')) {
    const QList<QStringView> parts = text.split(u'.');
    if (parts.size() != 4) return std::nullopt;
    for (const QStringView part : parts)
      if (!AllDigits(part) || part.size() > 3) return std::nullopt;
  }
  const std::optional<TNetAddress> address = TNetAddress::Parse(text);
  if (!address || address->ScopeId() != 0) return std::nullopt;
  return address;
}

bool ParseAddressQuery(const QString& text, TRdapQuery& query) {
  const qsizetype slash = text.indexOf(u'/');
  const std::optional<TNetAddress> address =
      AddressOf(slash < 0 ? QStringView(text) : QStringView(text).first(slash));
  if (!address) return false;
  if (slash >= 0) {
    const QStringView length = QStringView(text).sliced(slash + 1);
    const int max = address->IsIPv4() ? 32 : 128;
    if (!AllDigits(length) || length.size() > 3 || length.toInt() > max) return false;
    query.PrefixLength = length.toInt();
  }
  query.Kind = TRdapKind::Address;
  query.Address = *address;
  return true;
}

bool ParseAutnumQuery(const QString& text, TRdapQuery& query) {
  if (!text.startsWith(QStringLiteral("as"), Qt::CaseInsensitive)) return false;
  const QStringView digits = QStringView(text).sliced(2);
  bool ok = false;
  const qulonglong number = digits.toULongLong(&ok);
  if (!AllDigits(digits) || digits.size() > 10 || !ok || number > 0xFFFFFFFFull) return false;
  query.Kind = TRdapKind::Autnum;
  query.Autnum = quint32(number);
  return true;
}
}  // namespace

QString WhoisProtocolKey(TWhoisProtocol protocol) {
  switch (protocol) {
    case TWhoisProtocol::Rdap:
      return QStringLiteral("rdap");
    case TWhoisProtocol::Auto:
      return QStringLiteral("auto");
    case TWhoisProtocol::Whois:
      break;
  }
  return QString();
}

TWhoisProtocol WhoisProtocolOfKey(const QString& key) {
  if (key == u"rdap") return TWhoisProtocol::Rdap;
  if (key == u"auto") return TWhoisProtocol::Auto;
  return TWhoisProtocol::Whois;
}

QString TRdapQuery::Path() const {
  switch (Kind) {
    case TRdapKind::Domain:
      return QStringLiteral("domain/") + Domain;
    case TRdapKind::Address:
      return QStringLiteral("ip/") + Address.ToString() +
             (PrefixLength < 0 ? QString() : u'/' + QString::number(PrefixLength));
    case TRdapKind::Autnum:
      return QStringLiteral("autnum/") + QString::number(Autnum);
    case TRdapKind::None:
      break;
  }
  return QString();
}

TRdapQuery ParseRdapQuery(const QString& text) {
  const QString trimmed = text.trimmed();
  TRdapQuery query;
  if (trimmed.isEmpty() || trimmed.contains(u' ') || trimmed.contains(u'\t')) return query;
  if (ParseAddressQuery(trimmed, query) || ParseAutnumQuery(trimmed, query)) return query;
  if (const std::optional<QString> domain = DomainOf(trimmed)) {
    query.Kind = TRdapKind::Domain;
    query.Domain = *domain;
  }
  return query;
}

bool AutoKeepsPort43(const QString& query, bool relayUsed) {
  return relayUsed || query.trimmed().startsWith(u'-');
}
