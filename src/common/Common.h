#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// '0' to '9' alone, none of Unicode's other digits.
bool IsAsciiDigit(QChar c);

// --- URL splitting ---------------------------------------------------------
// Plain cuts at the first " ", "://", "/", "?", ":" or "#"; no decoding and
// no validation. The host and port end at the first "/", "?" or "#". An IPv6
// address is the host whole: in brackets before an optional port
// ("[2001:db8::1]:8080"), or bare (two or more ":" and no brackets), when it
// has no port. A text with a blank is not a URL: host, path and scheme are
// empty for it.

// The host part of a URL or of a host text ("http://srv:80/x" -> "srv",
// "http://[2001:db8::1]:80/x" -> "2001:db8::1", without the brackets).
QString ExtractUrlHost(const QString& text);

// What follows the host and port, without the fragment: the path, with a
// "/" put in front of a query that follows the host ("srv?q=1" -> "/?q=1");
// "/" when there is nothing.
QString ExtractUrlPath(const QString& text);

// Everything before the first "://", letter case unchanged; empty without one.
QString ExtractUrlScheme(const QString& text);

// The port a URL of this scheme goes to when it names none: 80 for "http"
// and for no scheme, 443 for "https" (both lower case only); 0 for a scheme
// the HTTP tool does not speak.
int SchemeDefaultPort(const QString& scheme);

// The port after the host's ":" (decimal, optional sign); a bare IPv6
// address has none. defaultPort when
// there is none or it is not a number; INT_MAX / INT_MIN when it does not fit
// an int, so that the caller refuses it as out of range.
int ExtractUrlPort(const QString& text, int defaultPort);

// --- IPv4 addresses -----------------------------------------------------------

// A dotted address as the socket layer reads one ("192.0.2.1", also the
// short and octal or hex forms inet_aton takes), in network byte order.
// False for anything else: names, empty text, and any text with a character
// beyond digits, dots and hex digits, so nothing may follow the address
// (not even a blank).
bool ParseDottedAddress(QStringView text, quint32* addrNetOrder);

// "a.b.c.d" of an address in network byte order.
QByteArray FormatDottedAddress(quint32 addrNetOrder);

// --- Shift_JIS byte limits -------------------------------------------------

// Length of the longest prefix of at most limit bytes that does not split a
// double-byte character.
qsizetype SjisCutLength(QByteArrayView sjis, qsizetype limit);

// The first bytes of sjis, at most limit, cut at a character boundary.
QByteArray SjisLeft(const QByteArray& sjis, qsizetype limit);

// --- ICMP on the wire ----------------------------------------------------------
// Shared by the packet code of the raw-socket workers and the echo service.

inline constexpr int IcmpHeaderSize = 8;
inline constexpr quint8 IcmpEchoReply = 0;
inline constexpr quint8 IcmpDestUnreachable = 3;
inline constexpr quint8 IcmpEchoRequest = 8;
inline constexpr quint8 IcmpTimeExceeded = 11;
// ICMPv6 (RFC 4443).
inline constexpr quint8 Icmp6DestUnreachable = 1;
inline constexpr quint8 Icmp6PacketTooBig = 2;
inline constexpr quint8 Icmp6TimeExceeded = 3;
inline constexpr quint8 Icmp6ParamProblem = 4;
inline constexpr quint8 Icmp6EchoRequest = 128;
inline constexpr quint8 Icmp6EchoReply = 129;

// --- Internet checksum and the 16-bit millisecond clock ---------------------
// Shared by the ICMP packet code and its workers.

// RFC 1071 Internet checksum of length bytes (none when length <= 0). Words
// are read least significant byte first, so the result is to be stored at
// the checksum field least significant byte first; the sum is then right on
// the wire whatever the host's byte order.
quint16 IcmpChecksum(const void* buffer, qint32 length);

// Milliseconds of the monotonic clock, wrapping at 2^32 (the send time of an
// echo request). Never wall-clock time, so a clock change cannot skew a
// round-trip time.
quint32 TickCount();

// TickCount() modulo 65536: the start value of a round-trip time.
quint16 Tick16();

// Milliseconds from start to now, both Tick16 values: 0..65535, right across
// one wrap of the 16-bit clock.
int ElapsedTick16(quint16 start, quint16 now);
// The same against Tick16() now.
int ElapsedTick16(quint16 start);
