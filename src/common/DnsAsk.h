#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "common/DnsWire.h"

// What NS Lookup asks beyond its documented lookup: which records, of which
// server, over which transport; and the texts of its report. Pure pieces,
// without sockets.

enum class TDnsTransport { Udp, Tcp, Tls, Https };

// The server of the "DNSサーバ" field.
struct TDnsServer {
  TDnsTransport Transport = TDnsTransport::Udp;
  QString Host;  // a name or an address; empty: the system's resolver
  int Port = 53;
  QString Path;  // DNS over HTTPS: the path of the URL
};

// The field's text: an address (IPv4, IPv6 bare or in brackets) or a name,
// with an optional ":port"; "tls://host[:port]" (port 853);
// "https://host[:port]/path" (port 443; "/dns-query" without a path). Empty: the system's resolver. tcp
// asks a plain server over TCP. Nothing for a text that names no server
// (another scheme, no host, a blank, a port outside 1..65535).
std::optional<TDnsServer> ParseDnsServer(const QString& text, bool tcp);
// "UDP", "TCP", "TLS", "HTTPS".
QString DnsTransportName(TDnsTransport transport);

// The choices of "種類", in order; the first is the documented lookup.
QStringList DnsTypeChoices();
inline const QString DnsDefaultChoice = QStringLiteral("既定");
// The types a choice asks for, one after another: none for 既定, the common
// types for すべて, else the type it names.
QList<quint16> DnsTypesOfChoice(const QString& choice);
// A stored choice, or 既定 when it names none.
QString KnownDnsChoice(const QString& choice);

// "NS Lookup - 日本語.jp (xn--wgv71a119e.jp)": both forms of a name that
// has an ACE form; " - MX" after it for a chosen type.
QString NsLookupTitle(const QString& name, const QString& ace, const QString& choice);

// "127.0.0.1#53", "2001:db8::1#853".
QString DnsServerText(const QString& address, int port);
// "サーバ: 127.0.0.1#53 (UDP)  応答時間: 3 ms".
QString DnsServerLine(const QString& server, TDnsTransport transport, qint64 ms);
// "状態: 名前が存在しません (NXDOMAIN)  フラグ: rd ra".
QString DnsStatusLine(const TDnsMessage& message);
// The lines of an answer after the status line: each record of the answer
// section; for NXDOMAIN or an empty answer, the authority section's SOA
// (and its signatures) under "権威:".
QStringList DnsAnswerLines(const TDnsMessage& message);
