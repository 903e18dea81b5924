#include "common/QueryText.h"

#include "common/Idn.h"
#include "common/NetAddress.h"
#include "common/SjisText.h"
#include "common/Version.h"

namespace {
QString Number(int n) { return QString::number(n); }
}  // namespace

QString HeaderTime(const QDateTime& when) {
  const QDate d = when.date();
  const QTime t = when.time();
  return Number(d.year()) + QStringLiteral("年") + Number(d.month()) + QStringLiteral("月") +
         Number(d.day()) + QStringLiteral("日") + Number(t.hour()) + QStringLiteral("時") +
         Number(t.minute()) + QStringLiteral("分") + Number(t.second()) + QStringLiteral("秒");
}

QString RunHeader(const QDateTime& when, const QString& title) {
  return QStringLiteral(">> ") + HeaderTime(when) + QStringLiteral("  ") + title;
}

QString RelayToolTitle(const QString& tool, const QString& host, const QString& request) {
  return tool + QStringLiteral(" - ") + host + QStringLiteral(" - ") + request;
}

QString PingTitle(const QString& host, int dataSize) {
  return QStringLiteral("Ping - ") + host + QStringLiteral(" - ") + Number(dataSize) +
         QStringLiteral(" バイトデータ");
}

QString TraceRouteTitle(const QString& host, int firstHop, int lastHop) {
  return QStringLiteral("TraceRoute - ") + host + QStringLiteral(" - ホップ") + Number(firstHop) +
         QStringLiteral(" ～ ホップ") + Number(lastHop);
}

QString IpScanTitle(const QString& prefix, int first, int last) {
  if (IsIPv6ScanPrefix(prefix))
    return QStringLiteral("IP Scan - ") + ScanAddressText(prefix, first) + QStringLiteral(" ～ ") +
           ScanAddressText(prefix, last);
  return QStringLiteral("IP Scan - ") + prefix + QStringLiteral(".") + Number(first) +
         QStringLiteral(" ～ ") + Number(last);
}

bool IsIPv6ScanPrefix(const QString& prefix) { return prefix.endsWith(u':'); }

QString ScanAddressText(const QString& prefix, int n) {
  if (!IsIPv6ScanPrefix(prefix)) return prefix + u'.' + QString::number(n);
  const auto addr = TNetAddress::Parse(prefix + QString::number(n, 16));
  return addr && addr->IsIPv6() ? addr->ToString() : QString();
}

QString RelayQuery(const QString& query, const QString& server) { return query + u'@' + server; }

TRelayRoute RelayRoute(const QString& server, const QString& query, const QString& relay) {
  if (relay.isEmpty()) return {server, query};
  return {relay, RelayQuery(query, server)};
}

QString HostHeaderValue(const QString& host, int port, int defaultPort) {
  const QString name = host.contains(u':') ? u'[' + host + u']' : HostToAce(host);
  return port == defaultPort ? name : name + u':' + QString::number(port);
}

QByteArray HttpRequest(bool get, const QString& hostHeader, const QString& path) {
  const QByteArray requestLine = (get ? "GET " : "HEAD ") + ToSjis(path) + " HTTP/1.0\r\n";
  const QByteArray host = "Host: " + ToSjis(hostHeader) + "\r\n";
  const QByteArray userAgent = QByteArray("User-Agent: Ostrekon/") + OstrekonVersion + "\r\n";
  return requestLine + host + (get ? "Accept: text/*\r\n" : "") + userAgent + "\r\n";
}
