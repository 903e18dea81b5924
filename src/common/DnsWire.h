#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <optional>

// DNS messages on the wire (RFC 1035, EDNS of RFC 6891): the query NS Lookup
// sends, and every answer it reads, whatever carried it (UDP, TCP, TLS or
// HTTPS). Records come out in the presentation form dig writes. Every text
// an answer carries comes out as printable ASCII: any other byte of a name
// or a string is written \DDD, so nothing from the network can reach the
// pane, the log or a saved file as a control character.

namespace DnsType {
inline constexpr quint16 A = 1, NS = 2, CNAME = 5, SOA = 6, PTR = 12, MX = 15, TXT = 16,
                         AAAA = 28, SRV = 33, OPT = 41, DS = 43, RRSIG = 46, DNSKEY = 48,
                         SVCB = 64, HTTPS = 65, CAA = 257;
}

// The mnemonic of a type ("MX"), or "TYPE" + its number.
QByteArray DnsTypeName(quint16 type);
// The type a mnemonic names (any letter case); 0 for none.
quint16 DnsTypeOfName(QStringView name);

struct TDnsRecord {
  QByteArray Name;  // absolute, with its final dot
  quint16 Type = 0;
  quint32 Ttl = 0;
  QByteArray Data;  // the RDATA's presentation form
};

struct TDnsMessage {
  quint16 Id = 0;
  quint16 Flags = 0;  // the header's second word
  int Rcode = 0;      // with the upper bits an OPT record carries
  QList<TDnsRecord> Answer;
  QList<TDnsRecord> Authority;

  bool Truncated() const { return Flags & 0x0200; }
};

// The message of one question for name (ASCII: letters, digits, "-", "_",
// labels of at most 63, at most 253 in all; one final dot allowed) with RD
// and AD set, as dig asks, and an OPT record offering 1232 bytes, with the
// DO bit when dnssec. Empty when the name cannot be asked.
QByteArray BuildDnsQuery(quint16 id, const QByteArray& name, quint16 type, bool dnssec);

// An answer read whole: nothing when its header, question or any record
// runs past the end or a name is malformed (a compression pointer that does
// not point back, a label type other than 0, more than 255 bytes). RDATA
// that does not have its type's layout is shown in the generic form
// ("\# length hex", RFC 3597).
std::optional<TDnsMessage> ParseDnsMessage(QByteArrayView wire);

// "NOERROR", "NXDOMAIN", ... or "RCODE" + number.
QByteArray DnsRcodeName(int rcode);
// "aa tc rd ra ad cd": the flags set, in that order.
QByteArray DnsFlagNames(quint16 flags);

// The records as lines of columns (name, TTL, type, data), each column as
// wide as its widest entry, for a fixed-pitch font.
QList<QByteArray> DnsRecordLines(const QList<TDnsRecord>& records);
