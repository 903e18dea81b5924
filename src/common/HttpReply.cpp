#include "common/HttpReply.h"

#include <algorithm>

#include "common/QueryText.h"
#include "common/Version.h"

namespace {
constexpr int HttpsPort = 443;

QByteArray PathOf(const QUrl& url) {
  QByteArray path = url.path(QUrl::FullyEncoded).toLatin1();
  if (path.isEmpty()) path = "/";
  if (url.hasQuery()) path += '?' + url.query(QUrl::FullyEncoded).toLatin1();
  return path;
}
}  // namespace

QByteArray RdapGetRequest(const QUrl& url, const QList<QByteArray>& extra) {
  const QString host = url.host(QUrl::EncodeUnicode);
  QByteArray request =
      "GET " + PathOf(url) +
      " HTTP/1.0\r\nHost: " + HostHeaderValue(host, url.port(HttpsPort), HttpsPort).toLatin1() +
      "\r\nAccept: application/rdap+json, application/json\r\nUser-Agent: Ostrekon/" +
      QByteArray(OstrekonVersion) + "\r\n";
  for (const QByteArray& line : extra) request += line + "\r\n";
  return request + "\r\n";
}

QByteArray THttpReply::Header(QByteArrayView name) const {
  for (const auto& [key, value] : Headers)
    if (key.compare(name, Qt::CaseInsensitive) == 0) return value;
  return QByteArray();
}

std::optional<THttpReply> ParseHttpReply(const QByteArray& bytes) {
  const qsizetype end = bytes.indexOf("\r\n\r\n");
  if (!bytes.startsWith("HTTP/1.") || end < 0) return std::nullopt;
  const QList<QByteArray> lines = bytes.first(end).split('\n');
  const QList<QByteArray> status = lines.first().trimmed().split(' ');
  const QByteArray code = status.value(1);
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (code.size() != 3 || !std::all_of(code.begin(), code.end(), digit)) return std::nullopt;
  THttpReply reply;
  reply.Status = code.toInt();
  reply.Reason = lines.first().trimmed().sliced(status[0].size() + 1 + 3).trimmed();
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const qsizetype colon = lines[i].indexOf(':');
    if (colon > 0)
      reply.Headers.append({lines[i].first(colon).trimmed(), lines[i].sliced(colon + 1).trimmed()});
  }
  reply.Body = bytes.sliced(end + 4);
  return reply;
}

std::optional<QUrl> RedirectTarget(const QUrl& asked, const QByteArray& location) {
  const QUrl next = asked.resolved(QUrl::fromEncoded(location, QUrl::StrictMode));
  if (location.isEmpty() || !next.isValid() || next.scheme() != u"https" || next.host().isEmpty())
    return std::nullopt;
  return next;
}

bool IsRedirectStatus(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}
