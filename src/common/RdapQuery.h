#pragma once
#include <QString>

#include "common/NetAddress.h"

// The Whois page's "方式": port 43 as ever, RDAP, or RDAP where the
// bootstrap names a service and port 43 otherwise. In the combo box's order.
enum class TWhoisProtocol { Whois, Rdap, Auto };
// "rdap" and "auto" as the settings keep them; empty for whois, which is
// never written.
QString WhoisProtocolKey(TWhoisProtocol protocol);
// Anything but "rdap" or "auto" is whois.
TWhoisProtocol WhoisProtocolOfKey(const QString& key);

// What an RDAP server can be asked: a domain, an address or prefix, an AS.
enum class TRdapKind { None, Domain, Address, Autnum };

struct TRdapQuery {
  TRdapKind Kind = TRdapKind::None;
  QString Domain;         // ACE, lower case, without a final dot
  TNetAddress Address;    // the address, or the first of the prefix
  int PrefixLength = -1;  // -1: the address alone
  quint32 Autnum = 0;
  // The path under a service's base URL: "domain/example.com",
  // "ip/192.0.2.0/24", "autnum/64500".
  QString Path() const;
};

// A domain name (a Japanese one in its ACE form), an IPv4 address as a
// strict dotted quad or an IPv6 address, either with "/length", or "AS64500"
// in any case. Blanks around it are ignored; anything else is no RDAP query.
TRdapQuery ParseRdapQuery(const QString& text);

// Under "自動" a relay, or a query with whois options ("-" first), always
// goes to port 43: RDAP has neither.
bool AutoKeepsPort43(const QString& query, bool relayUsed);
