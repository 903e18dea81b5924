// The Ping and TraceRoute lines, column for column, and the decisions on
// what a received datagram or an echo service reply means.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include "common/SjisText.h"
#include "platform/IcmpService.h"
#include "workers/IcmpCommon.h"

namespace {

quint32 Ip(const char* dotted) { return inet_addr(dotted); }
QString Text(const char16_t* text) { return text ? QString::fromUtf16(text) : QString(); }

// --- Line formats ------------------------------------------------------------

TEST(IcmpLines, ReplyAndHopLinesKeepTheirColumns) {
  const struct {
    int Number;
    const char* Addr;
    int Ms;
    QByteArray Host;
    QByteArray Reply;
  } cases[] = {
      // 43 columns: router1 in columns 37 to 43, under the column header.
      {1, "192.168.0.1", 12, "router1", "  1  192.168.0.1            12 ms   router1"},
      {1, "192.168.0.1", 3, "", "  1  192.168.0.1             3 ms   "},
      {10, "10.0.0.1", 0, "h", " 10  10.0.0.1                0 ms   h"},
      {999, "255.255.255.255", 65535, "x.example", "999  255.255.255.255     65535 ms   x.example"},
      {64, "203.0.113.2", 12345678, "", " 64  203.0.113.2      12345678 ms   "},
  };
  for (const auto& c : cases) {
    const QByteArray reply = FormatReplyLine(c.Number, Ip(c.Addr), c.Ms, c.Host);
    EXPECT_EQ(reply, c.Reply) << c.Number;
    EXPECT_EQ(reply.size(), 36 + c.Host.size()) << c.Number;
    // The hop line is the reply line without the host text.
    EXPECT_EQ(FormatHopLine(c.Number, Ip(c.Addr), c.Ms), c.Reply.left(36)) << c.Number;
  }
}

TEST(IcmpLines, MessageLinePutsTheTextInColumn37) {
  const struct {
    int Number;
    const char16_t* Message;
    const char* Prefix;
  } cases[] = {
      {3, TextNoReply, "  3"},
      {1, TextTimeExceeded, "  1"},
      {64, TextSendError, " 64"},
      {999, TextInvalidReply, "999"},
  };
  for (const auto& c : cases) {
    const QByteArray message = ToSjis(c.Message);
    const QByteArray line = FormatMessageLine(c.Number, message);
    EXPECT_EQ(line, QByteArray(c.Prefix) + QByteArray(33, ' ') + message) << c.Number;
    EXPECT_EQ(line.indexOf(message), 36) << c.Number;
  }
}

TEST(IcmpLines, StatusTexts) {
  EXPECT_EQ(PauseStatus(1000), QStringLiteral("1000ミリ秒待っています..."));
  EXPECT_EQ(HopStatus(3), QStringLiteral("ホップ3検出中..."));
}

// --- Raw sockets: which datagram ends the wait ----------------------------------

constexpr quint16 Us = 0x4321;
constexpr quint16 Current = 5;

// A decoded datagram as DecodeIcmpReply gives it.
TIcmpDatagram Datagram(quint8 type, quint16 id, quint16 seq, TQuote quote = TQuote::None,
                       quint16 quotedId = 0, quint16 quotedSeq = 0) {
  TIcmpDatagram d;
  d.FValid = true;
  d.FIpHeaderLength = 20;
  d.FType = type;
  d.FIdentifier = id;
  d.FSequence = seq;
  d.FQuote = quote;
  d.FQuotedIdentifier = quotedId;
  d.FQuotedSequence = quotedSeq;
  return d;
}

TIcmpDatagram Error(quint8 type, TQuote quote, quint16 quotedId = 0, quint16 quotedSeq = 0) {
  // Bytes 4 to 7 of an error message are unused: often zero, never our id.
  return Datagram(type, 0, 0, quote, quotedId, quotedSeq);
}

TEST(IcmpVerdicts, WhichDatagramEndsTheWait) {
  using V = TEchoVerdict;
  const struct {
    const char* Name;
    TIcmpDatagram Datagram;
    TEchoVerdict Ping;
    TEchoVerdict Trace;
  } cases[] = {
      {"broken datagram", TIcmpDatagram{}, V::Invalid, V::Invalid},
      {"our reply", Datagram(IcmpEchoReply, Us, Current), V::EchoReply, V::EchoReply},
      {"our reply to an earlier request", Datagram(IcmpEchoReply, Us, Current - 1), V::KeepWaiting,
       V::KeepWaiting},
      {"our reply to a later request", Datagram(IcmpEchoReply, Us, Current + 1), V::LaterRequest,
       V::LaterRequest},
      {"someone else's reply", Datagram(IcmpEchoReply, Us + 1, Current), V::KeepWaiting,
       V::KeepWaiting},
      {"time exceeded for this request", Error(IcmpTimeExceeded, TQuote::EchoRequest, Us, Current),
       V::TimeExceeded, V::TimeExceeded},
      {"time exceeded for an earlier request",
       Error(IcmpTimeExceeded, TQuote::EchoRequest, Us, Current - 1), V::KeepWaiting,
       V::KeepWaiting},
      {"time exceeded for someone else's ping",
       Error(IcmpTimeExceeded, TQuote::EchoRequest, Us + 1, Current), V::KeepWaiting,
       V::KeepWaiting},
      {"time exceeded for other traffic", Error(IcmpTimeExceeded, TQuote::OtherPacket),
       V::KeepWaiting, V::KeepWaiting},
      {"time exceeded, quote too short to tell", Error(IcmpTimeExceeded, TQuote::TooShort),
       V::TimeExceeded, V::TimeExceeded},
      {"unreachable for this request", Error(IcmpDestUnreachable, TQuote::EchoRequest, Us, Current),
       V::Unreachable, V::KeepWaiting},
      {"unreachable for other traffic", Error(IcmpDestUnreachable, TQuote::OtherPacket),
       V::KeepWaiting, V::KeepWaiting},
      {"unreachable, quote too short to tell", Error(IcmpDestUnreachable, TQuote::TooShort),
       V::Unreachable, V::KeepWaiting},
      {"unreachable whose header bytes look like ours",
       Datagram(IcmpDestUnreachable, Us, Current, TQuote::OtherPacket), V::KeepWaiting,
       V::KeepWaiting},
      {"other message of someone else", Datagram(5, 0x0102, 0x0304), V::KeepWaiting,
       V::KeepWaiting},
      {"router advertisement", Datagram(9, 0x0201, 0x0708), V::KeepWaiting, V::KeepWaiting},
      {"other message with our identifier", Datagram(13, Us, Current), V::Invalid, V::Invalid},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JudgePingDatagram(c.Datagram, Us, Current), c.Ping) << c.Name;
    EXPECT_EQ(JudgeTraceDatagram(c.Datagram, Us, Current), c.Trace) << c.Name;
  }
}

TEST(IcmpVerdicts, MessageAndEndOfTraceOfEachVerdict) {
  using V = TEchoVerdict;
  const struct {
    TEchoVerdict Verdict;
    const char16_t* Message;
    bool EndsTrace;
  } cases[] = {
      {V::KeepWaiting, nullptr, false},
      {V::Stopped, nullptr, false},
      {V::NoAnswer, TextNoReply, false},
      {V::LaterRequest, nullptr, true},
      {V::EchoReply, nullptr, true},
      {V::Unreachable, TextUnreachable, false},
      {V::TimeExceeded, TextTimeExceeded, false},
      {V::Invalid, TextInvalidReply, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Text(VerdictMessage(c.Verdict)), Text(c.Message)) << int(c.Verdict);
    EXPECT_EQ(VerdictEndsTrace(c.Verdict), c.EndsTrace) << int(c.Verdict);
  }
  EXPECT_EQ(Text(ServiceMessage(TServiceVerdict::NoAnswer)), Text(TextNoReply));
  EXPECT_EQ(Text(ServiceMessage(TServiceVerdict::Invalid)), Text(TextInvalidReply));
  EXPECT_EQ(Text(ServiceMessage(TServiceVerdict::Answer)), QString());
}

// --- Echo service ------------------------------------------------------------------

TEST(IcmpVerdicts, EchoServiceResults) {
  using V = TServiceVerdict;
  const struct {
    quint32 Replies;
    quint32 Status;
    TServiceVerdict Ping;
    TServiceVerdict Hop;
  } cases[] = {
      {0, IpSuccess, V::NoAnswer, V::NoAnswer},
      {0, IpTtlExpiredTransit, V::NoAnswer, V::NoAnswer},
      {1, IpSuccess, V::Answer, V::Answer},
      {1, IpTtlExpiredTransit, V::Invalid, V::Answer},
      {1, IpTtlExpiredReassem, V::Invalid, V::Invalid},
      {1, IpDestHostUnreachable, V::Invalid, V::Invalid},
      {1, IpDestNetUnreachable, V::Invalid, V::Invalid},
      {1, IpPacketTooBig, V::Invalid, V::Invalid},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JudgeServicePing(c.Replies, c.Status), c.Ping) << c.Replies << " " << c.Status;
    EXPECT_EQ(JudgeServiceHop(c.Replies, c.Status), c.Hop) << c.Replies << " " << c.Status;
  }
}

TEST(IcmpVerdicts, ServiceTraceEndsWhenTheTargetAnswers) {
  const quint32 target = Ip("203.0.113.2"), router = Ip("198.51.100.1");
  EXPECT_TRUE(ServiceHopEndsTrace(IpSuccess, target, target));
  EXPECT_TRUE(ServiceHopEndsTrace(IpSuccess, router, target));
  EXPECT_TRUE(ServiceHopEndsTrace(IpTtlExpiredTransit, target, target));
  EXPECT_FALSE(ServiceHopEndsTrace(IpTtlExpiredTransit, router, target));
}

}  // namespace
