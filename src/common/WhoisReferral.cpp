#include "common/WhoisReferral.h"

#include <QStringList>

#include "common/NetAddress.h"
#include "common/QueryText.h"

namespace {
enum class TKind { Plain, Url, Registrar };

struct TReferralKey {
  QByteArrayView Key;
  TKind Kind;
};
constexpr TReferralKey Keys[] = {
    {"refer:", TKind::Plain},
    {"whois:", TKind::Plain},
    {"ReferralServer:", TKind::Url},
    {"Registrar WHOIS Server:", TKind::Registrar},
};

// A name without blanks, slashes or colons, or an IPv6 address in
// brackets, kept without them.
std::optional<QString> ServerOf(QByteArrayView text) {
  if (text.startsWith('[') && text.endsWith(']')) {
    const QString address = QString::fromLatin1(text.sliced(1, text.size() - 2));
    const std::optional<TNetAddress> parsed = TNetAddress::Parse(address);
    if (!parsed || !parsed->IsIPv6() || address.startsWith(u'[')) return std::nullopt;
    return address;
  }
  if (text.isEmpty() || text.contains(' ') || text.contains('\t') || text.contains('/') ||
      text.contains(':'))
    return std::nullopt;
  return QString::fromLatin1(text);
}

// "host", or "host:port" where a port may be given; the port must be a real
// one. An IPv6 address has colons of its own: only one after its "]" starts
// a port.
std::optional<TWhoisReferral> HostAndPort(QByteArrayView text, bool withPort) {
  while (text.endsWith('/')) text.chop(1);
  TWhoisReferral referral;
  const qsizetype colon = text.lastIndexOf(':');
  if (withPort && colon > text.lastIndexOf(']')) {
    bool ok = false;
    referral.Port = text.sliced(colon + 1).toInt(&ok);
    if (!ok || referral.Port < 1 || referral.Port > 65535) return std::nullopt;
    text = text.first(colon);
  }
  const std::optional<QString> server = ServerOf(text);
  if (!server) return std::nullopt;
  referral.Server = *server;
  return referral;
}

// A value with a scheme: whois:// is followed, rwhois:// is only named, any
// other (an ldap:// or http:// address) is no whois server.
std::optional<TWhoisReferral> FromUrl(QByteArrayView value) {
  const bool rwhois = value.startsWith("rwhois://");
  if (!rwhois && !value.startsWith("whois://")) return std::nullopt;
  std::optional<TWhoisReferral> referral = HostAndPort(value.sliced(value.indexOf("//") + 2), true);
  if (referral) referral->Rwhois = rwhois;
  return referral;
}
}  // namespace

std::optional<TWhoisReferral> WhoisReferralOfLine(QByteArrayView line) {
  const QByteArrayView text = line.trimmed();
  for (const TReferralKey& k : Keys) {
    if (text.size() <= k.Key.size() ||
        text.first(k.Key.size()).compare(k.Key, Qt::CaseInsensitive) != 0)
      continue;
    const QByteArrayView value = text.sliced(k.Key.size()).trimmed();
    std::optional<TWhoisReferral> referral;
    if (k.Kind == TKind::Url || value.contains("://"))
      referral = FromUrl(value);
    else
      referral = HostAndPort(value, false);
    if (referral && k.Kind == TKind::Registrar) referral->DomainOnly = true;
    return referral;
  }
  return std::nullopt;
}

std::optional<TWhoisReferral> FindWhoisReferral(const QList<QByteArray>& lines) {
  for (const QByteArray& line : lines)
    if (std::optional<TWhoisReferral> referral = WhoisReferralOfLine(line)) return referral;
  return std::nullopt;
}

QString WhoisDomainOfQuery(const QString& query) {
  const QStringList words = query.split(u' ', Qt::SkipEmptyParts);
  QString domain = words.isEmpty() ? QString() : words.last();
  if (domain.startsWith(u'=')) domain.remove(0, 1);
  return domain;
}

QString WhoisReferralName(const TWhoisReferral& referral) {
  const int shownFrom = referral.Rwhois ? 0 : WhoisServicePort;
  return HostHeaderValue(referral.Server, referral.Port ? referral.Port : shownFrom, shownFrom);
}

QString WhoisServerKey(const QString& server, int port) {
  QString name = server.toLower();
  if (name.endsWith(u'.')) name.chop(1);
  return name + u':' + QString::number(port);
}
