#include "helper/ProbeWire.h"

namespace {

using TBytes = std::span<const std::uint8_t>;

constexpr std::uint8_t ProtocolIcmp = 1;
constexpr std::uint8_t ProtocolIcmp6 = 58;

std::uint16_t ReadLsbFirst16(const std::uint8_t* at) { return std::uint16_t(at[0] | (at[1] << 8)); }

void WriteLsbFirst16(std::uint8_t* at, std::uint16_t value) {
  at[0] = std::uint8_t(value);
  at[1] = std::uint8_t(value >> 8);
}

// The messages that quote the datagram they answer.
bool IsError4(std::uint8_t type) { return type == 3 || type == 11 || type == 12; }
bool IsError6(std::uint8_t type) { return type >= 1 && type <= 4; }

// An IPv4 header carrying ICMP, whole: its length, else 0.
int Ip4IcmpHeaderLength(TBytes packet) {
  if (packet.size() < std::size_t(WireIp4HeaderSize) || (packet[0] >> 4) != 4) return 0;
  const int length = (packet[0] & 0x0F) * 4;
  if (length < WireIp4HeaderSize || packet.size() < std::size_t(length) || packet[9] != ProtocolIcmp)
    return 0;
  return length;
}

// The echo request at the start of icmp, when it is one of identifier's.
TWireEcho QuotedRequest(TBytes icmp, std::uint8_t requestType, std::uint16_t identifier) {
  if (icmp.size() < std::size_t(WireIcmpHeaderSize) || icmp[0] != requestType || icmp[1] != 0 ||
      ReadLsbFirst16(&icmp[4]) != identifier)
    return {};
  return {TWireKind::Error, ReadLsbFirst16(&icmp[6])};
}

// The ICMP message of an echo reply or an error about one of our requests.
TWireEcho ReadMessage(TBytes icmp, bool v6, std::uint16_t identifier) {
  if (icmp.size() < std::size_t(WireIcmpHeaderSize)) return {};
  const std::uint8_t type = icmp[0];
  if (type == (v6 ? 129 : 0))
    return ReadLsbFirst16(&icmp[4]) == identifier
               ? TWireEcho{TWireKind::EchoReply, ReadLsbFirst16(&icmp[6])}
               : TWireEcho{};
  if (!(v6 ? IsError6(type) : IsError4(type))) return {};
  const TBytes quote = icmp.subspan(WireIcmpHeaderSize);
  if (v6) {
    std::uint8_t protocol = 0;
    const int at = WireIp6PayloadAt(quote, &protocol);
    if (at < 0 || protocol != ProtocolIcmp6) return {};
    return QuotedRequest(quote.subspan(std::size_t(at)), 128, identifier);
  }
  const int length = Ip4IcmpHeaderLength(quote);
  // A later fragment of a request holds no ICMP header.
  if (length == 0 || ((quote[6] & 0x1F) | quote[7]) != 0) return {};
  return QuotedRequest(quote.subspan(std::size_t(length)), 8, identifier);
}

}  // namespace

std::uint16_t WireChecksum(TBytes bytes) {
  std::uint64_t sum = 0;
  std::size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2) sum += std::uint32_t(bytes[i]) | (std::uint32_t(bytes[i + 1]) << 8);
  // The odd last byte is the low half of a word padded with zero.
  if (i < bytes.size()) sum += bytes[i];
  while (sum >> 16) sum = (sum >> 16) + (sum & 0xFFFF);
  return std::uint16_t(~sum);
}

bool WireBuildEcho(std::span<std::uint8_t> buffer, bool v6, int dataSize, std::uint16_t identifier,
                   std::uint16_t sequence, std::uint32_t sendTime) {
  if (dataSize < 4 || buffer.size() < std::size_t(WireIcmpHeaderSize + dataSize)) return false;
  const auto request = buffer.first(std::size_t(WireIcmpHeaderSize + dataSize));
  request[0] = v6 ? 128 : 8;
  request[1] = 0;
  WriteLsbFirst16(&request[2], 0);
  WriteLsbFirst16(&request[4], identifier);
  WriteLsbFirst16(&request[6], sequence);
  for (int i = 0; i < 4; ++i) request[std::size_t(8 + i)] = std::uint8_t(sendTime >> (8 * i));
  for (std::size_t i = 12; i < request.size(); ++i) request[i] = WireEchoFiller;
  if (!v6) WriteLsbFirst16(&request[2], WireChecksum(request));
  return true;
}

int WireIp6PayloadAt(TBytes packet, std::uint8_t* protocol) {
  if (packet.size() < std::size_t(WireIp6HeaderSize) || (packet[0] >> 4) != 6) return -1;
  std::uint8_t next = packet[6];
  std::size_t at = WireIp6HeaderSize;
  // Each extension header names the next; a forged chain cannot loop, since
  // every step moves forward by 8 bytes at least.
  for (;;) {
    if (next != 0 && next != 43 && next != 44 && next != 51 && next != 60) break;
    if (packet.size() < at + 8) return -1;
    std::size_t length = (std::size_t(packet[at + 1]) + 1) * 8;
    if (next == 51) length = (std::size_t(packet[at + 1]) + 2) * 4;
    // Fragment: only the first (offset 0) carries the upper-layer header.
    if (next == 44) {
      length = 8;
      if (((packet[at + 2] << 8) | (packet[at + 3] & 0xF8)) != 0) return -1;
    }
    next = packet[at];
    at += length;
  }
  if (at > packet.size()) return -1;
  *protocol = next;
  return int(at);
}

TWireEcho WireReadEcho(TBytes datagram, bool v6, std::uint16_t identifier) {
  if (v6) return ReadMessage(datagram, true, identifier);
  const int length = Ip4IcmpHeaderLength(datagram);
  if (length == 0) return {};
  return ReadMessage(datagram.subspan(std::size_t(length)), false, identifier);
}

bool WireIsUnicast(TBytes address) {
  bool allZero = true;
  for (const std::uint8_t byte : address) allZero = allZero && byte == 0;
  if (allZero) return false;
  if (address.size() == 16) {
    // ff00::/8 multicast; ::ffff:0:0/96 an IPv4 address, which an IPv6
    // socket must not reach round its own checks.
    static constexpr std::uint8_t mapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    bool isMapped = true;
    for (int i = 0; i < 12; ++i) isMapped = isMapped && address[std::size_t(i)] == mapped[i];
    return address[0] != 0xFF && !isMapped;
  }
  if (address.size() != 4) return false;
  bool allOnes = true;
  for (const std::uint8_t byte : address) allOnes = allOnes && byte == 0xFF;
  // 224/4 multicast; 240/4 reserved, 255.255.255.255 among it.
  return !allOnes && address[0] < 224;
}
