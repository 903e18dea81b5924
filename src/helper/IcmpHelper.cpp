// ostrekon-icmp-helper: opens one raw ICMP or ICMPv6 socket for the Ostrekon window,
// hands it over on the socket pair it was started with, and exits.
//
// This program, never the window, may carry cap_net_raw (setcap
// cap_net_raw+ep): the window loads Qt plugins and modules that any user can
// name through the environment or the command line, so a capability there
// would be anyone's. Here nothing is loaded and nothing outside is trusted:
// - it takes no arguments and reads no environment;
// - it links nothing but libc, and a program with file capabilities runs in
//   secure-execution mode (AT_SECURE): the dynamic loader then ignores
//   LD_PRELOAD, LD_LIBRARY_PATH and the like, so no one can put their own
//   code into it before main() either, and the kernel makes it undumpable,
//   so no one can attach to it and use its capability;
// - it gives up every capability but cap_net_raw before reading anything,
//   and that one too once the socket is open;
// - it reads one fixed-size request from descriptor 3, which must be a
//   SOCK_SEQPACKET Unix socket, and checks every field of it.
#include <linux/capability.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "helper/HelperProtocol.h"

namespace {

enum TExitCode { ExitReplied = 0, ExitNoReply = 1, ExitRefused = 2, ExitPrivilege = 3 };

// A window that starts the helper and never sends its request does not keep
// it waiting, with its capability, for longer than this.
constexpr int RequestWaitSec = 5;

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

// Reads the request: 0 when it asks for a socket this helper knows, else the
// errno to answer with. A record longer than a request is cut short and fails
// the size check; a descriptor sent along is discarded by the kernel, since
// no room is given for it.
int ReadRequest(THelperSocket* kind) {
  const timeval limit{RequestWaitSec, 0};
  if (::setsockopt(HelperPairFd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0) return EINVAL;
  unsigned char record[sizeof(THelperRequest) + 1];
  ssize_t size;
  do {
    size = ::recv(HelperPairFd, record, sizeof record, 0);
  } while (size < 0 && errno == EINTR);
  if (size != ssize_t(sizeof(THelperRequest))) return EINVAL;
  THelperRequest request;
  std::memcpy(&request, record, sizeof request);
  if (request.Magic != HelperMagic || request.Version != HelperVersion) return EINVAL;
  if (request.Kind != std::uint16_t(THelperSocket::RawIcmpV4) &&
      request.Kind != std::uint16_t(THelperSocket::RawIcmpV6))
    return EAFNOSUPPORT;
  *kind = THelperSocket(request.Kind);
  return 0;
}

int OpenSocket(THelperSocket kind) {
  switch (kind) {
    case THelperSocket::RawIcmpV4:
      return ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    case THelperSocket::RawIcmpV6:
      return ::socket(AF_INET6, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMPV6);
  }
  errno = EAFNOSUPPORT;
  return -1;
}

// The reply, with the socket when there is one.
bool SendReply(int error, int fd) {
  THelperReply reply;
  reply.Error = error;
  iovec part{&reply, sizeof reply};
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  if (fd >= 0) {
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* rights = CMSG_FIRSTHDR(&message);
    rights->cmsg_level = SOL_SOCKET;
    rights->cmsg_type = SCM_RIGHTS;
    rights->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(rights), &fd, sizeof fd);
  }
  ssize_t sent;
  do {
    sent = ::sendmsg(HelperPairFd, &message, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  return sent == ssize_t(sizeof reply);
}

int Refuse() {
  static const char text[] =
      "ostrekon-icmp-helper: only Ostrekon starts this program; it takes no arguments.\n";
  [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, text, sizeof text - 1);
  return ExitRefused;
}

}  // namespace

int main(int argc, char**) {
  // Nothing but its own name, as the window starts it.
  if (argc != 1 || !RunsAsItsCaller()) return Refuse();
  if (!KeepOnlyNetRaw()) return ExitPrivilege;
  if (!IsOurPair(HelperPairFd)) return Refuse();

  THelperSocket kind{};
  const int refused = ReadRequest(&kind);
  if (refused != 0) return SendReply(refused, -1) ? ExitRefused : ExitNoReply;
  const int fd = OpenSocket(kind);
  const int error = fd < 0 ? errno : 0;
  // Holding the socket, the helper needs its capability no more.
  if (!LimitCapsTo(false)) return ExitPrivilege;
  return SendReply(error, fd) ? ExitReplied : ExitNoReply;
}
