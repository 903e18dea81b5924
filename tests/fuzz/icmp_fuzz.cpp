// Datagrams a raw ICMP socket hands back, of any length and content.

#include "FuzzCheck.h"
#include "helper/ProbeWire.h"
#include "workers/IcmpCommon.h"
#include "workers/IcmpPacket.h"

namespace {

// Judging a datagram never gives the verdicts that only the wait itself makes.
bool IsDatagramVerdict(TEchoVerdict v) {
  switch (v) {
    case TEchoVerdict::KeepWaiting:
    case TEchoVerdict::LaterRequest:
    case TEchoVerdict::EchoReply:
    case TEchoVerdict::Unreachable:
    case TEchoVerdict::TimeExceeded:
    case TEchoVerdict::Invalid:
      return true;
    case TEchoVerdict::Stopped:
    case TEchoVerdict::NoAnswer:
      return false;
  }
  return false;
}

void Judge(const TIcmpDatagram& d, quint16 identifier, quint16 sequence) {
  const TEchoVerdict ping = JudgePingDatagram(d, identifier, sequence);
  const TEchoVerdict trace = JudgeTraceDatagram(d, identifier, sequence);
  CHECK(IsDatagramVerdict(ping) && IsDatagramVerdict(trace));
  CHECK(trace != TEchoVerdict::Unreachable);
  if (!d.FValid) CHECK(ping == TEchoVerdict::Invalid && trace == TEchoVerdict::Invalid);
  if (ping == TEchoVerdict::EchoReply) CHECK(IsEchoReplyFor(d, identifier));
  QuotesEchoRequest(d, identifier, sequence);
}

// The raw-socket helper reads the same bytes before the window does: what
// it passes on as an answer, the window's decoder reads as the same answer.
void AgreeWithTheHelper(std::span<const quint8> bytes, bool v6, const TIcmpDatagram& d) {
  quint8 protocol = 0;
  const int at = WireIp6PayloadAt(bytes, &protocol);
  CHECK(at < 0 || size_t(at) <= bytes.size());
  const TWireEcho echo = WireReadEcho(bytes, v6, d.FIdentifier);
  if (echo.Kind == TWireKind::EchoReply)
    CHECK(IsEchoReplyFor(d, d.FIdentifier) && d.FSequence == echo.Sequence);
  const TWireEcho quoted = WireReadEcho(bytes, v6, d.FQuotedIdentifier);
  if (quoted.Kind == TWireKind::Error && IsIcmpError(d.FType))
    CHECK(QuotesEchoRequest(d, d.FQuotedIdentifier, quoted.Sequence));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // libFuzzer's buffer is exactly size bytes, so any read past it trips ASan.
  const TIcmpDatagram d = DecodeIcmpReply(std::span<const quint8>(data, size));
  if (d.FValid) {
    CHECK(d.FIpHeaderLength >= IpHeaderSize && d.FIpHeaderLength <= MaxIpHeaderSize);
    CHECK(d.FIpHeaderLength % 4 == 0);
    CHECK(size_t(d.FIpHeaderLength + IcmpHeaderSize) <= size);
  }
  switch (d.FQuote) {
    case TQuote::None:
      break;
    case TQuote::TooShort:
    case TQuote::OtherPacket:
    case TQuote::EchoRequest:
      CHECK(d.FValid && IsIcmpError(d.FType));
      break;
    default:
      CHECK(!"quote outside its enum");
  }
  Judge(d, d.FIdentifier, d.FSequence);
  Judge(d, d.FQuotedIdentifier, d.FQuotedSequence);
  Judge(d, 0x1234, 0);
  AgreeWithTheHelper({data, size}, false, d);
  AgreeWithTheHelper({data, size}, true, DecodeIcmp6Reply({data, size}));
  return 0;
}
