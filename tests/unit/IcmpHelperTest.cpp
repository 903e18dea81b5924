// The raw-socket helper and the window's side of it: what the helper answers
// and refuses, and that a helper that misbehaves gives no socket and is never
// left running or unreaped. As root and as an ordinary user alike.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstring>

#include "TestSockets.h"
#include "platform/RawIcmpHelper.h"

namespace {

const QString BuiltHelper = QStringLiteral(OSTREKON_ICMP_HELPER);

// No child of this process is left, running or zombie.
bool NoChildLeft() { return ::waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD; }

bool MayOpenRawSockets() {
  const int fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd >= 0) ::close(fd);
  return fd >= 0;
}

int SocketOption(int fd, int name) {
  int value = -1;
  socklen_t size = sizeof value;
  ::getsockopt(fd, SOL_SOCKET, name, &value, &size);
  return value;
}

THelperRequest Request(std::uint32_t magic, std::uint16_t version, std::uint16_t kind) {
  THelperRequest request;
  request.Magic = magic;
  request.Version = version;
  request.Kind = kind;
  return request;
}

TEST(IcmpHelperTest, OpensTheSocketForAWellFormedRequestAlone) {
  const std::uint16_t rawV4 = std::uint16_t(THelperSocket::RawIcmpV4);
  // Run by root the helper holds cap_net_raw, like the installed one; run by
  // an ordinary user this built copy has no capability.
  const int granted = MayOpenRawSockets() ? 0 : EPERM;
  const struct {
    THelperRequest Request;
    int Error;
  } cases[] = {
      {Request(HelperMagic, HelperVersion, rawV4), granted},
      {Request(HelperMagic ^ 1, HelperVersion, rawV4), EINVAL},
      {Request(HelperMagic, HelperVersion + 1, rawV4), EINVAL},
      {Request(HelperMagic, HelperVersion, 0), EAFNOSUPPORT},
      {Request(HelperMagic, HelperVersion, 2), EAFNOSUPPORT},
  };
  const int socketsBefore = OpenSocketCount();
  for (const auto& c : cases) {
    errno = 0;
    const int fd = AskIcmpHelper(BuiltHelper, c.Request);
    const int error = errno;
    EXPECT_TRUE(NoChildLeft());
    if (c.Error != 0) {
      EXPECT_EQ(fd, -1) << c.Request.Kind;
      EXPECT_EQ(error, c.Error) << c.Request.Kind;
      continue;
    }
    ASSERT_GE(fd, 0) << strerror(error);
    EXPECT_EQ(SocketOption(fd, SO_DOMAIN), AF_INET);
    EXPECT_EQ(SocketOption(fd, SO_TYPE), SOCK_RAW);
    EXPECT_EQ(SocketOption(fd, SO_PROTOCOL), IPPROTO_ICMP);
    EXPECT_EQ(::fcntl(fd, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
    ::close(fd);
  }
  EXPECT_EQ(OpenSocketCount(), socketsBefore);
}

// Stand-ins for the helper, as shell scripts: each fails the window in its
// own way. The window gets no socket and the right errno, and reaps each.
TEST(IcmpHelperTest, AHelperThatMisbehavesGivesNoSocketAndIsReaped) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const struct {
    const char* Name;
    const char* Script;  // nullptr: no such file
    int Mode;
    int Error;
  } cases[] = {
      {"missing", nullptr, 0, ENOENT},
      {"not-executable", "exit 0", 0644, EACCES},
      {"silent", "exit 0", 0755, EPROTO},
      {"garbage", "printf 'garbage!' >&3", 0755, EPROTO},
      // A reply without the socket it claims to carry.
      {"claims-a-socket", "printf '1KRO\\000\\000\\000\\000' >&3", 0755, EPROTO},
      {"hangs", "exec /bin/sleep 60", 0755, ETIMEDOUT},
      // Its own error, then it lingers: killed when the wait is over.
      {"lingers", "printf '1KRO\\001\\000\\000\\000' >&3; exec /bin/sleep 60", 0755, EPERM},
  };
  const int socketsBefore = OpenSocketCount();
  for (const auto& c : cases) {
    const QString path = dir.filePath(QString::fromLatin1(c.Name));
    if (c.Script) {
      QFile script(path);
      ASSERT_TRUE(script.open(QIODevice::WriteOnly));
      script.write(QByteArray("#!/bin/sh\n") + c.Script + '\n');
      script.close();
      ::chmod(QFile::encodeName(path).constData(), mode_t(c.Mode));
    }
    errno = 0;
    EXPECT_EQ(AskIcmpHelper(path, THelperRequest{}, 300), -1) << c.Name;
    EXPECT_EQ(errno, c.Error) << c.Name << ": " << strerror(errno);
    EXPECT_TRUE(NoChildLeft()) << c.Name;
  }
  EXPECT_EQ(OpenSocketCount(), socketsBefore);
}

// The helper started otherwise than the window starts it: with an argument,
// or with a pipe instead of its socket pair on descriptor 3. It refuses (exit
// status 2) and answers nothing.
TEST(IcmpHelperTest, RefusesArgumentsAndAnyDescriptorButItsPair) {
  const struct { bool Argument, Pipe; } cases[] = {{true, false}, {false, true}};
  const QByteArray helper = QFile::encodeName(BuiltHelper);
  for (const auto& c : cases) {
    int ends[2];
    ASSERT_EQ(c.Pipe ? ::pipe2(ends, O_CLOEXEC)
                     : ::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends),
              0);
    const THelperRequest request;
    if (!c.Pipe) ::send(ends[0], &request, sizeof request, 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], HelperPairFd);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    char name[] = "ostrekon-icmp-helper", argument[] = "/etc/passwd";
    char* arguments[] = {name, c.Argument ? argument : nullptr, nullptr};
    char* environment[] = {nullptr};
    pid_t pid = -1;
    const int spawned =
        ::posix_spawn(&pid, helper.constData(), &actions, nullptr, arguments, environment);
    posix_spawn_file_actions_destroy(&actions);
    ASSERT_EQ(spawned, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << c.Argument;
    char reply[64];
    if (!c.Pipe) {
      EXPECT_EQ(::recv(ends[0], reply, sizeof reply, MSG_DONTWAIT), -1) << "it answered";
    }
    ::close(ends[0]);
    ::close(ends[1]);
  }
}

}  // namespace
