#include "common/Common.h"

#include <arpa/inet.h>

#include <climits>
#include <optional>

#include "helper/ProbeWire.h"

bool IsAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// --- URL splitting ---------------------------------------------------------

namespace {

// Removes everything through the first "://", if there is one.
QString AfterSchemeMark(const QString& text) {
  const qsizetype at = text.indexOf(u"://");
  return at < 0 ? text : text.mid(at + 3);
}

// Removes the first c and everything after it, if there is one.
QString CutAt(const QString& text, QChar c) {
  const qsizetype at = text.indexOf(c);
  return at < 0 ? text : text.left(at);
}

bool HasBlank(const QString& text) { return text.contains(u' '); }

// Optional sign and ASCII digits, nothing else. A value beyond int saturates
// instead of failing, so "99999999999" is out of range, not "no port".
std::optional<int> ParseDecimal(QStringView text) {
  const bool negative = text.startsWith(u'-');
  if (negative || text.startsWith(u'+')) text = text.sliced(1);
  if (text.isEmpty()) return std::nullopt;
  constexpr qint64 Cap = qint64(INT_MAX) + 1;
  qint64 value = 0;
  for (QChar c : text) {
    if (!IsAsciiDigit(c)) return std::nullopt;
    value = qMin(value * 10 + (c.unicode() - u'0'), Cap);
  }
  if (negative) return int(-value);
  return value > INT_MAX ? INT_MAX : int(value);
}

// The host and the port text of what stands before the path.
struct THostPort {
  QString Host;
  std::optional<QString> Port;
};

// "host", "host:port", "[v6]" or "[v6]:port". A text with two or more ":"
// outside brackets is a bare IPv6 address, not a host and a port, so it is
// the host whole. Anything else in brackets is cut as before.
THostPort SplitHostPort(const QString& hostPort) {
  const qsizetype close = hostPort.startsWith(u'[') ? hostPort.indexOf(u']') : -1;
  if (close > 0) {
    const QString host = hostPort.mid(1, close - 1);
    if (close + 1 == hostPort.size()) return {host, std::nullopt};
    if (hostPort[close + 1] == u':') return {host, hostPort.mid(close + 2)};
  }
  if (hostPort.count(u':') >= 2) return {hostPort, std::nullopt};
  const qsizetype colon = hostPort.indexOf(u':');
  if (colon < 0) return {hostPort, std::nullopt};
  return {hostPort.left(colon), hostPort.mid(colon + 1)};
}

// Where what stands after the scheme mark stops naming the host and port:
// at the path, the query or the fragment, whichever comes first.
qsizetype HostPortLength(const QString& rest) {
  for (qsizetype i = 0; i < rest.size(); ++i)
    if (rest[i] == u'/' || rest[i] == u'?' || rest[i] == u'#') return i;
  return rest.size();
}

// Only what stands before the path names the host and port: neither the
// host itself ("http://8080/") nor a colon in the path ("/page:2") may
// become a port, and a port ends where a query begins ("srv:8448?x=1").
THostPort UrlHostPort(const QString& text) {
  const QString rest = AfterSchemeMark(text);
  return SplitHostPort(rest.left(HostPortLength(rest)));
}

}  // namespace

QString ExtractUrlHost(const QString& text) {
  if (HasBlank(text)) return QString();
  return UrlHostPort(text).Host;
}

QString ExtractUrlPath(const QString& text) {
  if (HasBlank(text)) return QString();
  // The fragment goes first, so a "/" inside it is not taken for the path.
  const QString rest = CutAt(AfterSchemeMark(text), u'#');
  const QString path = rest.mid(HostPortLength(rest));
  // A query right after the host asks for the root's: "srv?q=1" is "/?q=1".
  return path.startsWith(u'/') ? path : u'/' + path;
}

QString ExtractUrlScheme(const QString& text) {
  const qsizetype at = text.indexOf(u"://");
  if (HasBlank(text) || at < 0) return QString();
  return text.left(at);
}

int SchemeDefaultPort(const QString& scheme) {
  if (scheme.isEmpty() || scheme == u"http") return 80;
  return scheme == u"https" ? 443 : 0;
}

int ExtractUrlPort(const QString& text, int defaultPort) {
  const std::optional<QString> port = UrlHostPort(text).Port;
  if (!port) return defaultPort;
  return ParseDecimal(*port).value_or(defaultPort);
}

// --- IPv4 addresses -----------------------------------------------------------

namespace {

// Digits, dots and the letters of the hex form. inet_aton ends the address at
// a blank and ignores what follows it, so "192.0.2 " would read as 192.0.0.2:
// no other character may reach it.
bool IsDottedAddressChar(QChar c) {
  const char16_t u = c.unicode();
  return (u >= u'0' && u <= u'9') || u == u'.' || u == u'x' || u == u'X' ||
         (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
}

}  // namespace

bool ParseDottedAddress(QStringView text, quint32* addrNetOrder) {
  if (text.isEmpty()) return false;
  QByteArray latin;
  latin.reserve(text.size());
  for (QChar c : text) {
    if (!IsDottedAddressChar(c)) return false;
    latin.append(char(c.unicode()));
  }
  in_addr a{};
  if (::inet_aton(latin.constData(), &a) == 0) return false;
  *addrNetOrder = a.s_addr;
  return true;
}

QByteArray FormatDottedAddress(quint32 addrNetOrder) {
  // Network byte order: the first octet is the first byte in memory.
  const auto* octet = reinterpret_cast<const quint8*>(&addrNetOrder);
  QByteArray text;
  for (int i = 0; i < 4; ++i) {
    if (i > 0) text += '.';
    text += QByteArray::number(octet[i]);
  }
  return text;
}

// --- Shift_JIS byte limits -------------------------------------------------

namespace {

bool IsSjisLeadByte(uchar b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

}  // namespace

qsizetype SjisCutLength(QByteArrayView sjis, qsizetype limit) {
  if (limit <= 0) return 0;
  if (sjis.size() <= limit) return sjis.size();
  qsizetype pos = 0;
  for (;;) {
    const qsizetype next = pos + (IsSjisLeadByte(uchar(sjis[pos])) ? 2 : 1);
    if (next > limit) return pos;
    pos = next;
  }
}

QByteArray SjisLeft(const QByteArray& sjis, qsizetype limit) {
  return sjis.left(SjisCutLength(sjis, limit));
}

// --- Internet checksum and the 16-bit millisecond clock ---------------------

#include <chrono>

quint16 IcmpChecksum(const void* buffer, qint32 length) {
  if (length <= 0) return 0xFFFF;
  return WireChecksum({static_cast<const quint8*>(buffer), size_t(length)});
}

quint32 TickCount() {
  using namespace std::chrono;
  const auto now = steady_clock::now().time_since_epoch();
  return quint32(quint64(duration_cast<milliseconds>(now).count()));
}

quint16 Tick16() { return quint16(TickCount()); }

int ElapsedTick16(quint16 start, quint16 now) {
  const int difference = int(now) - int(start);
  return difference < 0 ? difference + 65536 : difference;
}

int ElapsedTick16(quint16 start) { return ElapsedTick16(start, Tick16()); }
