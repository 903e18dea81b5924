#include "workers/IcmpCommon.h"

#include "platform/IcmpService.h"

namespace {

// printf's "%Ns" and "%-Ns" over bytes: pad to width, never cut.
QByteArray AlignRight(const QByteArray& text, int width) {
  return text.size() >= width ? text : QByteArray(width - text.size(), ' ') + text;
}

QByteArray AlignLeft(const QByteArray& text, int width) {
  return text.size() >= width ? text : text + QByteArray(width - text.size(), ' ');
}

QByteArray Number(int n) { return QByteArray::number(n); }

// Error messages answer us only when they quote this very request; a quote
// too short to tell is taken at its word.
TEchoVerdict JudgeIcmpError(const TIcmpDatagram& datagram, quint16 identifier, quint16 sequence) {
  if (datagram.FQuote != TQuote::TooShort && !QuotesEchoRequest(datagram, identifier, sequence))
    return TEchoVerdict::KeepWaiting;
  if (datagram.FMtu != 0) return TEchoVerdict::PacketTooBig;
  return datagram.FType == IcmpDestUnreachable ? TEchoVerdict::Unreachable
                                               : TEchoVerdict::TimeExceeded;
}

// Our echo replies: an earlier request's comes late and is skipped; a later
// one means this request's answer will not come.
TEchoVerdict JudgeSequence(quint16 received, quint16 sequence) {
  if (received < sequence) return TEchoVerdict::KeepWaiting;
  if (received > sequence) return TEchoVerdict::LaterRequest;
  return TEchoVerdict::EchoReply;
}

}  // namespace

QString WaitingStatus() { return QStringLiteral("応答を待っています..."); }

QString PauseStatus(int delayMs) {
  return QString::number(delayMs) + QStringLiteral("ミリ秒待っています...");
}

QString HopStatus(int hop) {
  return QStringLiteral("ホップ") + QString::number(hop) + QStringLiteral("検出中...");
}

QString ResolvingStatus() { return QStringLiteral("ホスト名解決中..."); }

QString PacketTooBigText(quint32 mtu) {
  // This host refuses a request larger than a path it knows without a number.
  if (mtu == 0) return QStringLiteral("パケットが大きすぎます");
  return QStringLiteral("パケットが大きすぎます(MTU %1)").arg(mtu);
}

int PingAddressWidth(const TNetAddress& target) {
  if (!target.IsIPv6()) return IPv4AddressWidth;
  // Never narrower than the heading "アドレス" above it (8 columns).
  return qBound(8, int(target.ToLatin1().size()), MaxIPv6AddressWidth);
}

int TraceAddressWidth(const TNetAddress& target) {
  return target.IsIPv6() ? MaxIPv6AddressWidth : IPv4AddressWidth;
}

QString ColumnHeader(int addressWidth) {
  QString header = QString::fromUtf16(TextColumnHeader);
  const int extra = addressWidth - IPv4AddressWidth;
  // The heading "アドレス" is followed by 12 spaces at width 15; it keeps one.
  const qsizetype after = header.indexOf(u"アドレス") + 4;
  if (extra > 0) header.insert(after, QString(extra, u' '));
  if (extra < 0) header.remove(after, qMin(-extra, 11));
  return header;
}

QByteArray FormatHopLine(int number, quint32 addr, int ms) {
  return FormatHopLine(number, TNetAddress::FromIPv4(addr), ms, IPv4AddressWidth);
}

QByteArray FormatReplyLine(int number, quint32 addr, int ms, const QByteArray& hostText) {
  return FormatHopLine(number, addr, ms) + hostText;
}

QByteArray FormatMessageLine(int number, const QByteArray& message) {
  return FormatMessageLine(number, message, IPv4AddressWidth);
}

QByteArray FormatHopLine(int number, const TNetAddress& addr, int ms, int addressWidth) {
  return AlignRight(Number(number), 3) + "  " + AlignLeft(addr.ToLatin1(), addressWidth) + "  " +
         AlignRight(Number(ms), 8) + AlignLeft(" ms", 6);
}

QByteArray FormatReplyLine(int number, const TNetAddress& addr, int ms, const QByteArray& hostText,
                           int addressWidth) {
  return FormatHopLine(number, addr, ms, addressWidth) + hostText;
}

QByteArray FormatMessageLine(int number, const QByteArray& message, int addressWidth) {
  return AlignRight(Number(number), 3) + QByteArray(addressWidth + 18, ' ') + message;
}

TEchoVerdict JudgePingDatagram(const TIcmpDatagram& datagram, quint16 identifier,
                               quint16 sequence) {
  if (!datagram.FValid) return TEchoVerdict::Invalid;
  if (IsIcmpError(datagram.FType)) return JudgeIcmpError(datagram, identifier, sequence);
  // Other traffic on the host: a raw socket sees every ICMP message.
  if (datagram.FIdentifier != identifier) return TEchoVerdict::KeepWaiting;
  if (datagram.FType != IcmpEchoReply) return TEchoVerdict::Invalid;
  return JudgeSequence(datagram.FSequence, sequence);
}

TEchoVerdict JudgeTraceDatagram(const TIcmpDatagram& datagram, quint16 identifier,
                                quint16 sequence) {
  const TEchoVerdict verdict = JudgePingDatagram(datagram, identifier, sequence);
  // A hop ends by time-out rather than on an unreachable destination.
  return verdict == TEchoVerdict::Unreachable ? TEchoVerdict::KeepWaiting : verdict;
}

TEchoVerdict JudgeAnyDatagram(const TIcmpDatagram& datagram, quint16 identifier,
                              quint16* sequence) {
  if (!datagram.FValid) return TEchoVerdict::KeepWaiting;
  if (IsIcmpError(datagram.FType)) {
    if (datagram.FQuote != TQuote::EchoRequest || datagram.FQuotedIdentifier != identifier)
      return TEchoVerdict::KeepWaiting;
    *sequence = datagram.FQuotedSequence;
    if (datagram.FType == IcmpTimeExceeded) return TEchoVerdict::TimeExceeded;
    return datagram.FMtu ? TEchoVerdict::PacketTooBig : TEchoVerdict::Unreachable;
  }
  if (datagram.FType != IcmpEchoReply || datagram.FIdentifier != identifier)
    return TEchoVerdict::KeepWaiting;
  *sequence = datagram.FSequence;
  return TEchoVerdict::EchoReply;
}

TEchoVerdict ServiceStatusVerdict(quint32 status) {
  switch (status) {
    case IpSuccess:
      return TEchoVerdict::EchoReply;
    case IpTtlExpiredTransit:
    case IpTtlExpiredReassem:
      return TEchoVerdict::TimeExceeded;
    case IpPacketTooBig:
      return TEchoVerdict::PacketTooBig;
    default:
      return TEchoVerdict::Unreachable;
  }
}

// ICMP: network codes (0, 6, 11) !N; administrative ones (9, 10, 13) !X;
// the rest are about the host. ICMPv6: no route (0) !N; prohibited, failed
// policy, reject route (1, 5, 6) !X; the rest !H.
THopMark UnreachableMark(bool ipv6, quint8 code) {
  if (ipv6) {
    if (code == 0) return THopMark::Net;
    return code == 1 || code == 5 || code == 6 ? THopMark::Prohibited : THopMark::Host;
  }
  if (code == 0 || code == 6 || code == 11) return THopMark::Net;
  return code == 9 || code == 10 || code == 13 ? THopMark::Prohibited : THopMark::Host;
}

const char16_t* VerdictMessage(TEchoVerdict verdict) {
  switch (verdict) {
    case TEchoVerdict::NoAnswer:
      return TextNoReply;
    case TEchoVerdict::Unreachable:
      return TextUnreachable;
    case TEchoVerdict::TimeExceeded:
      return TextTimeExceeded;
    case TEchoVerdict::Invalid:
      return TextInvalidReply;
    default:
      return nullptr;
  }
}

bool AnswerTooLate(int elapsedMs, int timeoutMs) { return elapsedMs > timeoutMs; }

bool VerdictEndsTrace(TEchoVerdict verdict) {
  return verdict == TEchoVerdict::EchoReply || verdict == TEchoVerdict::LaterRequest;
}

TServiceVerdict JudgeServicePing(quint32 replies, quint32 status) {
  if (replies == 0) return TServiceVerdict::NoAnswer;
  return status == IpSuccess ? TServiceVerdict::Answer : TServiceVerdict::Invalid;
}

TServiceVerdict JudgeServiceHop(quint32 replies, quint32 status) {
  if (replies == 0) return TServiceVerdict::NoAnswer;
  return status == IpSuccess || status == IpTtlExpiredTransit ? TServiceVerdict::Answer
                                                              : TServiceVerdict::Invalid;
}

const char16_t* ServiceMessage(TServiceVerdict verdict) {
  switch (verdict) {
    case TServiceVerdict::NoAnswer:
      return TextNoReply;
    case TServiceVerdict::Invalid:
      return TextInvalidReply;
    default:
      return nullptr;
  }
}

bool ServiceHopEndsTrace(quint32 status, quint32 answerAddr, quint32 targetAddr) {
  return ServiceHopEndsTrace(status, TNetAddress::FromIPv4(answerAddr),
                             TNetAddress::FromIPv4(targetAddr));
}

bool ServiceHopEndsTrace(quint32 status, const TNetAddress& answerAddr,
                         const TNetAddress& targetAddr) {
  return status == IpSuccess || answerAddr == targetAddr;
}

TEchoVerdict ServicePing6Verdict(quint32 replies, quint32 status) {
  if (replies == 0) return TEchoVerdict::NoAnswer;
  switch (ServiceSampleKind(replies, status)) {
    case TSampleKind::Reply:
      return TEchoVerdict::EchoReply;
    case TSampleKind::TtlExpired:
      return TEchoVerdict::TimeExceeded;
    case TSampleKind::Unreachable:
      return status == IpPacketTooBig ? TEchoVerdict::PacketTooBig : TEchoVerdict::Unreachable;
    default:
      return TEchoVerdict::Invalid;
  }
}

std::optional<TSampleKind> VerdictSampleKind(TEchoVerdict verdict) {
  switch (verdict) {
    case TEchoVerdict::EchoReply:
      return TSampleKind::Reply;
    case TEchoVerdict::NoAnswer:
    case TEchoVerdict::LaterRequest:
      return TSampleKind::TimedOut;
    case TEchoVerdict::Unreachable:
    case TEchoVerdict::PacketTooBig:
      return TSampleKind::Unreachable;
    case TEchoVerdict::TimeExceeded:
      return TSampleKind::TtlExpired;
    case TEchoVerdict::Invalid:
      return TSampleKind::Error;
    default:
      return std::nullopt;
  }
}

TSampleKind ServiceSampleKind(quint32 replies, quint32 status) {
  if (replies == 0) return TSampleKind::TimedOut;
  switch (status) {
    case IpSuccess:
      return TSampleKind::Reply;
    case IpTtlExpiredTransit:
    case IpTtlExpiredReassem:
      return TSampleKind::TtlExpired;
    case IpDestNetUnreachable:
    case IpDestHostUnreachable:
    case IpDestProtUnreachable:
    case IpDestPortUnreachable:
    case IpPacketTooBig:
    case IpBadRoute:  // every destination unreachable message, as raw sockets see them
      return TSampleKind::Unreachable;
    default:
      return TSampleKind::Error;
  }
}
