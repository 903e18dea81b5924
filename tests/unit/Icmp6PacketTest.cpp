// ICMPv6 messages as the judges see them, the echo service's statuses for
// them, and the IPv6 report columns, over hand-made bytes.
#include <gtest/gtest.h>

#include <vector>

#include "common/SjisText.h"
#include "helper/ProbeWire.h"
#include "platform/IcmpService.h"
#include "workers/IcmpCommon.h"

namespace {

using TBytes = std::vector<quint8>;

// An ICMPv6 message, bytes 4..7 as word, then an IPv6 header with this next
// header and these extension headers quoting our request with this sequence
// (cut to quoteBytes).
TBytes Message(quint8 type, quint8 code, quint32 word, quint16 sequence, quint8 next = 58,
               size_t quoteBytes = 80, const TBytes& extensions = {}) {
  TBytes m{type,        code, 0, 0, quint8(word >> 24), quint8(word >> 16), quint8(word >> 8),
           quint8(word)};
  TBytes quote(Ip6HeaderSize, 0), request(size_t(EchoRequestSize(32)));
  quote[0] = 0x60;
  quote[6] = next;
  EXPECT_TRUE(BuildEcho6Request(request, 32, sequence));
  quote.insert(quote.end(), extensions.begin(), extensions.end());
  quote.insert(quote.end(), request.begin(), request.end());
  m.insert(m.end(), quote.begin(), quote.begin() + qMin(quoteBytes, quote.size()));
  return m;
}

TBytes Reply(quint16 id, quint16 sequence) {
  return {Icmp6EchoReply,       0, 0, 0, quint8(id), quint8(id >> 8), quint8(sequence),
          quint8(sequence >> 8)};
}

// Extension headers a quote may carry: a Fragment header (offset in 8-byte
// units) and an 8-byte hop-by-hop header, each naming the next.
TBytes Fragment(quint8 next, quint16 offset) {
  return {next, 0, quint8(offset >> 5), quint8((offset << 3) | 1), 0, 0, 0, 7};
}
TBytes HopByHop(quint8 next) { return {next, 0, 1, 4, 0, 0, 0, 0}; }
TBytes Join(TBytes a, const TBytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Which message ends the wait for request 5, and how, for Ping and
// TraceRoute; and whether the helper, which sent requests 0..9, passes it on.
TEST(Icmp6Judges, WhichMessageEndsTheWait) {
  const quint16 id = EchoIdentifier();
  const struct {
    const char* Name;
    TBytes Bytes;
    TEchoVerdict Ping, Trace;
    bool Passed;
  } cases[] = {
      {"our reply", Reply(id, 5), TEchoVerdict::EchoReply, TEchoVerdict::EchoReply, true},
      {"an earlier reply", Reply(id, 4), TEchoVerdict::KeepWaiting, TEchoVerdict::KeepWaiting,
       true},
      {"a later reply", Reply(id, 6), TEchoVerdict::LaterRequest, TEchoVerdict::LaterRequest, true},
      {"another's reply", Reply(id + 1, 5), TEchoVerdict::KeepWaiting, TEchoVerdict::KeepWaiting,
       false},
      {"unreachable", Message(1, 3, 0, 5), TEchoVerdict::Unreachable, TEchoVerdict::KeepWaiting,
       true},
      {"unreachable, not ours", Message(1, 3, 0, 4), TEchoVerdict::KeepWaiting,
       TEchoVerdict::KeepWaiting, true},
      {"unreachable quoting UDP", Message(1, 4, 0, 5, 17), TEchoVerdict::KeepWaiting,
       TEchoVerdict::KeepWaiting, false},
      {"time exceeded", Message(3, 0, 0, 5), TEchoVerdict::TimeExceeded,
       TEchoVerdict::TimeExceeded, true},
      {"time exceeded, quote cut short", Message(3, 0, 0, 9, 58, 44), TEchoVerdict::TimeExceeded,
       TEchoVerdict::TimeExceeded, false},
      {"time exceeded, first fragment quoted", Message(3, 0, 0, 5, 44, 200, Fragment(58, 0)),
       TEchoVerdict::TimeExceeded, TEchoVerdict::TimeExceeded, true},
      {"unreachable, hop-by-hop and fragment",
       Message(1, 3, 0, 5, 0, 200, Join(HopByHop(44), Fragment(58, 0))),
       TEchoVerdict::Unreachable, TEchoVerdict::KeepWaiting, true},
      {"time exceeded, a later fragment", Message(3, 0, 0, 5, 44, 200, Fragment(58, 185)),
       TEchoVerdict::KeepWaiting, TEchoVerdict::KeepWaiting, false},
      {"packet too big", Message(2, 0, 1280, 5), TEchoVerdict::PacketTooBig,
       TEchoVerdict::PacketTooBig, true},
      {"packet too big, not ours", Message(2, 0, 1280, 3), TEchoVerdict::KeepWaiting,
       TEchoVerdict::KeepWaiting, true},
      {"neighbour solicitation", Message(135, 0, 0, 5), TEchoVerdict::KeepWaiting,
       TEchoVerdict::KeepWaiting, false},
      {"shorter than a header",
       {Icmp6EchoReply, 0, 0},
       TEchoVerdict::Invalid,
       TEchoVerdict::Invalid,
       false},
  };
  for (const auto& c : cases) {
    const TIcmpDatagram d = DecodeIcmp6Reply(c.Bytes);
    EXPECT_EQ(JudgePingDatagram(d, id, 5), c.Ping) << c.Name;
    EXPECT_EQ(JudgeTraceDatagram(d, id, 5), c.Trace) << c.Name;
    EXPECT_EQ(WireReadEcho(c.Bytes, true, id).Kind != TWireKind::Other, c.Passed) << c.Name;
  }
  EXPECT_EQ(DecodeIcmp6Reply(Message(2, 0, 1280, 5)).FMtu, 1280u);
}

// Each ICMPv6 error onto the nearest echo service status, and the line and
// sample kind an IPv6 Ping through the service then gives.
TEST(Icmp6Judges, EchoServiceStatusLineAndSampleOfEachMessage) {
  const QString unreachable = QString::fromUtf16(TextUnreachable);
  const struct {
    quint8 Type, Code;
    quint32 Status;
    QString Line;
    TSampleKind Kind;
  } cases[] = {
      {1, 0, IpDestNetUnreachable, unreachable, TSampleKind::Unreachable},   // no route
      {1, 1, IpDestHostUnreachable, unreachable, TSampleKind::Unreachable},  // prohibited
      {1, 2, IpDestHostUnreachable, unreachable, TSampleKind::Unreachable},  // beyond scope
      {1, 3, IpDestHostUnreachable, unreachable, TSampleKind::Unreachable},  // address
      {1, 4, IpDestPortUnreachable, unreachable, TSampleKind::Unreachable},  // port
      {1, 5, IpDestHostUnreachable, unreachable, TSampleKind::Unreachable},  // source policy
      {1, 6, IpDestNetUnreachable, unreachable, TSampleKind::Unreachable},   // reject route
      {2, 0, IpPacketTooBig, PacketTooBigText(0), TSampleKind::Unreachable},
      {3, 1, IpTtlExpiredReassem, QString::fromUtf16(TextTimeExceeded), TSampleKind::TtlExpired},
      {4, 0, IpParamProblem, QString::fromUtf16(TextInvalidReply), TSampleKind::Error},
      {129, 0, IpSuccess, {}, TSampleKind::Reply},  // no error: not taken for an answer
  };
  for (const auto& c : cases) {
    const int row = int(&c - cases);
    EXPECT_EQ(Icmp6ErrorStatus(c.Type, c.Code), c.Status) << "row " << row;
    const TEchoVerdict verdict = ServicePing6Verdict(1, c.Status);
    const QString line = verdict == TEchoVerdict::PacketTooBig
                             ? PacketTooBigText(0)
                             : QString::fromUtf16(VerdictMessage(verdict));
    EXPECT_EQ(line, c.Line) << "row " << row;
    EXPECT_EQ(ServiceSampleKind(1, c.Status), c.Kind) << "row " << row;
  }
}

// Whatever the address column's width, the headings stay over their
// columns and a message starts where a reply's host text does. An address
// longer than 39 (with a zone) is never cut: its line runs longer.
TEST(Icmp6Columns, HeaderAndLinesMoveTogether) {
  const struct {
    const char* Target;
    int Width;
  } cases[] = {{"192.0.2.1", 15},
               {"2001:db8:3::2", 13},
               {"::1", 8},
               {"fe80:1111:2222:3333:4444:5555:6666:7777%4", 39}};
  const QByteArray reference = ToSjis(TextColumnHeader), time = ToSjis(u"応答時間");
  for (const auto& c : cases) {
    const TNetAddress target = *TNetAddress::Parse(QString::fromLatin1(c.Target));
    const int width = PingAddressWidth(target);
    EXPECT_EQ(width, c.Width) << c.Target;
    const QByteArray header = ToSjis(ColumnHeader(width));
    const QByteArray reply = FormatReplyLine(12, target, 345, "host", width);
    const int overflow = qMax(0, int(target.ToLatin1().size()) - width);
    EXPECT_EQ(header.indexOf(time), reference.indexOf(time) + width - 15) << c.Target;
    EXPECT_EQ(reply.indexOf("host"),
              FormatMessageLine(12, "text", width).indexOf("text") + overflow)
        << c.Target;
    EXPECT_TRUE(reply.startsWith(" 12  " + target.ToLatin1() + ' ')) << c.Target;
  }
  EXPECT_EQ(TraceAddressWidth(*TNetAddress::Parse(u"::1")), MaxIPv6AddressWidth);
}

}  // namespace
