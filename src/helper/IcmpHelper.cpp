// ostrekon-icmp-helper: sends the echo requests of one Ostrekon run over a
// raw ICMP or ICMPv6 socket, and hands back what answers them.
//
// This program, never the window, may carry cap_net_raw (setcap
// cap_net_raw+ep): the window loads Qt plugins and modules that any user can
// name through the environment or the command line, so a capability there
// would be anyone's. And a raw socket in any other process's hands could send
// anything, read every ICMP message of the host, forge source addresses: so
// the socket never leaves this process. What anyone who runs it can do is
// what the window does: ask for echo requests to one host, and get back the
// answers to those requests alone. Nothing is loaded and nothing outside is
// trusted:
// - it takes no arguments and reads no environment;
// - it links nothing but libc, and a program with file capabilities runs in
//   secure-execution mode (AT_SECURE): the dynamic loader then ignores
//   LD_PRELOAD, LD_LIBRARY_PATH and the like, so no one can put their own
//   code into it before main() either, and the kernel makes it undumpable,
//   so no one can attach to it and use its capability or its socket;
// - it gives up every capability but cap_net_raw before reading anything,
//   and that one too for good once the socket is open;
// - it talks over descriptor 3 alone, which must be a SOCK_SEQPACKET Unix
//   socket, takes records of exactly one size, checks every field, and ends
//   at the first record it cannot take;
// - it builds every packet itself (an echo request, nothing else), to a
//   unicast address, with an identifier it chose, at a bounded rate;
// - it passes on only echo replies with that identifier and error messages
//   that quote one of the requests it sent.
#include <linux/capability.h>
#include <linux/icmp.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "helper/HelperProtocol.h"
#include "helper/ProbeWire.h"

namespace {

enum TExitCode { ExitDone = 0, ExitNoReply = 1, ExitRefused = 2, ExitPrivilege = 3 };

// A window that starts the helper and never says what it wants does not
// keep it waiting, with its capability, for longer than this.
constexpr int OpenWaitSec = 5;

struct TCaps {
  __user_cap_header_struct Header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct Data[_LINUX_CAPABILITY_U32S_3] = {};
};

bool GetCaps(TCaps& caps) { return ::syscall(SYS_capget, &caps.Header, caps.Data) == 0; }
bool SetCaps(TCaps& caps) { return ::syscall(SYS_capset, &caps.Header, caps.Data) == 0; }

// Sets permitted and effective to cap_net_raw (when held) or to nothing,
// inheritable to nothing, and checks that the kernel holds exactly that.
bool LimitCapsTo(bool netRaw) {
  TCaps wanted;
  if (netRaw) {
    auto& word = wanted.Data[CAP_TO_INDEX(CAP_NET_RAW)];
    word.permitted = word.effective = CAP_TO_MASK(CAP_NET_RAW);
  }
  TCaps held;
  return SetCaps(wanted) && GetCaps(held) &&
         std::memcmp(held.Data, wanted.Data, sizeof held.Data) == 0;
}

// The bounding set shrinks only with CAP_SETPCAP, which a helper with
// cap_net_raw alone does not have: then the kernel refuses and the set stays.
// That is no failure: with no_new_privs and nothing inheritable, nothing this
// process could run would gain anything anyway.
void ShrinkBoundingSet() {
  for (int cap = 0; ::prctl(PR_CAPBSET_READ, cap, 0, 0, 0) >= 0; ++cap)
    if (cap != CAP_NET_RAW && ::prctl(PR_CAPBSET_DROP, cap, 0, 0, 0) != 0) return;
}

// Keeps cap_net_raw, when this process has it, and nothing else.
bool KeepOnlyNetRaw() {
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return false;
  ShrinkBoundingSet();
  // EINVAL: a kernel without ambient capabilities, so there are none to clear.
  if (::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0) != 0 && errno != EINVAL)
    return false;
  TCaps held;
  if (!GetCaps(held)) return false;
  return LimitCapsTo(held.Data[CAP_TO_INDEX(CAP_NET_RAW)].permitted & CAP_TO_MASK(CAP_NET_RAW));
}

// A setuid or setgid copy would run with someone else's identity, which this
// program is not made to hold.
bool RunsAsItsCaller() { return ::getuid() == ::geteuid() && ::getgid() == ::getegid(); }

bool IsOurPair(int fd) {
  int domain = 0, type = 0;
  socklen_t size = sizeof domain;
  if (::getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &size) != 0 || domain != AF_UNIX)
    return false;
  size = sizeof type;
  return ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &size) == 0 && type == SOCK_SEQPACKET;
}

int Refuse() {
  static const char text[] =
      "ostrekon-icmp-helper: only Ostrekon starts this program; it takes no arguments.\n";
  [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, text, sizeof text - 1);
  return ExitRefused;
}

std::uint64_t NowNs() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return std::uint64_t(now.tv_sec) * 1000000000u + std::uint64_t(now.tv_nsec);
}

bool SendRecord(const void* record, size_t size) {
  ssize_t sent;
  do {
    sent = ::send(HelperPairFd, record, size, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  return sent == ssize_t(size);
}

// Receives one record of exactly size bytes: its size, 0 when the window
// has closed its end, -1 on a failure. A longer record is cut short and so
// fails the caller's size check; a descriptor sent along is discarded by
// the kernel, since no room is given for it.
ssize_t ReceiveRecord(void* record, size_t size) {
  unsigned char buffer[sizeof(THelperProbe) + 1];
  static_assert(sizeof(THelperOpen) <= sizeof(THelperProbe));
  ssize_t received;
  do {
    received = ::recv(HelperPairFd, buffer, size + 1, 0);
  } while (received < 0 && errno == EINTR);
  if (received == ssize_t(size)) std::memcpy(record, buffer, size);
  return received;
}

void DiscardWaitingRecords() {
  unsigned char scrap[sizeof(THelperProbe) + 1];
  while (::recv(HelperPairFd, scrap, sizeof scrap, MSG_DONTWAIT) > 0) {
  }
}

// --- The run's socket ---------------------------------------------------------

// Reads the open record: 0 when it asks for a socket this helper knows, else
// the errno to answer with.
int ReadOpen(THelperSocket* kind) {
  const timeval limit{OpenWaitSec, 0};
  if (::setsockopt(HelperPairFd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0) return EINVAL;
  THelperOpen open;
  if (ReceiveRecord(&open, sizeof open) != ssize_t(sizeof open)) return EINVAL;
  if (open.Magic != HelperMagic || open.Version != HelperVersion) return EINVAL;
  if (open.Kind != std::uint16_t(THelperSocket::RawIcmpV4) &&
      open.Kind != std::uint16_t(THelperSocket::RawIcmpV6))
    return EAFNOSUPPORT;
  *kind = THelperSocket(open.Kind);
  const timeval none{};
  return ::setsockopt(HelperPairFd, SOL_SOCKET, SO_RCVTIMEO, &none, sizeof none) == 0 ? 0 : EINVAL;
}

// Only what can answer an echo request comes in; our own requests on
// loopback and everything else of the host's stay out.
bool SetAnswerFilter(int fd, bool v6) {
  if (v6) {
    icmp6_filter filter;
    ICMP6_FILTER_SETBLOCKALL(&filter);
    for (const int type : {ICMP6_ECHO_REPLY, ICMP6_DST_UNREACH, ICMP6_PACKET_TOO_BIG,
                           ICMP6_TIME_EXCEEDED, ICMP6_PARAM_PROB})
      ICMP6_FILTER_SETPASS(type, &filter);
    return ::setsockopt(fd, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter) == 0;
  }
  icmp_filter filter{};
  filter.data = ~((1u << ICMP_ECHOREPLY) | (1u << ICMP_DEST_UNREACH) | (1u << ICMP_TIME_EXCEEDED) |
                  (1u << ICMP_PARAMETERPROB));
  return ::setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter) == 0;
}

int OpenSocket(THelperSocket kind) {
  const bool v6 = kind == THelperSocket::RawIcmpV6;
  const int fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK,
                          v6 ? int(IPPROTO_ICMPV6) : int(IPPROTO_ICMP));
  if (fd < 0 || SetAnswerFilter(fd, v6)) return fd;
  const int error = errno;
  ::close(fd);
  errno = error;
  return -1;
}

std::uint16_t ChooseIdentifier() {
  std::uint16_t identifier = 0;
  if (::getrandom(&identifier, sizeof identifier, 0) != ssize_t(sizeof identifier))
    identifier = std::uint16_t(::getpid());
  return identifier;
}

// --- The probes -----------------------------------------------------------------

// When each sequence number of the run was last sent, in ns; 0: never.
std::uint64_t SentAt[65536];

// One run: its socket, its identifier, the options set on the socket, and
// what is left of its rate.
struct TRun {
  int Fd = -1;
  bool V6 = false;
  std::uint16_t Identifier = 0;
  int HopLimit = -1, TrafficClass = -1, DontFragment = -1;
  // Rate: credit in ns, 10 ms a request, up to a second's worth.
  std::uint64_t Credit = 1000000000u;
  std::uint64_t CreditAt = 0;
};

constexpr std::uint64_t CostNs = 1000000000u / HelperRequestsPerSecond;

bool TakeCredit(TRun& run) {
  const std::uint64_t now = NowNs();
  run.Credit += now - run.CreditAt;
  if (run.Credit > 1000000000u) run.Credit = 1000000000u;
  run.CreditAt = now;
  if (run.Credit < CostNs) return false;
  run.Credit -= CostNs;
  return true;
}

bool ReservedClear(const THelperProbe& probe, bool v6) {
  if (probe.Reserved != 0 || probe.DontFragment > 1) return false;
  if (v6) return true;
  if (probe.ScopeId != 0) return false;
  for (int i = 4; i < 16; ++i)
    if (probe.Address[i] != 0) return false;
  return true;
}

// 0 when the probe is within the bounds, else why not.
THelperRefusal CheckProbe(const THelperProbe& probe, TRun& run) {
  if (probe.Magic != HelperMagic || !ReservedClear(probe, run.V6)) return THelperRefusal::Malformed;
  if (!WireIsUnicast({probe.Address, run.V6 ? 16u : 4u})) return THelperRefusal::NotUnicast;
  if (probe.DataSize < HelperMinDataSize || probe.DataSize > HelperMaxDataSize)
    return THelperRefusal::DataSize;
  if (probe.HopLimit == 0) return THelperRefusal::HopLimit;
  if (!TakeCredit(run)) return THelperRefusal::Rate;
  return THelperRefusal(0);
}

// Set once for a run of equal requests; a refused one is tried again.
void SetOption(int fd, int level, int name, int value, int* current) {
  if (*current != value && ::setsockopt(fd, level, name, &value, sizeof value) == 0)
    *current = value;
}

void ApplyOptions(TRun& run, const THelperProbe& probe) {
  const int fd = run.Fd;
  if (run.V6) {
    SetOption(fd, IPPROTO_IPV6, IPV6_UNICAST_HOPS, probe.HopLimit, &run.HopLimit);
    SetOption(fd, IPPROTO_IPV6, IPV6_TCLASS, probe.TrafficClass, &run.TrafficClass);
    SetOption(fd, IPPROTO_IPV6, IPV6_DONTFRAG, probe.DontFragment, &run.DontFragment);
    return;
  }
  SetOption(fd, IPPROTO_IP, IP_TTL, probe.HopLimit, &run.HopLimit);
  SetOption(fd, IPPROTO_IP, IP_TOS, probe.TrafficClass, &run.TrafficClass);
  // The Linux default sets the flag on every packet that fits the path, so
  // "may fragment" has to be said explicitly.
  SetOption(fd, IPPROTO_IP, IP_MTU_DISCOVER,
            probe.DontFragment ? IP_PMTUDISC_DO : IP_PMTUDISC_DONT, &run.DontFragment);
}

// errno of the send, 0 when the request went out whole.
int SendProbe(TRun& run, const THelperProbe& probe) {
  static std::uint8_t request[WireIcmpHeaderSize + HelperMaxDataSize];
  // A refused option leaves the system's default; the request still goes
  // out, as from a socket of the window's own.
  ApplyOptions(run, probe);
  sockaddr_storage to{};
  socklen_t toLength;
  if (run.V6) {
    auto* to6 = reinterpret_cast<sockaddr_in6*>(&to);
    to6->sin6_family = AF_INET6;
    std::memcpy(&to6->sin6_addr, probe.Address, 16);
    to6->sin6_scope_id = probe.ScopeId;
    toLength = sizeof *to6;
  } else {
    auto* to4 = reinterpret_cast<sockaddr_in*>(&to);
    to4->sin_family = AF_INET;
    std::memcpy(&to4->sin_addr, probe.Address, 4);
    toLength = sizeof *to4;
  }
  const std::uint64_t now = NowNs();
  WireBuildEcho(request, run.V6, probe.DataSize, run.Identifier, probe.Sequence,
                std::uint32_t(now / 1000000u));
  const size_t size = size_t(WireIcmpHeaderSize + probe.DataSize);
  ssize_t sent;
  do {
    sent = ::sendto(run.Fd, request, size, 0, reinterpret_cast<sockaddr*>(&to), toLength);
  } while (sent < 0 && errno == EINTR);
  if (sent != ssize_t(size)) return sent < 0 ? errno : EMSGSIZE;
  SentAt[probe.Sequence] = now;
  return 0;
}

// Serves one request from the window: false when the run ends here.
bool ServeRequest(TRun& run) {
  THelperProbe probe;
  const ssize_t size = ReceiveRecord(&probe, sizeof probe);
  if (size == 0) return false;  // the window closed its end: Stop, or the run is over
  THelperAnswer answer;
  const THelperRefusal refusal =
      size == ssize_t(sizeof probe) ? CheckProbe(probe, run) : THelperRefusal::Malformed;
  if (refusal != THelperRefusal(0)) {
    answer.Event = std::uint16_t(THelperEvent::Refused);
    answer.Error = std::int32_t(refusal);
    SendRecord(&answer, sizeof answer);
    // Records left unread when a Unix socket closes turn into ECONNRESET on
    // the other side, which can then lose the refusal before reading it.
    DiscardWaitingRecords();
    return false;
  }
  const int error = SendProbe(run, probe);
  answer.Event = std::uint16_t(error == 0 ? THelperEvent::Sent : THelperEvent::SendFailed);
  answer.Sequence = probe.Sequence;
  answer.Error = error;
  return SendRecord(&answer, sizeof answer);
}

// Hands on one datagram when it answers a request of this run.
bool PassOn(TRun& run, const std::uint8_t* datagram, size_t size, const sockaddr_storage& from,
            std::uint64_t arrival) {
  const TWireEcho echo = WireReadEcho({datagram, size}, run.V6, run.Identifier);
  if (echo.Kind == TWireKind::Other || SentAt[echo.Sequence] == 0) return true;
  static std::uint8_t record[sizeof(THelperAnswer) + HelperMaxDatagram];
  THelperAnswer answer;
  answer.Event = std::uint16_t(THelperEvent::Received);
  answer.Sequence = echo.Sequence;
  answer.ElapsedMicroseconds = std::uint32_t((arrival - SentAt[echo.Sequence]) / 1000u);
  if (run.V6) {
    const auto& from6 = reinterpret_cast<const sockaddr_in6&>(from);
    std::memcpy(answer.Source, &from6.sin6_addr, 16);
    answer.SourceScopeId = from6.sin6_scope_id;
  } else {
    std::memcpy(answer.Source, &reinterpret_cast<const sockaddr_in&>(from).sin_addr, 4);
  }
  if (size > size_t(HelperMaxDatagram)) size = HelperMaxDatagram;
  std::memcpy(record, &answer, sizeof answer);
  std::memcpy(record + sizeof answer, datagram, size);
  return SendRecord(record, sizeof answer + size);
}

// Reads every datagram waiting on the socket; false when the window is gone.
bool ServeSocket(TRun& run) {
  static std::uint8_t datagram[65536];
  for (;;) {
    sockaddr_storage from{};
    socklen_t fromLength = sizeof from;
    const ssize_t size = ::recvfrom(run.Fd, datagram, sizeof datagram, MSG_DONTWAIT,
                                    reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (size < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    if (!PassOn(run, datagram, size_t(size), from, NowNs())) return false;
  }
}

int Serve(TRun& run) {
  run.CreditAt = NowNs();
  for (;;) {
    pollfd ready[2] = {{HelperPairFd, POLLIN, 0}, {run.Fd, POLLIN, 0}};
    if (::poll(ready, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return ExitNoReply;
    }
    if ((ready[1].revents & POLLIN) && !ServeSocket(run)) return ExitDone;
    if (ready[0].revents & (POLLIN | POLLHUP | POLLERR))
      if (!ServeRequest(run)) return ExitDone;
  }
}

}  // namespace

int main(int argc, char**) {
  // Nothing but its own name, as the window starts it.
  if (argc != 1 || !RunsAsItsCaller()) return Refuse();
  if (!KeepOnlyNetRaw()) return ExitPrivilege;
  if (!IsOurPair(HelperPairFd)) return Refuse();

  THelperSocket kind{};
  THelperReady ready;
  TRun run;
  ready.Error = ReadOpen(&kind);
  if (ready.Error == 0) {
    run.Fd = OpenSocket(kind);
    run.V6 = kind == THelperSocket::RawIcmpV6;
    ready.Error = run.Fd < 0 ? errno : 0;
  }
  // Holding the socket, or none, the helper needs its capability no more.
  if (!LimitCapsTo(false)) return ExitPrivilege;
  run.Identifier = ready.Identifier = ChooseIdentifier();
  if (!SendRecord(&ready, sizeof ready)) return ExitNoReply;
  return ready.Error == 0 ? Serve(run) : ExitRefused;
}
