#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>
#include <array>
#include <compare>
#include <cstddef>
#include <optional>

enum class TAddressFamily : quint8 { None, IPv4, IPv6 };

// One IPv4 or IPv6 address with its scope id, from the fields to the
// sockets. A plain value: copied, compared and used as a map key freely.
// An IPv4-mapped IPv6 address (::ffff:a.b.c.d) is kept as IPv4, so one host
// never has two spellings.
class TNetAddress {
 public:
  using TBytes = std::array<quint8, 16>;
  // Resolves a zone that is not a number (an interface name) to a scope id.
  using TZoneLookup = std::optional<quint32> (*)(QStringView zone);

  TNetAddress() = default;
  static TNetAddress FromIPv4(quint32 addrNetOrder);
  static TNetAddress FromIPv6(const TBytes& bytes, quint32 scopeId = 0);

  // A dotted address as ParseDottedAddress takes it, or IPv6 text as RFC 4291
  // writes it (also with a dotted IPv4 tail), bare or in brackets, with an
  // optional "%zone": a decimal zone is the scope id, any other goes to
  // zoneLookup (refused without one). Nothing may precede or follow.
  static std::optional<TNetAddress> Parse(QStringView text, TZoneLookup zoneLookup = nullptr);

  TAddressFamily Family() const { return FFamily; }
  bool IsIPv4() const { return FFamily == TAddressFamily::IPv4; }
  bool IsIPv6() const { return FFamily == TAddressFamily::IPv6; }
  bool IsNull() const { return FFamily == TAddressFamily::None; }
  // The IPv4 address in network byte order; 0 unless IsIPv4().
  quint32 IPv4NetOrder() const;
  // The 16 bytes in network order; an IPv4 address in its mapped form.
  const TBytes& Bytes() const { return FBytes; }
  quint32 ScopeId() const { return FScopeId; }

  // "a.b.c.d" as FormatDottedAddress writes it, or IPv6 as RFC 5952 does,
  // with "%scope" when there is one; empty for the null address.
  QByteArray ToLatin1() const;
  QString ToString() const { return QString::fromLatin1(ToLatin1()); }
  // The name a reverse lookup asks for: "d.c.b.a.in-addr.arpa" or the 32
  // nibbles under "ip6.arpa"; empty for the null address.
  QByteArray ReverseName() const;

  friend bool operator==(const TNetAddress&, const TNetAddress&) = default;
  friend auto operator<=>(const TNetAddress&, const TNetAddress&) = default;

 private:
  TAddressFamily FFamily = TAddressFamily::None;
  TBytes FBytes{};
  quint32 FScopeId = 0;
};

size_t qHash(const TNetAddress& address, size_t seed = 0);

// A host's addresses in the order a tool tries them: IPv4 first, or IPv6
// first when preferIPv6, each family in its given order.
QList<TNetAddress> AddressesInUseOrder(const QList<TNetAddress>& addresses, bool preferIPv6);
