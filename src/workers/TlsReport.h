#pragma once
#include <QDateTime>
#include <QString>
#include <QStringList>

typedef struct ssl_st SSL;

// The texts of an HTTPS run: what the connection is, the certificates the
// server sent, the verdict on them, and why a handshake failed. Each format
// lives here once; the worker converts the lines to Shift_JIS.

// The Japanese reason of a verification result (X509_V_ERR_*). sent: the
// number of certificates the server sent. A missing issuer of a leaf sent
// alone is taken for an incomplete chain (servers that leave out their
// intermediate certificate), otherwise for an unknown issuer.
QString TlsVerifyReason(long result, int sent);
// "検証 OK" when the check found no problem; otherwise "検証 NG: " and each
// reason + " (" + the library's text + ")", one after another in the order
// found, each reason once.
QString TlsVerdictLine(const QList<long>& results, int sent);

// The Japanese reason of a failed handshake from OpenSSL's reason code
// (SSL_R_*), 0 when the peer closed without a TLS error.
QString TlsHandshakeReason(int reasonCode);
// " - TLS ハンドシェイク失敗: " + reason, after the host as the other
// failure lines of the TCP tools.
QString TlsHandshakeLine(const QString& reason);

// Why a session could not be made ready to check the server, before any
// byte was sent: its name cannot be sent or checked, or the address the
// socket is connected to cannot be checked.
enum class TTlsSetupFault { Name, PeerAddress };
QString TlsSetupReason(TTlsSetupFault fault);

// The verdict line of an established session: TlsVerdictLine for the
// certificates the server sent.
QString TlsSessionVerdict(SSL* ssl, const QList<long>& problems);

// The report of an established session, verdict last: protocol and cipher
// suite, each certificate the server sent (the server's own in full), the
// verdict on the problems the check found (X509_V_ERR_*).
QStringList TlsSessionReport(SSL* ssl, const QList<long>& problems);
