// Echo requests, the Internet checksum, the 16-bit clock and the decoding of
// received datagrams, over hand-made bytes.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "common/Common.h"
#include "helper/ProbeWire.h"
#include "workers/IcmpPacket.h"

namespace {

using TBytes = std::vector<quint8>;

constexpr quint16 OurId = 0x1234;
const quint32 Source = inet_addr("192.0.2.9");
const quint32 QuotedDest = inet_addr("198.51.100.7");

// Reads the stored checksum the way it was stored: least significant first.
quint16 StoredChecksum(const TBytes& message) { return quint16(message[2] | (message[3] << 8)); }

// RFC 1071 the textbook way, over big-endian words; the result in network
// byte order must be the stored bytes.
quint16 BigEndianChecksum(const TBytes& bytes) {
  quint32 sum = 0;
  for (size_t i = 0; i < bytes.size(); i += 2)
    sum += (quint32(bytes[i]) << 8) | (i + 1 < bytes.size() ? bytes[i + 1] : 0);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return quint16(~sum);
}

// An IPv4 header of ihl 32-bit words with protocol ICMP, then payload.
TBytes IpDatagram(int ihl, const TBytes& payload, quint8 protocol = 1) {
  TBytes datagram(size_t(ihl) * 4, 0);
  datagram[0] = quint8(0x40 | ihl);
  datagram[8] = 64;
  datagram[9] = protocol;
  std::memcpy(&datagram[12], &Source, 4);
  std::memcpy(&datagram[16], &QuotedDest, 4);
  for (size_t i = IpHeaderSize; i < datagram.size(); ++i) datagram[i] = 0x01;  // NOP options
  datagram.insert(datagram.end(), payload.begin(), payload.end());
  return datagram;
}

// An ICMP header with identifier and sequence least significant byte first.
TBytes IcmpHeader(quint8 type, quint8 code, quint16 id, quint16 seq) {
  return {type, code, 0, 0, quint8(id), quint8(id >> 8), quint8(seq), quint8(seq >> 8)};
}

TBytes Join(TBytes a, const TBytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// An error message whose quote is our echo request cut to quoteIcmpBytes.
TBytes ErrorQuoting(quint8 type, quint16 id, quint16 seq, size_t quoteIcmpBytes,
                    int quotedIhl = 5) {
  TBytes request = Join(IcmpHeader(IcmpEchoRequest, 0, id, seq), TBytes(32, EchoFiller));
  request.resize(quoteIcmpBytes);
  return IpDatagram(5, Join(IcmpHeader(type, 0, 0, 0), IpDatagram(quotedIhl, request)));
}

TIcmpDatagram Decode(const TBytes& bytes) { return DecodeIcmpReply(bytes); }

// --- Checksum -----------------------------------------------------------------

struct TChecksumCase {
  const char* Name;
  TBytes Bytes;
  quint16 Expected;
};

TEST(IcmpChecksumTest, KnownValues) {
  const TChecksumCase cases[] = {
      {"eight zero bytes", TBytes(8, 0), 0xFFFF},
      {"echo header, identifier 0x1234", {0x08, 0, 0, 0, 0x34, 0x12, 0, 0}, 0xEDC3},
      {"RFC 1071 example", {0x00, 0x01, 0xF2, 0x03, 0xF4, 0xF5, 0xF6, 0xF7}, 0x0D22},
      {"carries folded twice", {0xFF, 0xFF, 0xFF, 0xFF}, 0x0000},
      {"odd byte is the low half", {0x01}, 0xFFFE},
      {"odd length, last byte counted", {0x00, 0x00, 0x80}, 0xFF7F},
      {"nothing", {}, 0xFFFF},
  };
  for (const TChecksumCase& c : cases)
    EXPECT_EQ(IcmpChecksum(c.Bytes.data(), qint32(c.Bytes.size())), c.Expected) << c.Name;
  const quint8 byte = 0x55;
  EXPECT_EQ(IcmpChecksum(&byte, -1), 0xFFFF);  // a negative length reads nothing
}

// --- Clock ----------------------------------------------------------------------

TEST(Tick16Test, ElapsedAcrossTheWrap) {
  struct TCase {
    quint16 Start, Now;
    int Expected;
  };
  const TCase cases[] = {
      {65530, 10, 16}, {0, 0, 0}, {100, 250, 150}, {65535, 0, 1}, {10, 65530, 65520}, {1, 0, 65535},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(ElapsedTick16(c.Start, c.Now), c.Expected) << c.Start << " -> " << c.Now;
}

// --- Building -------------------------------------------------------------------

TEST(BuildEchoRequestTest, ExactBytes) {
  TBytes request(EchoRequestSize(16), 0);
  ASSERT_TRUE(BuildEchoRequest(request, 16, 0x30102, OurId, 0xA1B2C3D4));  // low 16 bits
  TBytes expected = {0x08, 0x00, 0x00, 0x00, 0x34, 0x12, 0x02, 0x01, 0xD4, 0xC3, 0xB2, 0xA1};
  expected.resize(24, 0xAA);
  TBytes withoutChecksum = request;
  withoutChecksum[2] = withoutChecksum[3] = 0;
  EXPECT_EQ(withoutChecksum, expected);
  EXPECT_EQ(StoredChecksum(request), IcmpChecksum(expected.data(), qint32(expected.size())));
  EXPECT_EQ(ReceiveBufferSize(16), 136);  // room for a quote, more than 16 + 28
  EXPECT_EQ(ReceiveBufferSize(4096), 4124);
}

TEST(BuildEchoRequestTest, ChecksumVerifiesForEveryLength) {
  // Odd and even lengths, the smallest, the workers' sizes and the largest.
  for (int dataSize : {4, 5, 16, 17, 32, 33, 255, 4096}) {
    TBytes request(EchoRequestSize(dataSize), 0x5A);
    ASSERT_TRUE(BuildEchoRequest(request, dataSize, quint32(dataSize), OurId, 0xFFFFFFFF));
    EXPECT_EQ(IcmpChecksum(request.data(), qint32(request.size())), 0) << dataSize;
    TBytes zeroed = request;
    zeroed[2] = zeroed[3] = 0;
    const quint16 wire = quint16((request[2] << 8) | request[3]);
    EXPECT_EQ(wire, BigEndianChecksum(zeroed)) << dataSize;
  }
}

TEST(BuildEchoRequestTest, RebuildInPlaceKeepsOnlyTheNewRequest) {
  TBytes request(EchoRequestSize(20), 0);
  ASSERT_TRUE(BuildEchoRequest(request, 20, 1, OurId, 111));
  std::fill(request.begin() + 12, request.end(), 0x00);
  ASSERT_TRUE(BuildEchoRequest(request, 20, 2, OurId, 222));
  EXPECT_EQ(TBytes(request.begin() + 12, request.end()), TBytes(16, 0xAA));
  EXPECT_EQ(request[6], 2);
  EXPECT_EQ(IcmpChecksum(request.data(), qint32(request.size())), 0);
}

TEST(BuildEchoRequestTest, RefusesWhatDoesNotFit) {
  TBytes small(EchoRequestSize(16) - 1, 0x77);
  EXPECT_FALSE(BuildEchoRequest(small, 16, 0, OurId, 0));
  EXPECT_EQ(small, TBytes(small.size(), 0x77));
  TBytes request(EchoRequestSize(3), 0x77);
  EXPECT_FALSE(BuildEchoRequest(request, 3, 0, OurId, 0));  // no room for the send time
  EXPECT_FALSE(BuildEchoRequest(request, -1, 0, OurId, 0));
}

TEST(BuildEchoRequestTest, DefaultsToTheProcessIdentifier) {
  TBytes request(EchoRequestSize(8), 0);
  ASSERT_TRUE(BuildEchoRequest(request, 8, 3));
  EXPECT_EQ(EchoIdentifier(), quint16(::getpid()));
  EXPECT_EQ(quint16(request[4] | (request[5] << 8)), EchoIdentifier());
}

// --- Decoding -------------------------------------------------------------------

TEST(DecodeIcmpReplyTest, EchoReplyReadsBackWhatWasSent) {
  TBytes request(EchoRequestSize(32), 0);
  ASSERT_TRUE(BuildEchoRequest(request, 32, 513, OurId, 0));
  request[0] = IcmpEchoReply;  // what the target sends back
  const TIcmpDatagram d = Decode(IpDatagram(5, request));
  EXPECT_TRUE(d.FValid);
  EXPECT_EQ(d.FIpHeaderLength, 20);
  EXPECT_EQ(d.FSourceAddr, Source);
  EXPECT_EQ(d.FType, IcmpEchoReply);
  EXPECT_EQ(d.FIdentifier, OurId);
  EXPECT_EQ(d.FSequence, 513);
  EXPECT_EQ(d.FQuote, TQuote::None);
  EXPECT_TRUE(IsEchoReplyFor(d, OurId));
}

TEST(DecodeIcmpReplyTest, IpOptionsAreSkipped) {
  for (int ihl : {6, 15}) {
    const TIcmpDatagram d = Decode(IpDatagram(ihl, IcmpHeader(IcmpEchoReply, 0, OurId, 9)));
    EXPECT_TRUE(d.FValid) << ihl;
    EXPECT_EQ(d.FIpHeaderLength, ihl * 4);
    EXPECT_EQ(d.FSequence, 9) << ihl;
    EXPECT_TRUE(IsEchoReplyFor(d, OurId)) << ihl;
  }
}

TEST(DecodeIcmpReplyTest, InvalidDatagrams) {
  const TBytes reply = IpDatagram(5, IcmpHeader(IcmpEchoReply, 0, OurId, 1));
  TBytes version6 = reply;
  version6[0] = 0x65;
  TBytes headerTooShort = reply;
  headerTooShort[0] = 0x44;
  TBytes headerBeyondBytes = reply;
  headerBeyondBytes[0] = 0x4F;  // a 60-byte header in 28 bytes
  const struct {
    const char* Name;
    TBytes Bytes;
  } cases[] = {
      {"empty", {}},
      {"one byte", {0x45}},
      {"IP header cut", TBytes(reply.begin(), reply.begin() + 19)},
      {"no ICMP header", TBytes(reply.begin(), reply.begin() + 20)},
      {"ICMP header cut", TBytes(reply.begin(), reply.end() - 1)},
      {"options, ICMP header cut", IpDatagram(6, TBytes(7, 0))},
      {"header length beyond the bytes", headerBeyondBytes},
      {"IPv6 version", version6},
      {"header length below 20", headerTooShort},
      {"not ICMP", IpDatagram(5, IcmpHeader(0, 0, OurId, 1), 17)},
  };
  for (const auto& c : cases) {
    const TIcmpDatagram d = Decode(c.Bytes);
    EXPECT_FALSE(d.FValid) << c.Name;
    EXPECT_FALSE(IsEchoReplyFor(d, OurId)) << c.Name;
  }
  EXPECT_TRUE(Decode(reply).FValid);
}

TEST(DecodeIcmpReplyTest, ForeignAndLateEchoReplies) {
  const TIcmpDatagram foreign = Decode(IpDatagram(5, IcmpHeader(IcmpEchoReply, 0, 0x3412, 4)));
  EXPECT_TRUE(foreign.FValid);
  EXPECT_FALSE(IsEchoReplyFor(foreign, OurId));  // byte-swapped identifier is not ours
  // A late reply is ours with an older sequence; the byte order of the
  // sequence decides which is older.
  const TIcmpDatagram late = Decode(IpDatagram(5, IcmpHeader(IcmpEchoReply, 0, OurId, 0x00FF)));
  EXPECT_TRUE(IsEchoReplyFor(late, OurId));
  EXPECT_LT(late.FSequence, 0x0100);
  const TIcmpDatagram request = Decode(IpDatagram(5, IcmpHeader(IcmpEchoRequest, 0, OurId, 1)));
  EXPECT_FALSE(IsEchoReplyFor(request, OurId));
}

TEST(DecodeIcmpReplyTest, ErrorsQuotingOurRequest) {
  for (quint8 type : {IcmpTimeExceeded, IcmpDestUnreachable}) {
    for (int quotedIhl : {5, 7}) {
      const TIcmpDatagram d = Decode(ErrorQuoting(type, OurId, 3, 8, quotedIhl));
      ASSERT_TRUE(d.FValid);
      EXPECT_EQ(d.FType, type);
      EXPECT_EQ(d.FQuote, TQuote::EchoRequest) << int(type) << "/" << quotedIhl;
      EXPECT_EQ(d.FQuotedDestAddr, QuotedDest);
      EXPECT_TRUE(QuotesEchoRequest(d, OurId, 3));
      EXPECT_FALSE(QuotesEchoRequest(d, OurId, 2));       // a late error of an earlier request
      EXPECT_FALSE(QuotesEchoRequest(d, 0x3412, 3));      // another program's request
      EXPECT_TRUE(QuotesEchoRequest(d, OurId, 0x10003));  // low 16 bits compared
    }
  }
  // Routers often quote much more than 8 bytes.
  EXPECT_TRUE(QuotesEchoRequest(Decode(ErrorQuoting(IcmpTimeExceeded, OurId, 3, 40)), OurId, 3));
}

TEST(DecodeIcmpReplyTest, QuotesTooShortToTell) {
  // 7 bytes of the quoted ICMP header: the sequence is not all there.
  const TIcmpDatagram cut = Decode(ErrorQuoting(IcmpTimeExceeded, OurId, 3, 7));
  EXPECT_TRUE(cut.FValid);
  EXPECT_EQ(cut.FQuote, TQuote::TooShort);
  EXPECT_FALSE(QuotesEchoRequest(cut, OurId, 3));
  // The quoted header's options push the ICMP header out of the quote.
  TBytes options = ErrorQuoting(IcmpDestUnreachable, OurId, 3, 8);
  options[28] = 0x46;
  EXPECT_EQ(Decode(options).FQuote, TQuote::TooShort);
  // The quoted IP header itself is cut.
  TBytes headerCut = ErrorQuoting(IcmpTimeExceeded, OurId, 3, 8);
  headerCut.resize(28 + 19);
  EXPECT_EQ(Decode(headerCut).FQuote, TQuote::TooShort);
  headerCut.resize(28);
  EXPECT_EQ(Decode(headerCut).FQuote, TQuote::TooShort);
}

TEST(DecodeIcmpReplyTest, QuotesOfOtherPackets) {
  const TBytes udp = IpDatagram(5, TBytes(8, 0x11), 17);
  const TIcmpDatagram d =
      Decode(IpDatagram(5, Join(IcmpHeader(IcmpDestUnreachable, 3, 0, 0), udp)));
  EXPECT_EQ(d.FQuote, TQuote::OtherPacket);
  EXPECT_FALSE(QuotesEchoRequest(d, OurId, 0));
  // Somebody's echo reply that hit a closed door is no request of ours.
  const TBytes reply = IpDatagram(5, IcmpHeader(IcmpEchoReply, 0, OurId, 3));
  const TIcmpDatagram r = Decode(IpDatagram(5, Join(IcmpHeader(IcmpTimeExceeded, 0, 0, 0), reply)));
  EXPECT_EQ(r.FQuote, TQuote::OtherPacket);
  EXPECT_FALSE(QuotesEchoRequest(r, OurId, 3));
}

// What the raw-socket helper passes on to the window: echo replies of its
// identifier, and error messages quoting one of its requests, whole; the
// sequence comes along to time the answer. (The ICMPv6 rows stand beside
// the ICMPv6 judges.)
TEST(ProbeWireTest, TheHelperPassesOnlyAnswersToItsOwnRequests) {
  TBytes laterFragment = ErrorQuoting(IcmpTimeExceeded, OurId, 3, 8);
  laterFragment[28 + 6] = 0x01;  // quoted fragment offset 256 * 8
  const struct {
    const char* Name;
    TBytes Bytes;
    TWireKind Kind;
  } cases[] = {
      {"our reply", IpDatagram(5, IcmpHeader(IcmpEchoReply, 0, OurId, 3)), TWireKind::EchoReply},
      {"our reply, IP options", IpDatagram(15, IcmpHeader(IcmpEchoReply, 0, OurId, 3)),
       TWireKind::EchoReply},
      {"another's reply", IpDatagram(5, IcmpHeader(IcmpEchoReply, 0, 0x3412, 3)), TWireKind::Other},
      {"our own request", IpDatagram(5, IcmpHeader(IcmpEchoRequest, 0, OurId, 3)), TWireKind::Other},
      {"time exceeded", ErrorQuoting(IcmpTimeExceeded, OurId, 3, 8, 7), TWireKind::Error},
      {"unreachable, long quote", ErrorQuoting(IcmpDestUnreachable, OurId, 3, 40), TWireKind::Error},
      {"parameter problem", ErrorQuoting(12, OurId, 3, 8), TWireKind::Error},
      {"redirect", ErrorQuoting(5, OurId, 3, 8), TWireKind::Other},
      {"another's request quoted", ErrorQuoting(IcmpTimeExceeded, 0x3412, 3, 8), TWireKind::Other},
      {"quote too short to tell", ErrorQuoting(IcmpTimeExceeded, OurId, 3, 7), TWireKind::Other},
      {"a later fragment quoted", laterFragment, TWireKind::Other},
      {"UDP quoted", IpDatagram(5, Join(IcmpHeader(3, 3, 0, 0), IpDatagram(5, TBytes(8, 0), 17))),
       TWireKind::Other},
      {"not ICMP", IpDatagram(5, IcmpHeader(0, 0, OurId, 3), 17), TWireKind::Other},
      {"cut", {0x45, 0, 0}, TWireKind::Other},
  };
  for (const auto& c : cases) {
    const TWireEcho echo = WireReadEcho(c.Bytes, false, OurId);
    EXPECT_EQ(echo.Kind, c.Kind) << c.Name;
    if (c.Kind != TWireKind::Other) {
      EXPECT_EQ(echo.Sequence, 3) << c.Name;
    }
  }
}

// The destinations the helper sends to: one host, never a group.
TEST(ProbeWireTest, OnlyUnicastDestinations) {
  const struct {
    const char* Address;
    bool Unicast;
  } cases[] = {
      {"192.0.2.1", true},  {"127.0.0.1", true},     {"223.255.255.254", true},
      {"0.0.0.0", false},   {"255.255.255.255", false}, {"224.0.0.1", false},
      {"239.1.2.3", false}, {"240.0.0.1", false},    {"2001:db8::1", true},
      {"::1", true},        {"fe80::1", true},       {"::", false},
      {"ff02::1", false},   {"ff05::2", false},
  };
  for (const auto& c : cases) {
    quint8 bytes[16];
    const bool v6 = std::strchr(c.Address, ':') != nullptr;
    ASSERT_EQ(::inet_pton(v6 ? AF_INET6 : AF_INET, c.Address, bytes), 1);
    EXPECT_EQ(WireIsUnicast({bytes, v6 ? 16u : 4u}), c.Unicast) << c.Address;
  }
  // An IPv6 socket is not to reach IPv4 hosts round its own checks.
  quint8 mapped[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 127, 0, 0, 1};
  EXPECT_FALSE(WireIsUnicast(mapped));
}

}  // namespace
