#pragma once
#include <QByteArray>
#include <QList>
#include <QUrl>
#include <optional>

// The HTTP/1.0 exchange of an RDAP query: the request, and the reply taken
// apart once the server has closed the connection.

// "GET path HTTP/1.0" with Host, Accept (RDAP's JSON) and User-Agent, then
// extra (whole header lines without their line end), then the blank line.
QByteArray RdapGetRequest(const QUrl& url, const QList<QByteArray>& extra = {});

struct THttpReply {
  int Status = 0;
  QByteArray Reason;
  QList<std::pair<QByteArray, QByteArray>> Headers;
  QByteArray Body;
  // The first header of that name (in any case), trimmed; empty for none.
  QByteArray Header(QByteArrayView name) const;
};

// Nothing unless the bytes begin with a status line "HTTP/1.x NNN ..." and
// hold the end of the header; the body is the rest as it came.
std::optional<THttpReply> ParseHttpReply(const QByteArray& bytes);

// Where a redirect leads: the Location resolved against the URL asked,
// nothing unless that is an https:// URL with a host.
std::optional<QUrl> RedirectTarget(const QUrl& asked, const QByteArray& location);
bool IsRedirectStatus(int status);
