#include "platform/IcmpService.h"

#include <linux/errqueue.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

#include "common/Common.h"
#include "platform/RawIcmp.h"
#include "platform/SockAddr.h"

namespace {

using TClock = std::chrono::steady_clock;

// A queue never holds more than this many stale datagrams worth reading.
constexpr int MaxDiscards = 256;

// One open service: its ICMP datagram socket. The descriptor is closed only
// when the last user lets go of the object, so a close from another thread
// never pulls it from under a waiting IcmpSendEcho, and a reused descriptor
// number is never touched.
class TEchoSocket {
 public:
  TEchoSocket(int fd, TAddressFamily family) : FFd(fd), FFamily(family) {}
  ~TEchoSocket() { ::close(FFd); }
  TEchoSocket(const TEchoSocket&) = delete;
  TEchoSocket& operator=(const TEchoSocket&) = delete;

  int Fd() const { return FFd; }
  TAddressFamily Family() const { return FFamily; }
  bool Closed() const { return FClosed.load(); }
  // Shutting the socket down wakes a waiting poll at once; the flag tells it
  // why. Order matters: the flag first, so the woken waiter sees it.
  void Close() {
    FClosed.store(true);
    ::shutdown(FFd, SHUT_RDWR);
  }
  quint16 NextSequence() { return FNextSequence++; }
  // One request at a time per handle: options and sequence belong to it.
  std::mutex& SendLock() { return FSendLock; }

 private:
  const int FFd;
  const TAddressFamily FFamily;
  std::atomic<bool> FClosed{false};
  std::mutex FSendLock;
  quint16 FNextSequence = 1;
};

using TEchoSocketRef = std::shared_ptr<TEchoSocket>;

// The open handles. Handle values count up and are never reused.
class TRegistry {
 public:
  // A stopped worker may close its handle just as the program ends: its
  // last change is taken under the lock before the table goes.
  ~TRegistry() {
    std::lock_guard lock(FLock);
    FOpen.clear();
  }
  TIcmpHandle Add(TEchoSocketRef socket) {
    std::lock_guard lock(FLock);
    const TIcmpHandle handle = FNextHandle++;
    FOpen.emplace(handle, std::move(socket));
    return handle;
  }
  TEchoSocketRef Find(TIcmpHandle handle) {
    std::lock_guard lock(FLock);
    const auto it = FOpen.find(handle);
    return it == FOpen.end() ? nullptr : it->second;
  }
  TEchoSocketRef Take(TIcmpHandle handle) {
    std::lock_guard lock(FLock);
    const auto it = FOpen.find(handle);
    if (it == FOpen.end()) return nullptr;
    TEchoSocketRef socket = std::move(it->second);
    FOpen.erase(it);
    return socket;
  }

 private:
  std::mutex FLock;
  std::unordered_map<TIcmpHandle, TEchoSocketRef> FOpen;
  TIcmpHandle FNextHandle = 1;
};

TRegistry& Registry() {
  static TRegistry registry;
  return registry;
}

// What answered a request.
struct TAnswer {
  quint16 Sequence = 0;
  TNetAddress Address;
  quint32 Status = IpSuccess;
  quint8 Type = 0, Code = 0;  // of an error message, in its family's numbers
  quint8 Ttl = 0;
  quint32 Mtu = 0;           // packet too big: ee_info
  std::vector<quint8> Data;  // echoed data, echo replies only
};

bool SetIntOption(int fd, int level, int name, int value) {
  return ::setsockopt(fd, level, name, &value, sizeof value) == 0;
}

// Without options: the system's time-to-live (-1) and fragmentation allowed;
// all set as on the raw sockets, for either family.
bool ApplyOptions(int fd, const TIpOptionInformation* options) {
  const int ttl = options ? options->Ttl : -1;
  const bool dontFragment = options && (options->Flags & IpFlagDontFragment);
  const int tos = options ? options->Tos : 0;
  return ttl != 0 && SetTtl(fd, ttl) && SetTrafficClass(fd, tos) && SetDontFragment(fd, dontFragment);
}

quint8 EchoRequestType(TAddressFamily family) {
  return family == TAddressFamily::IPv6 ? Icmp6EchoRequest : IcmpEchoRequest;
}

quint8 EchoReplyType(TAddressFamily family) {
  return family == TAddressFamily::IPv6 ? Icmp6EchoReply : IcmpEchoReply;
}

// Drops what earlier requests left behind: late replies, late errors and a
// pending socket error. Matching by sequence would skip them anyway; this
// keeps the queues short.
void DiscardPending(int fd) {
  quint8 scrap[64];
  for (int i = 0; i < MaxDiscards && ::recv(fd, scrap, sizeof scrap, MSG_DONTWAIT) >= 0; ++i) {
  }
  for (int i = 0;
       i < MaxDiscards && ::recv(fd, scrap, sizeof scrap, MSG_DONTWAIT | MSG_ERRQUEUE) >= 0; ++i) {
  }
  int error = 0;
  socklen_t length = sizeof error;
  ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
}

// The echo request as the system wants it: type 8, code 0, sequence in
// network byte order. The system fills in checksum and identifier.
std::vector<quint8> EchoMessage(TAddressFamily family, quint16 sequence, const void* data,
                                quint16 size) {
  std::vector<quint8> message(IcmpHeaderSize + size_t(size), 0);
  message[0] = EchoRequestType(family);
  message[6] = quint8(sequence >> 8);
  message[7] = quint8(sequence);
  if (size > 0) std::memcpy(message.data() + IcmpHeaderSize, data, size);
  return message;
}

// errno of the send, or 0 when it went out whole.
int SendMessage(int fd, const TNetAddress& destAddr, const std::vector<quint8>& message) {
  errno = 0;
  if (SendIcmp(fd, destAddr, message)) return 0;
  return errno != 0 ? errno : EMSGSIZE;
}

quint16 SequenceOf(const quint8* icmp) { return quint16((icmp[6] << 8) | icmp[7]); }

// The received time-to-live from the IP_TTL (or IPv6 hop limit) control
// message, 0 without one.
quint8 ReceivedTtl(msghdr& message) {
  for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
    if ((c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL) ||
        (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_HOPLIMIT)) {
      int ttl = 0;
      std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
      return quint8(ttl);
    }
  }
  return 0;
}

// The status of each destination-unreachable code (RFC 792, 1122, 1812). The
// administrative and precedence codes mean "this host cannot be reached from
// here"; codes not listed are taken the same way.
constexpr quint32 UnreachableStatuses[] = {
    IpDestNetUnreachable,   // 0 network unreachable
    IpDestHostUnreachable,  // 1 host unreachable
    IpDestProtUnreachable,  // 2 protocol unreachable
    IpDestPortUnreachable,  // 3 port unreachable
    IpPacketTooBig,         // 4 fragmentation needed, don't-fragment set
    IpBadRoute,             // 5 source route failed
    IpDestNetUnreachable,   // 6 destination network unknown
    IpDestHostUnreachable,  // 7 destination host unknown
    IpDestHostUnreachable,  // 8 source host isolated
    IpDestNetUnreachable,   // 9 network administratively prohibited
    IpDestHostUnreachable,  // 10 host administratively prohibited
    IpDestNetUnreachable,   // 11 network unreachable for the type of service
    IpDestHostUnreachable,  // 12 host unreachable for the type of service
    IpDestHostUnreachable,  // 13 communication administratively prohibited
    IpDestHostUnreachable,  // 14 host precedence violation
    IpDestHostUnreachable,  // 15 precedence cutoff in effect
};

// The sequence an answer must carry; none: any of ours.
using TWanted = std::optional<quint16>;
bool Wanted(TWanted wanted, quint16 sequence) { return !wanted || *wanted == sequence; }

// Reads the socket's replies until one answers the wanted sequence. Replies
// to other requests (the system already filtered by identifier) are skipped.
bool ReadEchoReplies(const TEchoSocket& socket, TWanted sequence, quint16 dataSize,
                     TAnswer& answer) {
  const int fd = socket.Fd();
  std::vector<quint8> buffer(IcmpHeaderSize + size_t(dataSize));
  for (int i = 0; i < MaxDiscards; ++i) {
    sockaddr_storage source{};
    iovec part{buffer.data(), buffer.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
    msghdr message{};
    message.msg_name = &source;
    message.msg_namelen = sizeof source;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t received = ::recvmsg(fd, &message, MSG_DONTWAIT);
    if (received < 0 && errno == EINTR) continue;
    // 0 bytes: shut down by a close; the caller sees the flag.
    if (received < IcmpHeaderSize) return false;
    if (buffer[0] != EchoReplyType(socket.Family()) || !Wanted(sequence, SequenceOf(buffer.data())))
      continue;
    answer.Sequence = SequenceOf(buffer.data());
    const size_t echoed = std::min(size_t(received), buffer.size()) - IcmpHeaderSize;
    const auto from = FromSockAddr(reinterpret_cast<const sockaddr*>(&source), message.msg_namelen);
    answer.Address = from ? from->Address : TNetAddress();
    answer.Status = IpSuccess;
    answer.Ttl = ReceivedTtl(message);
    answer.Data.assign(buffer.begin() + IcmpHeaderSize, buffer.begin() + IcmpHeaderSize + echoed);
    return true;
  }
  return false;
}

// An ICMP error from the error queue that answers sequence: its quote starts
// with our request's ICMP header.
// The status an error queue entry means: 0 for one that is no ICMP message
// of this socket's family.
quint32 ErrorStatus(TAddressFamily family, const sock_extended_err& error) {
  if (family == TAddressFamily::IPv6)
    return error.ee_origin == SO_EE_ORIGIN_ICMP6 ? Icmp6ErrorStatus(error.ee_type, error.ee_code)
                                                 : IpSuccess;
  return error.ee_origin == SO_EE_ORIGIN_ICMP ? IcmpErrorStatus(error.ee_type, error.ee_code)
                                              : IpSuccess;
}

bool AnswersSequence(TAddressFamily family, const quint8* quote, ssize_t quoteLength,
                     TWanted sequence) {
  return quoteLength >= IcmpHeaderSize && quote[0] == EchoRequestType(family) &&
         Wanted(sequence, SequenceOf(quote));
}

const sock_extended_err* ExtendedError(msghdr& message) {
  for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
    if ((c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_RECVERR) ||
        (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_RECVERR))
      return reinterpret_cast<const sock_extended_err*>(CMSG_DATA(c));
  }
  return nullptr;
}

// Reads the error queue until an entry answers the wanted sequence; others
// are dropped.
bool ReadErrorQueue(const TEchoSocket& socket, TWanted sequence, TAnswer& answer) {
  const int fd = socket.Fd();
  for (int i = 0; i < MaxDiscards; ++i) {
    quint8 quote[64];
    iovec part{quote, sizeof quote};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(sock_extended_err) + sizeof(sockaddr_in6)) +
                                  CMSG_SPACE(sizeof(int))];
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t received = ::recvmsg(fd, &message, MSG_ERRQUEUE | MSG_DONTWAIT);
    if (received < 0 && errno == EINTR) continue;
    if (received < 0) break;
    const sock_extended_err* error = ExtendedError(message);
    if (!error) continue;
    const quint32 status = ErrorStatus(socket.Family(), *error);
    if (status == IpSuccess || !AnswersSequence(socket.Family(), quote, received, sequence))
      continue;
    // The offender follows the record, as long as the socket's family wants.
    sockaddr_storage offender{};
    const socklen_t offenderLength =
        socket.Family() == TAddressFamily::IPv6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
    std::memcpy(&offender, SO_EE_OFFENDER(error), offenderLength);
    const auto from = FromSockAddr(reinterpret_cast<const sockaddr*>(&offender), offenderLength);
    answer.Address = from ? from->Address : TNetAddress();
    answer.Status = status;
    answer.Sequence = SequenceOf(quote);
    answer.Type = error->ee_type;
    answer.Code = error->ee_code;
    if (status == IpPacketTooBig) answer.Mtu = error->ee_info;
    answer.Ttl = ReceivedTtl(message);
    return true;
  }
  // A socket error without a queue entry would keep poll reporting POLLERR.
  int pending = 0;
  socklen_t length = sizeof pending;
  ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &pending, &length);
  return false;
}

int RemainingMs(TClock::time_point deadline) {
  using namespace std::chrono;
  const auto left = duration_cast<milliseconds>(deadline - TClock::now() + 999us).count();
  return int(std::clamp<long long>(left, 0, 1 << 30));
}

// Waits for the answer to sequence until the deadline or a close.
bool AwaitAnswer(TEchoSocket& socket, TWanted sequence, quint16 dataSize,
                 TClock::time_point deadline, TAnswer& answer) {
  for (;;) {
    pollfd ready{socket.Fd(), POLLIN, 0};
    const int rc = ::poll(&ready, 1, RemainingMs(deadline));
    if (socket.Closed()) return false;
    if (rc < 0 && errno != EINTR) return false;
    if ((ready.revents & POLLERR) && ReadErrorQueue(socket, sequence, answer)) return true;
    if ((ready.revents & POLLIN) && ReadEchoReplies(socket, sequence, dataSize, answer))
      return true;
    if (rc == 0 || TClock::now() >= deadline) return false;
  }
}

quint32 ElapsedMs(TClock::time_point start) {
  using namespace std::chrono;
  return quint32(duration_cast<milliseconds>(TClock::now() - start).count());
}

// The reply record at the start of the buffer, and as much echoed data after
// it as fits. memcpy: the caller's buffer need not be aligned for the record.
void WriteReply(const TAnswer& answer, quint32 roundTrip, void* replyBuffer, quint32 replySize) {
  auto* bytes = static_cast<quint8*>(replyBuffer);
  const size_t room = replySize - sizeof(TIcmpEchoReply);
  const size_t echoed = std::min({answer.Data.size(), room, size_t(0xFFFF)});
  TIcmpEchoReply reply;
  reply.Address = answer.Address.IPv4NetOrder();
  reply.Status = answer.Status;
  reply.RoundTripTime = roundTrip;
  reply.DataSize = quint16(echoed);
  reply.Data = bytes + sizeof(TIcmpEchoReply);
  reply.Options.Ttl = answer.Ttl;
  std::memcpy(bytes, &reply, sizeof reply);
  if (echoed > 0) std::memcpy(bytes + sizeof reply, answer.Data.data(), echoed);
}

bool ValidRequest(const void* requestData, quint16 requestSize, const void* replyBuffer,
                  quint32 replySize) {
  return (requestData || requestSize == 0) && replyBuffer && replySize >= sizeof(TIcmpEchoReply);
}

// One echo service socket of a family. Errors (time-to-live expiry,
// unreachable) arrive only through the error queue, with the router's
// address; without it the service is useless.
TIcmpHandle CreateService(TAddressFamily family) {
  const bool v6 = family == TAddressFamily::IPv6;
  const int fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK,
                          v6 ? int(IPPROTO_ICMPV6) : int(IPPROTO_ICMP));
  if (fd < 0) return InvalidHandleValue;
  if (!SetIntOption(fd, v6 ? IPPROTO_IPV6 : IPPROTO_IP, v6 ? IPV6_RECVERR : IP_RECVERR, 1)) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return InvalidHandleValue;
  }
  if (v6)
    SetIntOption(fd, IPPROTO_IPV6, IPV6_RECVHOPLIMIT, 1);
  else
    SetIntOption(fd, IPPROTO_IP, IP_RECVTTL, 1);
  return Registry().Add(std::make_shared<TEchoSocket>(fd, family));
}

// One request and its answer; false for none. The destination must be of
// the handle's family.
bool SendEcho(TIcmpHandle handle, const TNetAddress& dest, const void* requestData,
              quint16 requestSize, const TIpOptionInformation* options, quint32 timeoutMs,
              TAnswer& answer, quint32& roundTrip) {
  const TEchoSocketRef socket = Registry().Find(handle);
  if (!socket || socket->Family() != dest.Family()) return false;
  std::lock_guard lock(socket->SendLock());
  if (socket->Closed() || !ApplyOptions(socket->Fd(), options)) return false;
  DiscardPending(socket->Fd());
  const quint16 sequence = socket->NextSequence();
  const TClock::time_point start = TClock::now();
  const int sendError = SendMessage(
      socket->Fd(), dest, EchoMessage(socket->Family(), sequence, requestData, requestSize));
  if (sendError == EMSGSIZE && options && (options->Flags & IpFlagDontFragment)) {
    // Larger than the known path allows, and it may not be fragmented.
    answer.Status = IpPacketTooBig;
  } else if (sendError != 0 || !AwaitAnswer(*socket, sequence, requestSize,
                                            start + std::chrono::milliseconds(timeoutMs), answer)) {
    return false;
  }
  roundTrip = ElapsedMs(start);
  return true;
}

}  // namespace

TIcmpHandle IcmpCreateFile() { return CreateService(TAddressFamily::IPv4); }

TIcmpHandle Icmp6CreateFile() { return CreateService(TAddressFamily::IPv6); }

quint32 IcmpSendEcho(TIcmpHandle handle, quint32 destAddr, const void* requestData,
                     quint16 requestSize, const TIpOptionInformation* options, void* replyBuffer,
                     quint32 replySize, quint32 timeoutMs) {
  if (!ValidRequest(requestData, requestSize, replyBuffer, replySize)) return 0;
  TAnswer answer;
  quint32 roundTrip = 0;
  if (!SendEcho(handle, TNetAddress::FromIPv4(destAddr), requestData, requestSize, options,
                timeoutMs, answer, roundTrip))
    return 0;
  WriteReply(answer, roundTrip, replyBuffer, replySize);
  return 1;
}

quint32 Icmp6SendEcho(TIcmpHandle handle, const TNetAddress& dest, const void* requestData,
                      quint16 requestSize, const TIpOptionInformation* options,
                      TIcmp6EchoReply* reply, quint32 timeoutMs) {
  if (!reply || (!requestData && requestSize != 0)) return 0;
  TAnswer answer;
  quint32 roundTrip = 0;
  if (!SendEcho(handle, dest, requestData, requestSize, options, timeoutMs, answer, roundTrip))
    return 0;
  *reply = {answer.Address, answer.Status, roundTrip, answer.Mtu};
  return 1;
}

int IcmpPostEcho(TIcmpHandle handle, const TNetAddress& dest, quint16 sequence,
                 std::span<const quint8> data, const TIpOptionInformation& options) {
  const TEchoSocketRef socket = Registry().Find(handle);
  if (!socket || socket->Family() != dest.Family()) return EBADF;
  std::lock_guard lock(socket->SendLock());
  if (socket->Closed() || !ApplyOptions(socket->Fd(), &options)) return EBADF;
  const std::vector<quint8> message =
      EchoMessage(socket->Family(), sequence, data.data(), quint16(data.size()));
  // An error message about an earlier request also leaves its error pending
  // on the socket, and the next send would report that instead of going
  // out: clear it first, and once more should one arrive in between.
  int error = 0;
  for (int attempt = 0; attempt < 2; ++attempt) {
    int pending = 0;
    socklen_t length = sizeof pending;
    ::getsockopt(socket->Fd(), SOL_SOCKET, SO_ERROR, &pending, &length);
    error = SendMessage(socket->Fd(), dest, message);
    if (error == 0 || error == EMSGSIZE) break;
  }
  return error;
}

bool IcmpAwaitPosted(TIcmpHandle handle, int timeoutMs, TPostedAnswer* posted) {
  const TEchoSocketRef socket = Registry().Find(handle);
  if (!socket) return false;
  TAnswer answer;
  if (!AwaitAnswer(*socket, std::nullopt, 0,
                   TClock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0)), answer))
    return false;
  *posted = {answer.Sequence, answer.Address, answer.Status, answer.Type, answer.Code};
  return true;
}

bool IcmpCloseHandle(TIcmpHandle handle) {
  const TEchoSocketRef socket = Registry().Take(handle);
  if (!socket) return false;
  socket->Close();
  return true;
}

quint32 IcmpErrorStatus(quint8 type, quint8 code) {
  switch (type) {
    case 3:  // destination unreachable
      return code < std::size(UnreachableStatuses) ? UnreachableStatuses[code]
                                                   : IpDestHostUnreachable;
    case 11:  // time exceeded: in transit, or while reassembling fragments
      return code == 1 ? IpTtlExpiredReassem : IpTtlExpiredTransit;
    case 12:  // parameter problem
      return IpParamProblem;
    default:  // redirect, source quench: the request went on; no answer yet
      return IpSuccess;
  }
}

quint32 Icmp6ErrorStatus(quint8 type, quint8 code) {
  // RFC 4443's unreachable codes, each onto the nearest status.
  static constexpr quint32 unreachable[] = {
      IpDestNetUnreachable,   // 0 no route to destination
      IpDestHostUnreachable,  // 1 administratively prohibited (as ICMP's 13)
      IpDestHostUnreachable,  // 2 beyond scope of source address
      IpDestHostUnreachable,  // 3 address unreachable
      IpDestPortUnreachable,  // 4 port unreachable
      IpDestHostUnreachable,  // 5 source address failed ingress/egress policy
      IpDestNetUnreachable,   // 6 reject route to destination
  };
  switch (type) {
    case Icmp6DestUnreachable:
      return code < std::size(unreachable) ? unreachable[code] : IpDestHostUnreachable;
    case Icmp6PacketTooBig:
      return IpPacketTooBig;
    case Icmp6TimeExceeded:  // hop limit, or fragment reassembly
      return code == 1 ? IpTtlExpiredReassem : IpTtlExpiredTransit;
    case Icmp6ParamProblem:
      return IpParamProblem;
    default:
      return IpSuccess;
  }
}
