#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <unistd.h>

#include <set>

#include "common/NetAddress.h"
#include "platform/SockAddr.h"

namespace {

TNetAddress Must(const char* text) {
  const auto address = TNetAddress::Parse(QString::fromUtf8(text));
  EXPECT_TRUE(address) << text;
  return address.value_or(TNetAddress());
}

// Whatever the spelling, the text written back is the one RFC 5952 asks for
// (its own examples first); mapped addresses are IPv4.
TEST(NetAddress, ParsesEverySpellingAndWritesTheCanonicalText) {
  const struct {
    const char* Input;
    const char* Text;
    TAddressFamily Family;
  } cases[] = {
      {"2001:db8:0:0:1:0:0:1", "2001:db8::1:0:0:1", TAddressFamily::IPv6},
      {"2001:0db8:0:0:0:0:2:1", "2001:db8::2:1", TAddressFamily::IPv6},
      {"2001:db8::0:1", "2001:db8::1", TAddressFamily::IPv6},
      {"2001:db8:0:1:1:1:1:1", "2001:db8:0:1:1:1:1:1", TAddressFamily::IPv6},
      {"2001:0:0:1:0:0:0:1", "2001:0:0:1::1", TAddressFamily::IPv6},
      {"2001:DB8:AAAA:bbbb:cccc:dddd:eeee:0AAA", "2001:db8:aaaa:bbbb:cccc:dddd:eeee:aaa",
       TAddressFamily::IPv6},
      {"0:0:0:0:0:0:0:0", "::", TAddressFamily::IPv6},
      {"::1", "::1", TAddressFamily::IPv6},
      {"1::", "1::", TAddressFamily::IPv6},
      {"1:2:3:4:5:6:7::", "1:2:3:4:5:6:7:0", TAddressFamily::IPv6},
      {"::2:3:4:5:6:7:8", "0:2:3:4:5:6:7:8", TAddressFamily::IPv6},
      {"::192.0.2.1", "::c000:201", TAddressFamily::IPv6},
      {"64:ff9b::198.51.100.7", "64:ff9b::c633:6407", TAddressFamily::IPv6},
      {"[2001:db8::1]", "2001:db8::1", TAddressFamily::IPv6},
      {"fe80::1%2", "fe80::1%2", TAddressFamily::IPv6},
      {"[fe80::1%4294967295]", "fe80::1%4294967295", TAddressFamily::IPv6},
      {"fe80::1%0", "fe80::1", TAddressFamily::IPv6},
      {"::ffff:192.0.2.1", "192.0.2.1", TAddressFamily::IPv4},
      {"[::FFFF:c000:0201%3]", "192.0.2.1", TAddressFamily::IPv4},
      {"192.0.2.1", "192.0.2.1", TAddressFamily::IPv4},
      {"127.1", "127.0.0.1", TAddressFamily::IPv4},
      {"0x7f.1", "127.0.0.1", TAddressFamily::IPv4},
  };
  for (const auto& c : cases) {
    const TNetAddress address = Must(c.Input);
    EXPECT_EQ(address.Family(), c.Family) << c.Input;
    EXPECT_EQ(address.ToString(), QString::fromUtf8(c.Text)) << c.Input;
    EXPECT_EQ(TNetAddress::Parse(address.ToString()), address) << c.Input;
  }
}

// Nothing may precede or follow the address, and every group rule holds.
TEST(NetAddress, RefusesMalformedText) {
  const struct {
    const char* Rule;
    std::initializer_list<const char16_t*> Inputs;
  } cases[] = {
      {"nothing around it", {u"", u"::1 ", u" ::1", u"::1\n", u"192.0.2 .1", u"host.test"}},
      {"brackets", {u"[::1", u"::1]", u"[::1]:80", u"[]", u"[192.0.2.1]", u"[fe80::1]%1"}},
      {"group count", {u"1:2:3:4:5:6:7", u"1:2:3:4:5:6:7:8:9", u"1:2:3:4:5:6:7:8::"}},
      {"empty groups", {u"1::2::3", u":::", u"1:::2", u":1::", u"1::2:"}},
      {"hex digits", {u"12345::", u"::g", u"１::"}},
      {"IPv4 tail",
       {u"::1.2.3", u"::1.2.3.256", u"::01.2.3.4", u"::0x1.2.3.4", u"1.2.3.4::", u"::1.2.3.4:5",
        u"1:2:3:4:5:6:7:1.2.3.4"}},
      {"zone",
       {u"fe80::1%", u"fe80::1%eth0", u"fe80::1%1 ", u"fe80::1%4294967296", u"192.0.2.1%1"}},
  };
  for (const auto& c : cases)
    for (const char16_t* input : c.Inputs)
      EXPECT_FALSE(TNetAddress::Parse(QString::fromUtf16(input)))
          << c.Rule << ": " << QString::fromUtf16(input).toStdString();
}

// A zone that is not a number goes to the lookup, unless it has a blank.
TEST(NetAddress, NamedZonesGoToTheLookup) {
  const auto lookup = [](QStringView zone) -> std::optional<quint32> {
    if (zone == u"eth9") return 9;
    return std::nullopt;
  };
  EXPECT_EQ(TNetAddress::Parse(u"fe80::1%eth9", lookup)->ScopeId(), 9u);
  EXPECT_EQ(TNetAddress::Parse(u"fe80::1%7", lookup)->ScopeId(), 7u);
  EXPECT_FALSE(TNetAddress::Parse(u"fe80::1%eth8", lookup));
  EXPECT_FALSE(TNetAddress::Parse(u"fe80::1%eth 9", lookup));

  const auto loopback = InterfaceScopeId(u"lo");
  ASSERT_TRUE(loopback);
  EXPECT_EQ(ParseHostAddress(u"[fe80::1%lo]")->ScopeId(), *loopback);
  EXPECT_FALSE(ParseHostAddress(u"fe80::1%no-such-if"));
}

// One host has one value: mapped and plain IPv4 are equal, scopes tell
// link-local addresses apart, and every address is a distinct map key.
TEST(NetAddress, EqualityAndOrderFollowTheHost) {
  EXPECT_EQ(Must("::ffff:192.0.2.1"), TNetAddress::FromIPv4(inet_addr("192.0.2.1")));
  EXPECT_EQ(Must("::ffff:192.0.2.1").IPv4NetOrder(), inet_addr("192.0.2.1"));
  EXPECT_EQ(Must("::1").IPv4NetOrder(), 0u);
  EXPECT_TRUE(TNetAddress().IsNull());
  EXPECT_EQ(TNetAddress().ToString(), QString());
  const char* distinct[] = {"192.0.2.1", "192.0.2.2", "::192.0.2.1", "::ffff:0:c000:201",
                            "fe80::1",   "fe80::1%1", "fe80::1%2"};
  std::set<TNetAddress> keys;
  for (const char* text : distinct) keys.insert(Must(text));
  keys.insert(TNetAddress());
  EXPECT_EQ(keys.size(), std::size(distinct) + 1);
  EXPECT_NE(qHash(Must("fe80::1%1")), qHash(Must("fe80::1%2")));
}

TEST(NetAddress, ReverseNameOfEachFamily) {
  const struct {
    const char* Input;
    const char* Name;
  } cases[] = {
      {"192.0.2.1", "1.2.0.192.in-addr.arpa"},
      {"::ffff:198.51.100.7", "7.100.51.198.in-addr.arpa"},
      {"4321:0:1:2:3:4:567:89ab",
       "b.a.9.8.7.6.5.0.4.0.0.0.3.0.0.0.2.0.0.0.1.0.0.0.0.0.0.0.1.2.3.4.ip6.arpa"},
      {"fe80::1%3", "1.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.8.e.f.ip6.arpa"},
  };
  for (const auto& c : cases) EXPECT_EQ(Must(c.Input).ReverseName(), c.Name) << c.Input;
  EXPECT_EQ(TNetAddress().ReverseName(), QByteArray());
}

// Each address comes back from its socket address as it went in; a mapped
// sockaddr_in6 reads as IPv4; a short or foreign one reads as nothing.
TEST(SockAddr, RoundTripsThroughSocketAddresses) {
  const struct {
    const char* Input;
    int Family;
    socklen_t Length;
  } cases[] = {
      {"192.0.2.1", AF_INET, sizeof(sockaddr_in)},
      {"2001:db8::1", AF_INET6, sizeof(sockaddr_in6)},
      {"fe80::1%5", AF_INET6, sizeof(sockaddr_in6)},
  };
  for (const auto& c : cases) {
    const TSockAddr sa = ToSockAddr(Must(c.Input), 8080);
    EXPECT_EQ(sa.Family(), c.Family) << c.Input;
    EXPECT_EQ(sa.Length, c.Length) << c.Input;
    const auto back = FromSockAddr(sa.Get(), sa.Length);
    ASSERT_TRUE(back) << c.Input;
    EXPECT_EQ(back->Address, Must(c.Input));
    EXPECT_EQ(back->Port, 8080);
    EXPECT_FALSE(FromSockAddr(sa.Get(), sa.Length - 1)) << c.Input;
  }
  sockaddr_in6 mapped{};
  mapped.sin6_family = AF_INET6;
  mapped.sin6_port = htons(79);
  inet_pton(AF_INET6, "::ffff:192.0.2.9", &mapped.sin6_addr);
  const auto back = FromSockAddr(reinterpret_cast<sockaddr*>(&mapped), sizeof mapped);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->Address.ToString(), QStringLiteral("192.0.2.9"));
  EXPECT_EQ(back->Port, 79);
  EXPECT_EQ(ToSockAddr(TNetAddress(), 80).Length, 0u);
}

// The kernel takes what ToSockAddr writes and gives back what FromSockAddr
// reads: a datagram socket bound on each loopback address.
TEST(SockAddr, LoopbackSocketsBindToTheConvertedAddress) {
  for (const char* text : {"127.0.0.1", "::1"}) {
    const TNetAddress address = Must(text);
    const TSockAddr sa = ToSockAddr(address, 0);
    const int fd = ::socket(SocketFamily(address), SOCK_DGRAM, 0);
    ASSERT_GE(fd, 0) << text;
    ASSERT_EQ(::bind(fd, sa.Get(), sa.Length), 0) << text << ": " << strerror(errno);
    TSockAddr bound;
    bound.Length = sizeof bound.Storage;
    ASSERT_EQ(::getsockname(fd, bound.Get(), &bound.Length), 0);
    ::close(fd);
    const auto back = FromSockAddr(bound.Get(), bound.Length);
    ASSERT_TRUE(back) << text;
    EXPECT_EQ(back->Address, address);
    EXPECT_NE(back->Port, 0);
  }
}

}  // namespace
