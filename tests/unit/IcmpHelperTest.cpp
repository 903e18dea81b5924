// The raw-socket helper, and the window's side of it (AskIcmpHelper).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>

#include "TestSockets.h"
#include "platform/RawIcmpHelper.h"

namespace {

// The built helper gives a raw ICMP socket for a well-formed request alone
// (EPERM when run without the capability), and only when started as the window
// starts it; stand-ins that fail the window give it no socket, and the errno
// says how. Each is reaped, nothing leaks.
TEST(IcmpHelperTest, TheSocketComesOnlyFromAWellFormedExchange) {
  const int probe = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (probe >= 0) ::close(probe);
  const struct {
    const char* Script;  // a stand-in's shell script; nullptr: the helper as built
    THelperRequest Request;
    int Error;
  } cases[] = {
      {nullptr, {}, probe >= 0 ? 0 : EPERM},
      {nullptr, {HelperMagic ^ 1}, EINVAL},
      {nullptr, {HelperMagic, HelperVersion + 1}, EINVAL},
      {nullptr, {HelperMagic, HelperVersion, 2}, EAFNOSUPPORT},
      {"", {}, ENOENT},
      {"exit 0", {}, EPROTO},                                       // no reply
      {"printf 'XXXX\\001\\000\\000\\000' >&3", {}, EPROTO},        // not its magic
      {"printf '1KRO\\000\\000\\000\\000' >&3", {}, EPROTO},        // no socket with it
      {"exec /bin/sleep 60", {}, ETIMEDOUT},                        // killed
      {"exec '" OSTREKON_ICMP_HELPER "' /etc/passwd", {}, EPROTO},  // refused: an argument
  };
  const int sockets = OpenSocketCount();
  QTemporaryDir dir;
  for (const auto& c : cases) {
    const int row = int(&c - cases);
    QFile helper(c.Script ? dir.filePath(QString::number(row)) : OSTREKON_ICMP_HELPER);
    if (c.Script && *c.Script) {  // else no such file
      ASSERT_TRUE(helper.open(QIODevice::WriteOnly));
      helper.write(QByteArray("#!/bin/sh\n") + c.Script);
      helper.close();
      helper.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    }
    errno = -1;  // a failure must set errno
    const int fd =
        AskIcmpHelper(helper.fileName(), c.Request, c.Error == ETIMEDOUT ? 300 : IcmpHelperWaitMs);
    const int error = fd >= 0 ? 0 : errno;
    EXPECT_EQ(error, c.Error) << "row " << row << ": " << strerror(error);
    EXPECT_TRUE(fd < 0 || (::fcntl(fd, F_GETFD) & FD_CLOEXEC));
    if (fd >= 0) ::close(fd);
  }
  EXPECT_TRUE(::waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD) << "a helper was left";
  EXPECT_EQ(OpenSocketCount(), sockets);
}

// Given another kind of socket as its descriptor 3, it refuses (status 2) the
// request it finds there.
TEST(IcmpHelperTest, RefusesAnyDescriptorButItsPair) {
  int ends[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
  const THelperRequest request;
  ::send(ends[0], &request, sizeof request, 0);
  const pid_t pid = ::fork();
  if (pid == 0 && ::dup2(ends[1], HelperPairFd) == HelperPairFd)
    ::execl(OSTREKON_ICMP_HELPER, IcmpHelperName, nullptr);
  if (pid == 0) ::_exit(127);
  int status = -1;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
  ::close(ends[0]);
  ::close(ends[1]);
}

}  // namespace
