#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// The port of whois servers, where a referral that names none goes.
inline constexpr int WhoisServicePort = 43;

// A whois server that a reply names as the holder of the real record.
struct TWhoisReferral {
  QString Server;           // a name, or an IPv6 address (given in brackets)
  int Port = 0;             // 0: the whois port
  bool DomainOnly = false;  // a registry's registrar: asked with the domain name alone
  bool Rwhois = false;      // named only: rwhois is another protocol
  bool operator==(const TWhoisReferral&) const = default;
};

// The referral a reply line names: "refer:" and "whois:" (IANA),
// "ReferralServer: whois://host[:port]" or "rwhois://..." (ARIN; the host
// may be an IPv6 address in brackets, "whois://[2001:db8::43]:4343"),
// "Registrar WHOIS Server:" (gTLD registries). Keys in any case, blanks
// around them allowed. Nothing for any other line.
std::optional<TWhoisReferral> WhoisReferralOfLine(QByteArrayView line);
// The first referral of a reply's lines.
std::optional<TWhoisReferral> FindWhoisReferral(const QList<QByteArray>& lines);
// What a registrar is asked: the domain name alone, the last word of the
// query without a registry's "=" prefix.
QString WhoisDomainOfQuery(const QString& query);
// The server as the run names it: its port too when that is not the
// protocol's own (whois 43; rwhois shows any it was given), an IPv6 address
// then in brackets.
QString WhoisReferralName(const TWhoisReferral& referral);
// One key for the names of one server: in any case, with or without the
// final dot of a fully qualified name.
QString WhoisServerKey(const QString& server, int port);
