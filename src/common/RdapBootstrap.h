#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QStringList>
#include <optional>

#include "common/RdapQuery.h"

// IANA's RDAP bootstrap files (RFC 9224): which service answers for which
// names, addresses and AS numbers.
enum class TBootstrapKind { Dns, Ipv4, Ipv6, Asn };
inline constexpr TBootstrapKind BootstrapKinds[] = {TBootstrapKind::Dns, TBootstrapKind::Ipv4,
                                                    TBootstrapKind::Ipv6, TBootstrapKind::Asn};

// "dns.json", "ipv4.json", "ipv6.json", "asn.json".
QString BootstrapFileName(TBootstrapKind kind);
// The file that answers for a query (Dns for a query of no kind).
TBootstrapKind BootstrapKindOf(const TRdapQuery& query);

struct TRdapBootstrap {
  struct TService {
    QStringList Entries;  // as the file has them, each one checked
    QStringList Urls;     // the https:// base URLs, each ending in "/"
  };
  QDateTime Publication;  // UTC
  QList<TService> Services;
};

// The whole file or nothing: one entry of the wrong form, or a missing or
// unreadable publication date, and the file is not trusted at all.
std::optional<TRdapBootstrap> ParseRdapBootstrap(const QByteArray& json, TBootstrapKind kind);

// The base URLs of the service for the query, the longest match winning:
// labels from the right for a name, the longest prefix for an address or
// prefix, the narrowest range for an AS. Empty when no service with an
// https:// URL answers for it.
QStringList RdapServiceUrls(const TRdapBootstrap& bootstrap, const TRdapQuery& query);
