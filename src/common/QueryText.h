#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QString>

// The texts of a query run that are built from what the user typed: run
// titles, the header line, the relay query and the HTTP request. User text is
// only ever concatenated, never passed through a format string, so a "%1" in a
// host name stays as typed.

// "2001年4月5日9時3分7秒": plain numbers, no leading zeros.
QString HeaderTime(const QDateTime& when);
// ">> " + HeaderTime + "  " + title: the first line of every run.
QString RunHeader(const QDateTime& when, const QString& title);

// tool + " - " + host + " - " + request (Finger, Whois).
QString RelayToolTitle(const QString& tool, const QString& host, const QString& request);
// "Ping - host - 64 バイトデータ".
QString PingTitle(const QString& host, int dataSize);
// "TraceRoute - host - ホップ1 ～ ホップ64".
QString TraceRouteTitle(const QString& host, int firstHop, int lastHop);
// "IP Scan - 192.0.2.0 ～ 255", "IP Scan - 2001:db8::1 ～ 2001:db8::ff".
QString IpScanTitle(const QString& prefix, int first, int last);

// An IP Scan prefix that ends in ":" is IPv6: its hosts are the last 8 bits.
bool IsIPv6ScanPrefix(const QString& prefix);
// The text of host n of a scan: prefix + "." + n for IPv4; for IPv6 the
// address with n in its last group, as IPv6 text is written (empty when
// prefix + n is no IPv6 address).
QString ScanAddressText(const QString& prefix, int n);

// What a relay host is asked: the query for the server, "query@server".
QString RelayQuery(const QString& query, const QString& server);
// Where a Finger or Whois query goes and what is sent there: the server and
// the query, or with a relay (not empty) the relay and "query@server".
struct TRelayRoute {
  QString Host;
  QString Sent;
};
TRelayRoute RelayRoute(const QString& server, const QString& query, const QString& relay);

// The Host header's value: the host (a Japanese name in its ACE form), and
// ":" + port only when that is not the scheme's default; an IPv6 address in
// brackets.
QString HostHeaderValue(const QString& host, int port, int defaultPort);
// The HTTP/1.0 request for path, in Shift_JIS, ending in one blank line (the
// TCP worker adds one more CR LF when it sends). The Host header follows the
// request line: a server that hosts several sites answers for the one named.
QByteArray HttpRequest(bool get, const QString& hostHeader, const QString& path);
