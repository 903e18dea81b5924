#include "common/WhoisReferral.h"

#include <QStringList>

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

// "host", or "host:port" where a port may be given; the port must be a real
// one. A host holds no blank.
std::optional<TWhoisReferral> HostAndPort(QByteArrayView text, bool withPort) {
  while (text.endsWith('/')) text.chop(1);
  TWhoisReferral referral;
  const qsizetype colon = text.lastIndexOf(':');
  if (colon >= 0 && withPort) {
    bool ok = false;
    referral.Port = text.sliced(colon + 1).toInt(&ok);
    if (!ok || referral.Port < 1 || referral.Port > 65535) return std::nullopt;
    text = text.first(colon);
  }
  if (text.isEmpty() || text.contains(' ') || text.contains('\t') || text.contains('/') ||
      text.contains(':'))
    return std::nullopt;
  referral.Server = QString::fromLatin1(text);
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
