#include "common/DnsWire.h"

#include <QDateTime>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cstring>

#include "common/Common.h"
#include "common/NetAddress.h"

namespace {

constexpr quint16 FlagRd = 0x0100;
constexpr quint16 FlagAd = 0x0020;
constexpr quint16 ClassIn = 1;
constexpr quint16 EdnsUdpSize = 1232;
constexpr quint32 EdnsDo = 0x8000;
constexpr int MaxNameBytes = 255;
constexpr int MaxQueryName = 253;

struct TTypeName {
  quint16 Type;
  const char* Name;
};
constexpr TTypeName TypeNames[] = {
    {DnsType::A, "A"},         {DnsType::NS, "NS"},         {DnsType::CNAME, "CNAME"},
    {DnsType::SOA, "SOA"},     {DnsType::PTR, "PTR"},       {DnsType::MX, "MX"},
    {DnsType::TXT, "TXT"},     {DnsType::AAAA, "AAAA"},     {DnsType::SRV, "SRV"},
    {DnsType::OPT, "OPT"},     {DnsType::DS, "DS"},         {DnsType::RRSIG, "RRSIG"},
    {47, "NSEC"},              {DnsType::DNSKEY, "DNSKEY"}, {50, "NSEC3"},
    {51, "NSEC3PARAM"},        {DnsType::SVCB, "SVCB"},     {DnsType::HTTPS, "HTTPS"},
    {DnsType::CAA, "CAA"},
};

constexpr const char* RcodeNames[] = {"NOERROR", "FORMERR", "SERVFAIL", "NXDOMAIN",
                                      "NOTIMP",  "REFUSED", "YXDOMAIN", "YXRRSET",
                                      "NXRRSET", "NOTAUTH", "NOTZONE"};

void PutU16(QByteArray& out, quint16 v) {
  out.append(char(v >> 8));
  out.append(char(v & 0xFF));
}

// "\DDD" for a byte that is no printable ASCII (a blank, too, unless
// quoted); "\c" for one of special.
void AppendEscaped(QByteArray& out, quint8 b, const char* special, bool quoted = false) {
  if (b < 0x20 || b >= 0x7F || (b == 0x20 && !quoted)) {
    out.append('\\');
    out.append(QByteArray::number(b).rightJustified(3, '0'));
  } else {
    if (std::strchr(special, char(b))) out.append('\\');
    out.append(char(b));
  }
}

// Bounds-checked reads over one message; any read past the end makes the
// reader fail for good.
class TWireReader {
 public:
  TWireReader(QByteArrayView wire, qsizetype at, qsizetype end)
      : FWire(wire), FAt(at), FEnd(end) {}

  bool Ok() const { return FOk; }
  bool AtEnd() const { return FAt == FEnd; }
  qsizetype Pos() const { return FAt; }
  qsizetype Left() const { return FEnd - FAt; }

  quint8 U8() { return Take(1) ? quint8(FWire[FAt - 1]) : 0; }
  quint16 U16() { return Take(2) ? quint16(Byte(FAt - 2) << 8 | Byte(FAt - 1)) : 0; }
  quint32 U32() {
    const quint32 high = U16();
    return high << 16 | U16();
  }
  QByteArrayView Bytes(qsizetype n) {
    return Take(n) ? FWire.sliced(FAt - n, n) : QByteArrayView();
  }
  // A name, compressed or not, in presentation form.
  QByteArray Name();
  // A <character-string>: its bytes.
  QByteArrayView CharString() { return Bytes(U8()); }

 private:
  quint8 Byte(qsizetype i) const { return quint8(FWire[i]); }
  bool Take(qsizetype n) {
    if (!FOk || n < 0 || n > FEnd - FAt) return FOk = false;
    FAt += n;
    return true;
  }

  QByteArrayView FWire;
  qsizetype FAt;
  qsizetype FEnd;
  bool FOk = true;
};

// A pointer must point before the label that holds it, so every jump goes
// back and a loop cannot form.
QByteArray TWireReader::Name() {
  QByteArray text;
  qsizetype at = FAt;
  qsizetype resume = -1;
  int wireBytes = 0;
  for (;;) {
    if (at >= FWire.size()) return FOk = false, QByteArray();
    const quint8 length = Byte(at);
    if ((length & 0xC0) == 0xC0) {
      if (at + 1 >= FWire.size()) return FOk = false, QByteArray();
      const qsizetype target = (length & 0x3F) << 8 | Byte(at + 1);
      if (target >= at) return FOk = false, QByteArray();
      if (resume < 0) resume = at + 2;
      at = target;
      continue;
    }
    if (length & 0xC0) return FOk = false, QByteArray();
    wireBytes += length + 1;
    if (wireBytes > MaxNameBytes || at + 1 + length > FWire.size())
      return FOk = false, QByteArray();
    if (length == 0) break;
    for (qsizetype i = at + 1; i <= at + length; ++i) AppendEscaped(text, Byte(i), ".;\\()@$\"");
    text.append('.');
    at += 1 + length;
  }
  const qsizetype after = resume >= 0 ? resume : at + 1;
  if (after > FEnd) return FOk = false, QByteArray();
  FAt = after;
  return text.isEmpty() ? QByteArray(".") : text;
}

// A character-string in quotes, as TXT and CAA values are written.
QByteArray Quoted(QByteArrayView bytes) {
  QByteArray out("\"");
  for (const char c : bytes) AppendEscaped(out, quint8(c), "\"\\", true);
  return out + '"';
}

QByteArray Hex(QByteArrayView bytes) { return bytes.toByteArray().toHex().toUpper(); }
QByteArray Base64(QByteArrayView bytes) { return bytes.toByteArray().toBase64(); }

QByteArray Number(quint32 n) { return QByteArray::number(n); }

QByteArray Joined(std::initializer_list<QByteArray> parts) {
  QByteArray out;
  for (const QByteArray& p : parts) out += (out.isEmpty() ? "" : " ") + p;
  return out;
}

// RRSIG times: YYYYMMDDHHmmSS in UTC.
QByteArray SigTime(quint32 seconds) {
  return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toString(u"yyyyMMddHHmmss").toLatin1();
}

QByteArray Address(QByteArrayView bytes) {
  if (bytes.size() == 4) {
    quint32 v4;
    std::memcpy(&v4, bytes.data(), 4);
    return FormatDottedAddress(v4);
  }
  TNetAddress::TBytes v6;
  std::memcpy(v6.data(), bytes.data(), 16);
  return TNetAddress::FromIPv6(v6).ToLatin1();
}

// A list of addresses of size bytes each (SVCB hints).
QByteArray AddressList(QByteArrayView bytes, qsizetype size) {
  if (bytes.isEmpty() || bytes.size() % size) return {};
  QByteArrayList out;
  for (qsizetype i = 0; i < bytes.size(); i += size) out << Address(bytes.sliced(i, size));
  return out.join(',');
}

// The SVCB key names of RFC 9460.
QByteArray SvcKeyName(quint16 key) {
  static const char* const names[] = {"mandatory", "alpn", "no-default-alpn", "port",
                                      "ipv4hint",  "ech",  "ipv6hint"};
  return key < std::size(names) ? QByteArray(names[key]) : "key" + Number(key);
}

// One SvcParam's value; nothing when it does not have its key's layout.
std::optional<QByteArray> SvcValue(quint16 key, QByteArrayView value) {
  TWireReader r(value, 0, value.size());
  QByteArrayList items;
  switch (key) {
    case 0:
      while (r.Ok() && !r.AtEnd()) items << SvcKeyName(r.U16());
      return r.Ok() && !items.isEmpty() ? std::optional(items.join(',')) : std::nullopt;
    case 1:
      while (r.Ok() && !r.AtEnd()) {
        QByteArray id;
        for (const char c : r.CharString()) AppendEscaped(id, quint8(c), ",\"\\");
        items << id;
      }
      return r.Ok() ? std::optional('"' + items.join(',') + '"') : std::nullopt;
    case 2:
      return value.isEmpty() ? std::optional(QByteArray()) : std::nullopt;
    case 3:
      return value.size() == 2 ? std::optional(Number(r.U16())) : std::nullopt;
    case 4:
    case 6: {
      const QByteArray list = AddressList(value, key == 4 ? 4 : 16);
      return list.isEmpty() ? std::nullopt : std::optional(list);
    }
    case 5:
      return Base64(value);
    default:
      return Quoted(value);
  }
}

QByteArray SvcbData(TWireReader& r) {
  const quint16 priority = r.U16();
  QByteArray out = Number(priority) + ' ' + r.Name();
  while (r.Ok() && !r.AtEnd()) {
    const quint16 key = r.U16();
    const std::optional<QByteArray> value = SvcValue(key, r.Bytes(r.U16()));
    if (!value) return {};
    out += ' ' + SvcKeyName(key) + (value->isEmpty() ? QByteArray() : '=' + *value);
  }
  return out;
}

QByteArray TxtData(TWireReader& r) {
  QByteArrayList strings;
  while (r.Ok() && !r.AtEnd()) strings << Quoted(r.CharString());
  return strings.join(' ');
}

QByteArray SoaData(TWireReader& r) {
  const QByteArray mname = r.Name();
  const QByteArray rname = r.Name();
  QByteArray out = mname + ' ' + rname;
  for (int i = 0; i < 5; ++i) out += ' ' + Number(r.U32());
  return out;
}

QByteArray RrsigData(TWireReader& r) {
  const QByteArray covered = DnsTypeName(r.U16());
  const quint8 algorithm = r.U8();
  const quint8 labels = r.U8();
  const quint32 ttl = r.U32();
  const quint32 expires = r.U32();
  const quint32 incepted = r.U32();
  const quint16 tag = r.U16();
  const QByteArray signer = r.Name();
  return Joined({covered, Number(algorithm), Number(labels), Number(ttl), SigTime(expires),
                 SigTime(incepted), Number(tag), signer, Base64(r.Bytes(r.Left()))});
}

// The presentation of the RDATA at r, by its type; empty when the bytes do
// not have that type's layout (the caller writes them generically then).
QByteArray TypedData(quint16 type, TWireReader& r) {
  switch (type) {
    case DnsType::A:
      return r.Left() == 4 ? Address(r.Bytes(4)) : QByteArray();
    case DnsType::AAAA:
      return r.Left() == 16 ? Address(r.Bytes(16)) : QByteArray();
    case DnsType::NS:
    case DnsType::CNAME:
    case DnsType::PTR:
      return r.Name();
    case DnsType::MX: {
      const quint16 preference = r.U16();
      return Number(preference) + ' ' + r.Name();
    }
    case DnsType::SOA:
      return SoaData(r);
    case DnsType::TXT:
      return TxtData(r);
    case DnsType::SRV: {
      const quint16 priority = r.U16(), weight = r.U16(), port = r.U16();
      return Joined({Number(priority), Number(weight), Number(port), r.Name()});
    }
    case DnsType::CAA: {
      const quint8 flags = r.U8();
      QByteArray tag;
      for (const char c : r.CharString()) AppendEscaped(tag, quint8(c), "\"\\");
      return Joined({Number(flags), tag, Quoted(r.Bytes(r.Left()))});
    }
    case DnsType::DS: {
      const quint16 tag = r.U16();
      const quint8 algorithm = r.U8(), digestType = r.U8();
      return Joined({Number(tag), Number(algorithm), Number(digestType), Hex(r.Bytes(r.Left()))});
    }
    case DnsType::DNSKEY: {
      const quint16 flags = r.U16();
      const quint8 protocol = r.U8(), algorithm = r.U8();
      return Joined(
          {Number(flags), Number(protocol), Number(algorithm), Base64(r.Bytes(r.Left()))});
    }
    case DnsType::RRSIG:
      return RrsigData(r);
    case DnsType::SVCB:
    case DnsType::HTTPS:
      return SvcbData(r);
    default:
      return {};
  }
}

QByteArray GenericData(QByteArrayView rdata) {
  QByteArray out = "\\# " + Number(quint32(rdata.size()));
  if (!rdata.isEmpty()) out += ' ' + Hex(rdata);
  return out;
}

QByteArray RecordData(quint16 type, QByteArrayView wire, qsizetype at, qsizetype length) {
  TWireReader r(wire, at, at + length);
  QByteArray data = TypedData(type, r);
  if (!r.Ok() || !r.AtEnd() || data.isEmpty()) data = GenericData(wire.sliced(at, length));
  return data;
}

struct TSection {
  quint16 Count;
  QList<TDnsRecord>* Kept;  // null: read past, only OPT is looked at
};

}  // namespace

QByteArray DnsTypeName(quint16 type) {
  for (const TTypeName& t : TypeNames)
    if (t.Type == type) return t.Name;
  return "TYPE" + Number(type);
}

quint16 DnsTypeOfName(QStringView name) {
  for (const TTypeName& t : TypeNames)
    if (name.compare(QLatin1StringView(t.Name), Qt::CaseInsensitive) == 0) return t.Type;
  return 0;
}

QByteArray BuildDnsQuery(quint16 id, const QByteArray& name, quint16 type, bool dnssec) {
  QByteArray labels = name.endsWith('.') ? name.chopped(1) : name;
  if (labels.isEmpty() || labels.size() > MaxQueryName) return {};
  QByteArray out;
  PutU16(out, id);
  PutU16(out, FlagRd | FlagAd);
  for (const quint16 count : {1, 0, 0, 1}) PutU16(out, count);
  for (const QByteArray& label : labels.split('.')) {
    const bool plain = std::all_of(label.begin(), label.end(), [](char c) {
      const char lower = char(c | 0x20);
      return IsAsciiDigit(QChar(c)) || (lower >= 'a' && lower <= 'z') || c == '-' || c == '_';
    });
    if (label.isEmpty() || label.size() > 63 || !plain) return {};
    out.append(char(label.size()));
    out.append(label);
  }
  out.append('\0');
  PutU16(out, type);
  PutU16(out, ClassIn);
  out.append('\0');  // OPT: the root name
  PutU16(out, DnsType::OPT);
  PutU16(out, EdnsUdpSize);
  const quint32 ednsFlags = dnssec ? EdnsDo : 0;
  PutU16(out, quint16(ednsFlags >> 16));
  PutU16(out, quint16(ednsFlags));
  PutU16(out, 0);
  return out;
}

std::optional<TDnsMessage> ParseDnsMessage(QByteArrayView wire) {
  TWireReader r(wire, 0, wire.size());
  TDnsMessage message;
  message.Id = r.U16();
  message.Flags = r.U16();
  message.Rcode = message.Flags & 0x0F;
  const quint16 questions = r.U16();
  const TSection sections[] = {
      {r.U16(), &message.Answer}, {r.U16(), &message.Authority}, {r.U16(), nullptr}};
  for (int i = 0; i < questions && r.Ok(); ++i) {
    r.Name();
    r.U32();
  }
  for (const TSection& section : sections) {
    for (int i = 0; i < section.Count && r.Ok(); ++i) {
      TDnsRecord record;
      record.Name = r.Name();
      record.Type = r.U16();
      r.U16();  // the class: IN, or OPT's payload size
      record.Ttl = r.U32();
      const quint16 length = r.U16();
      const qsizetype at = r.Pos();
      r.Bytes(length);
      if (!r.Ok()) break;
      if (record.Type == DnsType::OPT) message.Rcode |= int(record.Ttl >> 24) << 4;
      if (!section.Kept) continue;
      record.Data = RecordData(record.Type, wire, at, length);
      section.Kept->append(record);
    }
  }
  if (!r.Ok()) return std::nullopt;
  return message;
}

QByteArray DnsRcodeName(int rcode) {
  if (rcode >= 0 && rcode < int(std::size(RcodeNames))) return RcodeNames[rcode];
  if (rcode == 16) return "BADVERS";
  if (rcode == 23) return "BADCOOKIE";
  return "RCODE" + Number(quint32(rcode));
}

QByteArray DnsFlagNames(quint16 flags) {
  static const std::pair<quint16, const char*> names[] = {{0x0400, "aa"}, {0x0200, "tc"},
                                                          {0x0100, "rd"}, {0x0080, "ra"},
                                                          {0x0020, "ad"}, {0x0010, "cd"}};
  QByteArrayList set;
  for (const auto& [bit, name] : names)
    if (flags & bit) set << name;
  return set.join(' ');
}

QList<QByteArray> DnsRecordLines(const QList<TDnsRecord>& records) {
  qsizetype nameWidth = 0, ttlWidth = 0, typeWidth = 0;
  for (const TDnsRecord& r : records) {
    nameWidth = std::max(nameWidth, r.Name.size());
    ttlWidth = std::max(ttlWidth, Number(r.Ttl).size());
    typeWidth = std::max(typeWidth, DnsTypeName(r.Type).size());
  }
  QList<QByteArray> lines;
  for (const TDnsRecord& r : records)
    lines << r.Name.leftJustified(nameWidth) + "  " + Number(r.Ttl).rightJustified(ttlWidth) +
                 "  " + DnsTypeName(r.Type).leftJustified(typeWidth) + "  " + r.Data;
  return lines;
}
