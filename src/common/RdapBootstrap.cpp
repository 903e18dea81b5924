#include "common/RdapBootstrap.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <functional>

namespace {
struct TRange {
  quint32 First = 0;
  quint32 Last = 0;
};

std::optional<quint32> AsNumber(QStringView text) {
  bool ok = false;
  const qulonglong value = text.toULongLong(&ok);
  if (!ok || text.isEmpty() || !text.front().isDigit() || value > 0xFFFFFFFFull)
    return std::nullopt;
  return quint32(value);
}

// "64500" or "64496-64511".
std::optional<TRange> RangeOf(QStringView entry) {
  const qsizetype dash = entry.indexOf(u'-');
  const auto first = AsNumber(dash < 0 ? entry : entry.first(dash));
  const auto last = dash < 0 ? first : AsNumber(entry.sliced(dash + 1));
  if (!first || !last || *last < *first) return std::nullopt;
  return TRange{*first, *last};
}

// "192.0.2.0/24", "2001:db8::/32": the family must be the file's.
std::optional<TRdapQuery> PrefixOf(const QString& entry, TBootstrapKind kind) {
  const TRdapQuery prefix = ParseRdapQuery(entry);
  const bool v4 = kind == TBootstrapKind::Ipv4;
  if (prefix.Kind != TRdapKind::Address || prefix.PrefixLength < 0 || prefix.Address.IsIPv4() != v4)
    return std::nullopt;
  return prefix;
}

// The first bits of two addresses agree; IPv4 compares in its mapped form.
bool SameBits(const TNetAddress& a, const TNetAddress& b, int bits) {
  for (int i = 0; i < bits; ++i) {
    const int bit = 7 - i % 8;
    if (((a.Bytes()[i / 8] >> bit) & 1) != ((b.Bytes()[i / 8] >> bit) & 1)) return false;
  }
  return true;
}

// How well entry answers for query: higher is a longer match; nothing when
// it does not answer (or is of no valid form).
std::optional<qint64> MatchOf(TBootstrapKind kind, const QString& entry, const TRdapQuery& query) {
  if (kind == TBootstrapKind::Dns) {
    const QString label = entry.toLower();
    if (label.isEmpty() || label.startsWith(u'.') || label.endsWith(u'.')) return std::nullopt;
    if (query.Domain != label && !query.Domain.endsWith(u'.' + label)) return std::nullopt;
    return label.count(u'.') + 1;
  }
  if (kind == TBootstrapKind::Asn) {
    const std::optional<TRange> range = RangeOf(entry);
    if (!range || query.Autnum < range->First || query.Autnum > range->Last) return std::nullopt;
    return -qint64(range->Last - range->First);
  }
  const std::optional<TRdapQuery> prefix = PrefixOf(entry, kind);
  if (!prefix || query.Kind != TRdapKind::Address) return std::nullopt;
  const int offset = prefix->Address.IsIPv4() ? 96 : 0;
  const int queryLength = query.PrefixLength < 0 ? 128 - offset : query.PrefixLength;
  if (prefix->Address.IsIPv4() != query.Address.IsIPv4() || queryLength < prefix->PrefixLength ||
      !SameBits(prefix->Address, query.Address, offset + prefix->PrefixLength))
    return std::nullopt;
  return prefix->PrefixLength;
}

bool EntryIsValid(TBootstrapKind kind, const QString& entry) {
  if (kind == TBootstrapKind::Dns) {
    TRdapQuery probe;
    probe.Domain = entry.toLower();
    return MatchOf(kind, entry, probe).has_value();
  }
  if (kind == TBootstrapKind::Asn) return RangeOf(entry).has_value();
  return PrefixOf(entry, kind).has_value();
}

// An array of strings, every one passing check.
std::optional<QStringList> Strings(const QJsonValue& value,
                                   const std::function<bool(const QString&)>& check) {
  if (!value.isArray()) return std::nullopt;
  QStringList list;
  for (const QJsonValue item : value.toArray()) {
    if (!item.isString() || !check(item.toString())) return std::nullopt;
    list << item.toString();
  }
  return list;
}

// RFC 9224 prefers https; a plain http:// service is not used (registration
// data goes only over a verified connection), nor is any other text.
QStringList HttpsUrls(const QStringList& urls) {
  QStringList https;
  for (QString url : urls) {
    if (!url.startsWith(QStringLiteral("https://"), Qt::CaseInsensitive)) continue;
    if (!url.endsWith(u'/')) url += u'/';
    https << url;
  }
  return https;
}

std::optional<TRdapBootstrap::TService> ServiceOf(const QJsonValue& value, TBootstrapKind kind) {
  const QJsonArray service = value.toArray();
  // A third member, where the registry has one, names object tags: not ours.
  if (!value.isArray() || service.size() < 2) return std::nullopt;
  const auto entries =
      Strings(service[0], [kind](const QString& e) { return EntryIsValid(kind, e); });
  const auto urls = Strings(service[1], [](const QString&) { return true; });
  if (!entries || !urls) return std::nullopt;
  return TRdapBootstrap::TService{*entries, HttpsUrls(*urls)};
}
}  // namespace

QString BootstrapFileName(TBootstrapKind kind) {
  switch (kind) {
    case TBootstrapKind::Ipv4:
      return QStringLiteral("ipv4.json");
    case TBootstrapKind::Ipv6:
      return QStringLiteral("ipv6.json");
    case TBootstrapKind::Asn:
      return QStringLiteral("asn.json");
    case TBootstrapKind::Dns:
      break;
  }
  return QStringLiteral("dns.json");
}

TBootstrapKind BootstrapKindOf(const TRdapQuery& query) {
  if (query.Kind == TRdapKind::Autnum) return TBootstrapKind::Asn;
  if (query.Kind == TRdapKind::Address)
    return query.Address.IsIPv4() ? TBootstrapKind::Ipv4 : TBootstrapKind::Ipv6;
  return TBootstrapKind::Dns;
}

std::optional<TRdapBootstrap> ParseRdapBootstrap(const QByteArray& json, TBootstrapKind kind) {
  const QJsonDocument document = QJsonDocument::fromJson(json);
  const QJsonObject top = document.object();
  TRdapBootstrap bootstrap;
  bootstrap.Publication =
      QDateTime::fromString(top.value(QStringLiteral("publication")).toString(), Qt::ISODate);
  const QJsonValue services = top.value(QStringLiteral("services"));
  if (!document.isObject() || !bootstrap.Publication.isValid() || !services.isArray())
    return std::nullopt;
  bootstrap.Publication = bootstrap.Publication.toUTC();
  for (const QJsonValue value : services.toArray()) {
    std::optional<TRdapBootstrap::TService> service = ServiceOf(value, kind);
    if (!service) return std::nullopt;
    bootstrap.Services << *service;
  }
  return bootstrap;
}

QStringList RdapServiceUrls(const TRdapBootstrap& bootstrap, const TRdapQuery& query) {
  const TBootstrapKind kind = BootstrapKindOf(query);
  QStringList best;
  std::optional<qint64> bestMatch;
  for (const TRdapBootstrap::TService& service : bootstrap.Services) {
    if (service.Urls.isEmpty()) continue;
    for (const QString& entry : service.Entries) {
      const std::optional<qint64> match = MatchOf(kind, entry, query);
      if (match && (!bestMatch || *match > *bestMatch)) {
        bestMatch = match;
        best = service.Urls;
      }
    }
  }
  return best;
}
