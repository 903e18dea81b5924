#include "common/NetAddress.h"

#include <QHashFunctions>
#include <QList>
#include <QVarLengthArray>
#include <algorithm>
#include <cstring>

#include "common/Common.h"

namespace {

using TBytes = TNetAddress::TBytes;
using TGroups = QVarLengthArray<quint16, 8>;

constexpr int KGroups = 8;
constexpr int KMappedPrefixSize = 12;
constexpr quint8 KMappedPrefix[KMappedPrefixSize] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};

bool IsMapped(const TBytes& bytes) {
  return std::equal(KMappedPrefix, KMappedPrefix + KMappedPrefixSize, bytes.begin());
}

// Decimal digits alone, as a number no greater than max.
std::optional<quint32> ParseBoundedDecimal(QStringView text, quint32 max) {
  if (text.isEmpty() || !std::all_of(text.begin(), text.end(), IsAsciiDigit)) return std::nullopt;
  quint64 value = 0;
  for (QChar c : text) {
    value = value * 10 + (c.unicode() - u'0');
    if (value > max) return std::nullopt;
  }
  return quint32(value);
}

int HexDigitValue(QChar c) {
  const char16_t u = c.unicode();
  if (u >= u'0' && u <= u'9') return u - u'0';
  if (u >= u'a' && u <= u'f') return u - u'a' + 10;
  if (u >= u'A' && u <= u'F') return u - u'A' + 10;
  return -1;
}

// One group: one to four hex digits.
std::optional<quint16> ParseHexGroup(QStringView text) {
  if (text.isEmpty() || text.size() > 4) return std::nullopt;
  quint16 value = 0;
  for (QChar c : text) {
    const int digit = HexDigitValue(c);
    if (digit < 0) return std::nullopt;
    value = quint16(value * 16 + digit);
  }
  return value;
}

// The IPv4 tail of an IPv6 text is the strict dotted quad RFC 4291 shows:
// four decimal numbers up to 255, no leading zeros, none of inet_aton's
// short or octal forms.
std::optional<std::array<quint8, 4>> ParseDottedQuad(QStringView text) {
  const QList<QStringView> parts = text.split(u'.');
  if (parts.size() != 4) return std::nullopt;
  std::array<quint8, 4> octets{};
  for (int i = 0; i < 4; ++i) {
    const QStringView part = parts[i];
    if (part.size() > 1 && part[0] == u'0') return std::nullopt;
    const auto value = ParseBoundedDecimal(part, 255);
    if (!value) return std::nullopt;
    octets[i] = quint8(*value);
  }
  return octets;
}

// Appends the groups of one side of "::" (none for an empty side). Only the
// last side may end in a dotted IPv4 tail, which counts as two groups.
bool AppendGroups(QStringView text, bool lastSide, TGroups& groups) {
  if (text.isEmpty()) return true;
  const QList<QStringView> pieces = text.split(u':');
  for (qsizetype i = 0; i < pieces.size(); ++i) {
    if (lastSide && i == pieces.size() - 1 && pieces[i].contains(u'.')) {
      const auto quad = ParseDottedQuad(pieces[i]);
      if (!quad) return false;
      groups.append(quint16((*quad)[0] << 8 | (*quad)[1]));
      groups.append(quint16((*quad)[2] << 8 | (*quad)[3]));
    } else {
      const auto group = ParseHexGroup(pieces[i]);
      if (!group) return false;
      groups.append(*group);
    }
    if (groups.size() > KGroups) return false;
  }
  return true;
}

// IPv6 text without brackets or zone: eight groups, or fewer around one
// "::" that stands for at least one zero group.
std::optional<TBytes> ParseIPv6Bytes(QStringView text) {
  TGroups head, tail;
  const qsizetype gap = text.indexOf(u"::");
  if (gap < 0) {
    if (!AppendGroups(text, true, head) || head.size() != KGroups) return std::nullopt;
  } else {
    const QStringView after = text.sliced(gap + 2);
    if (after.contains(u"::") || !AppendGroups(text.first(gap), false, head) ||
        !AppendGroups(after, true, tail) || head.size() + tail.size() >= KGroups)
      return std::nullopt;
  }
  TBytes bytes{};
  const auto put = [&bytes](qsizetype index, quint16 group) {
    bytes[2 * index] = quint8(group >> 8);
    bytes[2 * index + 1] = quint8(group);
  };
  for (qsizetype i = 0; i < head.size(); ++i) put(i, head[i]);
  for (qsizetype i = 0; i < tail.size(); ++i) put(KGroups - tail.size() + i, tail[i]);
  return bytes;
}

// A decimal zone is the scope id itself; any other (an interface name) is
// for the caller's lookup, as long as it has no blank or control character.
std::optional<quint32> ZoneScopeId(QStringView zone, TNetAddress::TZoneLookup zoneLookup) {
  if (zone.isEmpty()) return std::nullopt;
  if (std::all_of(zone.begin(), zone.end(), IsAsciiDigit))
    return ParseBoundedDecimal(zone, 0xFFFFFFFFu);
  const bool printable =
      std::all_of(zone.begin(), zone.end(), [](QChar c) { return c > u' ' && c.unicode() < 0x7F; });
  if (!printable || !zoneLookup) return std::nullopt;
  return zoneLookup(zone);
}

// RFC 5952: lower-case hex without leading zeros, the longest run of two or
// more zero groups (the first of equal runs) written as "::".
QByteArray FormatIPv6(const TBytes& bytes) {
  quint16 groups[KGroups];
  for (int i = 0; i < KGroups; ++i) groups[i] = quint16(bytes[2 * i] << 8 | bytes[2 * i + 1]);
  int runStart = -1, runLength = 1;
  for (int i = 0; i < KGroups;) {
    int end = i;
    while (end < KGroups && groups[end] == 0) ++end;
    if (end - i > runLength) {
      runStart = i;
      runLength = end - i;
    }
    i = qMax(end, i + 1);
  }
  QByteArray text;
  for (int i = 0; i < KGroups; ++i) {
    if (i == runStart) {
      text += "::";
      i += runLength - 1;
      continue;
    }
    if (i > 0 && i != runStart + runLength) text += ':';
    text += QByteArray::number(groups[i], 16);
  }
  return text;
}

}  // namespace

TNetAddress TNetAddress::FromIPv4(quint32 addrNetOrder) {
  TNetAddress address;
  address.FFamily = TAddressFamily::IPv4;
  std::copy(KMappedPrefix, KMappedPrefix + KMappedPrefixSize, address.FBytes.begin());
  std::memcpy(address.FBytes.data() + KMappedPrefixSize, &addrNetOrder, 4);
  return address;
}

TNetAddress TNetAddress::FromIPv6(const TBytes& bytes, quint32 scopeId) {
  TNetAddress address;
  address.FBytes = bytes;
  if (IsMapped(bytes)) {
    address.FFamily = TAddressFamily::IPv4;
  } else {
    address.FFamily = TAddressFamily::IPv6;
    address.FScopeId = scopeId;
  }
  return address;
}

std::optional<TNetAddress> TNetAddress::Parse(QStringView text, TZoneLookup zoneLookup) {
  quint32 v4 = 0;
  if (ParseDottedAddress(text, &v4)) return FromIPv4(v4);
  if (text.startsWith(u'[') && text.endsWith(u']')) text = text.sliced(1, text.size() - 2);
  const qsizetype percent = text.indexOf(u'%');
  const auto bytes = ParseIPv6Bytes(percent < 0 ? text : text.first(percent));
  if (!bytes) return std::nullopt;
  if (percent < 0) return FromIPv6(*bytes);
  const auto scopeId = ZoneScopeId(text.sliced(percent + 1), zoneLookup);
  if (!scopeId) return std::nullopt;
  return FromIPv6(*bytes, *scopeId);
}

quint32 TNetAddress::IPv4NetOrder() const {
  quint32 addr = 0;
  if (IsIPv4()) std::memcpy(&addr, FBytes.data() + KMappedPrefixSize, 4);
  return addr;
}

QByteArray TNetAddress::ToLatin1() const {
  if (IsIPv4()) return FormatDottedAddress(IPv4NetOrder());
  if (!IsIPv6()) return QByteArray();
  QByteArray text = FormatIPv6(FBytes);
  if (FScopeId != 0) text += '%' + QByteArray::number(FScopeId);
  return text;
}

QByteArray TNetAddress::ReverseName() const {
  QByteArray name;
  if (IsIPv4()) {
    for (int i = 15; i >= KMappedPrefixSize; --i) name += QByteArray::number(FBytes[i]) + '.';
    return name + "in-addr.arpa";
  }
  if (!IsIPv6()) return name;
  constexpr char KHex[] = "0123456789abcdef";
  for (int i = 15; i >= 0; --i) {
    name += KHex[FBytes[i] & 0xF];
    name += '.';
    name += KHex[FBytes[i] >> 4];
    name += '.';
  }
  return name + "ip6.arpa";
}

size_t qHash(const TNetAddress& address, size_t seed) {
  return qHashMulti(seed, quint8(address.Family()), address.ScopeId(),
                    qHashBits(address.Bytes().data(), address.Bytes().size()));
}

QList<TNetAddress> AddressesInUseOrder(const QList<TNetAddress>& addresses, bool preferIPv6) {
  QList<TNetAddress> ordered = addresses;
  std::stable_partition(ordered.begin(), ordered.end(),
                        [&](const TNetAddress& a) { return a.IsIPv6() == preferIPv6; });
  return ordered;
}
