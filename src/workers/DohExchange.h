#pragma once
#include <QByteArray>

class TTlsLink;

// DNS over HTTPS (RFC 8484): one query as the body of an HTTP/2 POST of
// application/dns-message, over a TLS session that agreed on "h2" by ALPN.
// nghttp2 does the framing; every byte goes through the link, so its waits
// (time-out, Stop) are the only ones.
struct TDohAnswer {
  bool Complete = false;  // the stream ended; otherwise the link failed or stopped
  int Status = 0;         // the HTTP status
  QByteArray Body;        // at most 65535 bytes, as a DNS message is
};
TDohAnswer DohExchange(TTlsLink& link, const QByteArray& authority, const QByteArray& path,
                       const QByteArray& query);

// The ALPN list that asks for HTTP/2, for SSL_set_alpn_protos.
inline constexpr unsigned char DohAlpn[] = {2, 'h', '2'};
