#include "workers/IcmpTransport.h"

#include <cstring>

namespace {

TServiceAnswer Echo4(TIcmpHandle handle, const TNetAddress& dest, std::span<const quint8> data,
                     const TIpOptionInformation& options, std::span<quint8> reply,
                     quint32 timeoutMs) {
  TServiceAnswer answer;
  answer.Replies = IcmpSendEcho(handle, dest.IPv4NetOrder(), data.data(), quint16(data.size()),
                                &options, reply.data(), quint32(reply.size()), timeoutMs);
  if (answer.Replies == 0) return answer;
  TIcmpEchoReply record;
  std::memcpy(&record, reply.data(), sizeof record);
  answer.Address = TNetAddress::FromIPv4(record.Address);
  answer.Status = record.Status;
  answer.RoundTripMs = int(record.RoundTripTime);
  return answer;
}

TServiceAnswer Echo6(TIcmpHandle handle, const TNetAddress& dest, std::span<const quint8> data,
                     const TIpOptionInformation& options, quint32 timeoutMs) {
  TIcmp6EchoReply record;
  TServiceAnswer answer;
  answer.Replies = Icmp6SendEcho(handle, dest, data.data(), quint16(data.size()), &options,
                                 &record, timeoutMs);
  answer.Address = record.Address;
  answer.Status = record.Status;
  answer.RoundTripMs = int(record.RoundTripTime);
  answer.Mtu = record.Mtu;
  return answer;
}

}  // namespace

TRawDecoder RawDecoderFor(TAddressFamily family) {
  return family == TAddressFamily::IPv6 ? DecodeIcmp6Reply : DecodeIcmpReply;
}

std::unique_ptr<TServiceLink> TServiceLink::Open(TAddressFamily family) {
  const TIcmpHandle handle =
      family == TAddressFamily::IPv6 ? Icmp6CreateFile() : IcmpCreateFile();
  if (handle == InvalidHandleValue) return nullptr;
  return std::unique_ptr<TServiceLink>(new TServiceLink(handle, family));
}

// Closed once either way: a handle closed by Wake is no longer open here.
TServiceLink::~TServiceLink() { IcmpCloseHandle(FHandle); }

void TServiceLink::Wake() { IcmpCloseHandle(FHandle); }

TServiceAnswer TServiceLink::Echo(const TNetAddress& dest, std::span<const quint8> data,
                                  const TIpOptionInformation& options, std::span<quint8> reply,
                                  quint32 timeoutMs) const {
  if (FFamily == TAddressFamily::IPv6) return Echo6(FHandle, dest, data, options, timeoutMs);
  return Echo4(FHandle, dest, data, options, reply, timeoutMs);
}

int TServiceLink::Post(const TNetAddress& dest, quint16 sequence, std::span<const quint8> data,
                       int ttl) const {
  TIpOptionInformation options;
  options.Ttl = quint8(ttl);
  return IcmpPostEcho(FHandle, dest, sequence, data, options);
}

bool TServiceLink::AwaitPosted(int timeoutMs, TPostedAnswer* answer) const {
  return IcmpAwaitPosted(FHandle, timeoutMs, answer);
}
