#include "workers/IcmpTransport.h"

#include <cstring>

#include "platform/RawIcmp.h"

namespace {

bool BuildEcho4(std::span<quint8> request, int dataSize, quint32 sequence) {
  return BuildEchoRequest(request, dataSize, sequence);
}

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
                     const TIpOptionInformation& options, std::span<quint8>, quint32 timeoutMs) {
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

constexpr TRawTransport Raw4{OpenRawIcmp, BuildEcho4, DecodeIcmpReply};
constexpr TRawTransport Raw6{OpenRawIcmp6, BuildEcho6Request, DecodeIcmp6Reply};
constexpr TServiceTransport Service4{IcmpCreateFile, Echo4};
constexpr TServiceTransport Service6{Icmp6CreateFile, Echo6};

}  // namespace

const TRawTransport& RawTransportFor(TAddressFamily family) {
  return family == TAddressFamily::IPv6 ? Raw6 : Raw4;
}

const TServiceTransport& ServiceTransportFor(TAddressFamily family) {
  return family == TAddressFamily::IPv6 ? Service6 : Service4;
}
