#include "platform/RawIcmpHelper.h"

#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <cerrno>
#include <cstring>
#include <utility>

#include "common/ProgramDir.h"

namespace {

QMutex PathLock;
QString OverridePath;  // guarded by PathLock

// Where the helper goes, relative to the program's directory, when installed.
constexpr char InstalledDir[] = OSTREKON_HELPER_RELDIR;

// Closes a descriptor it owns, keeping errno.
class TFd {
 public:
  explicit TFd(int fd = -1) : FFd(fd) {}
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  ~TFd() { Reset(); }
  int Get() const { return FFd; }
  int Take() { return std::exchange(FFd, -1); }
  void Reset(int fd = -1) {
    if (FFd >= 0) {
      const int error = errno;
      ::close(FFd);
      errno = error;
    }
    FFd = fd;
  }

 private:
  int FFd;
};

// Waits until fd has something to read, or the deadline passes.
bool WaitReadable(int fd, const QDeadlineTimer& deadline) {
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, int(deadline.remainingTime()));
    if (ready >= 0 || errno != EINTR) return ready > 0;
  }
}

// The helper gets its end of the pair as descriptor 3 and no other
// descriptor of this process, no environment and no arguments; signals as
// a fresh process has them.
pid_t SpawnHelper(const QByteArray& path, int pairEnd) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pairEnd, HelperPairFd);
  posix_spawn_file_actions_addclosefrom_np(&actions, HelperPairFd + 1);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  char name[sizeof IcmpHelperName];
  std::memcpy(name, IcmpHelperName, sizeof name);
  char* arguments[] = {name, nullptr};
  char* environment[] = {nullptr};
  pid_t pid = -1;
  const int error =
      ::posix_spawn(&pid, path.constData(), &actions, &attributes, arguments, environment);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  errno = error;
  return error == 0 ? pid : -1;
}

// The helper exits as soon as it has replied; one that has not by the
// deadline is killed. Either way it is reaped here: no zombie is left, and a
// helper that hangs cannot hang the worker.
void Reap(pid_t pid, const QDeadlineTimer& deadline) {
  const int error = errno;
  const TFd exited(int(::syscall(SYS_pidfd_open, pid, 0)));
  if (exited.Get() >= 0) WaitReadable(exited.Get(), deadline);
  if (::waitpid(pid, nullptr, WNOHANG) == 0) {
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  errno = error;
}

int SocketOption(int fd, int name) {
  int value = -1;
  socklen_t size = sizeof value;
  return ::getsockopt(fd, SOL_SOCKET, name, &value, &size) == 0 ? value : -1;
}

// A helper that answers with any other socket is not ours to trust.
bool IsRequestedSocket(int fd, const THelperRequest& request) {
  int domain = AF_INET, protocol = IPPROTO_ICMP;
  if (request.Kind == std::uint16_t(THelperSocket::RawIcmpV6))
    domain = AF_INET6, protocol = IPPROTO_ICMPV6;
  else if (request.Kind != std::uint16_t(THelperSocket::RawIcmpV4))
    return false;
  return SocketOption(fd, SO_DOMAIN) == domain && SocketOption(fd, SO_TYPE) == SOCK_RAW &&
         SocketOption(fd, SO_PROTOCOL) == protocol;
}

// Reads the helper's reply: the socket, or -1 with errno. Anything but one
// whole reply with at most one descriptor is EPROTO.
int ReceiveReply(int fd, const THelperRequest& request, const QDeadlineTimer& deadline) {
  if (!WaitReadable(fd, deadline)) {
    errno = ETIMEDOUT;
    return -1;
  }
  THelperReply reply;
  iovec part{&reply, sizeof reply};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  ssize_t size;
  do {
    size = ::recvmsg(fd, &message, MSG_CMSG_CLOEXEC | MSG_DONTWAIT);
  } while (size < 0 && errno == EINTR);
  // Only one descriptor fits: the kernel closes any more and says so.
  TFd received;
  const cmsghdr* rights = size > 0 ? CMSG_FIRSTHDR(&message) : nullptr;
  if (rights && rights->cmsg_level == SOL_SOCKET && rights->cmsg_type == SCM_RIGHTS &&
      rights->cmsg_len == CMSG_LEN(sizeof(int))) {
    int passed = -1;
    std::memcpy(&passed, CMSG_DATA(rights), sizeof passed);
    received.Reset(passed);
  }
  const bool whole = size == ssize_t(sizeof reply) && reply.Magic == HelperMagic &&
                     !(message.msg_flags & (MSG_TRUNC | MSG_CTRUNC));
  if (whole && reply.Error > 0 && reply.Error < 4096 && received.Get() < 0) {
    errno = reply.Error;
    return -1;
  }
  if (whole && reply.Error == 0 && IsRequestedSocket(received.Get(), request))
    return received.Take();
  errno = EPROTO;
  return -1;
}

}  // namespace

QString IcmpHelperPath() {
  {
    const QMutexLocker lock(&PathLock);
    if (!OverridePath.isEmpty()) return OverridePath;
  }
  const QString programDir = ProgramDir();
  if (!QDir::isAbsolutePath(programDir)) return {};
  const QDir dir(programDir);
  const QString installed =
      QDir::cleanPath(dir.filePath(QString::fromLatin1(InstalledDir) + u'/' + IcmpHelperName));
  const QString beside = dir.filePath(QString::fromLatin1(IcmpHelperName));
  return QFileInfo::exists(installed) || !QFileInfo::exists(beside) ? installed : beside;
}

void SetIcmpHelperPath(const QString& path) {
  const QMutexLocker lock(&PathLock);
  OverridePath = path;
}

int AskIcmpHelper(const QString& helper, const THelperRequest& request, int timeoutMs) {
  if (helper.isEmpty()) {
    errno = ENOENT;
    return -1;
  }
  int pair[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return -1;
  const TFd ours(pair[0]);
  TFd theirs(pair[1]);
  // Sent before the start: the helper finds it waiting.
  if (::send(ours.Get(), &request, sizeof request, MSG_NOSIGNAL) != ssize_t(sizeof request))
    return -1;
  const pid_t pid = SpawnHelper(QFile::encodeName(helper), theirs.Get());
  if (pid < 0) return -1;
  // Without our copy of its end, the pair reports the helper's exit.
  theirs.Reset();
  const QDeadlineTimer deadline(timeoutMs);
  const int fd = ReceiveReply(ours.Get(), request, deadline);
  Reap(pid, deadline);
  return fd;
}
