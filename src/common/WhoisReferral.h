#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// A whois server that a reply names as the holder of the real record.
struct TWhoisReferral {
  QString Server;
  int Port = 0;             // 0: the whois port
  bool DomainOnly = false;  // a registry's registrar: asked with the domain name alone
  bool Rwhois = false;      // named only: rwhois is another protocol
  bool operator==(const TWhoisReferral&) const = default;
};

// The referral a reply line names: "refer:" and "whois:" (IANA),
// "ReferralServer: whois://host[:port]" or "rwhois://..." (ARIN),
// "Registrar WHOIS Server:" (gTLD registries). Keys in any case, blanks
// around them allowed. Nothing for any other line.
std::optional<TWhoisReferral> WhoisReferralOfLine(QByteArrayView line);
// The first referral of a reply's lines.
std::optional<TWhoisReferral> FindWhoisReferral(const QList<QByteArray>& lines);
// What a registrar is asked: the domain name alone, the last word of the
// query without a registry's "=" prefix.
QString WhoisDomainOfQuery(const QString& query);
