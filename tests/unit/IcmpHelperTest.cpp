// The raw-socket helper's start, and the window's side of it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstring>

#include "TestSockets.h"
#include "common/ProgramDir.h"
#include "platform/RawIcmpHelper.h"

namespace {

// Sends the helper at path an open record of one's own making and reads its
// answer: 0 for a run opened, else the errno it answered with, EPROTO for
// anything else.
int OpenWith(const QString& path, const THelperOpen& open) {
  pid_t pid = -1;
  const int pair = StartIcmpHelper(path, &pid);
  if (pair < 0) return errno;
  THelperReady ready;
  ready.Magic = 0;
  ::send(pair, &open, sizeof open, MSG_NOSIGNAL);
  const bool answered = ::recv(pair, &ready, sizeof ready, 0) == ssize_t(sizeof ready);
  EndIcmpHelper(pair, pid);
  return answered && ready.Magic == HelperMagic ? ready.Error : EPROTO;
}

// The built helper opens a run for a well-formed open record alone (EPERM
// when run without the capability), and only when started as the window
// starts it; stand-ins that fail the window open no run, and the errno says
// how. Each is reaped, nothing leaks.
TEST(IcmpHelperTest, ARunOpensOnlyFromAWellFormedExchange) {
  const int probe = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (probe >= 0) ::close(probe);
  const THelperOpen good;
  const struct {
    const char* Script;  // a stand-in's shell script; nullptr: the helper as built
    THelperOpen Open;
    int Error;
  } cases[] = {
      {nullptr, good, probe >= 0 ? 0 : EPERM},
      {nullptr, {HelperMagic ^ 1}, EINVAL},
      {nullptr, {HelperMagic, HelperVersion - 1}, EINVAL},
      {nullptr, {HelperMagic, HelperVersion, 2}, EAFNOSUPPORT},
      {"", good, ENOENT},
      {"exit 0", good, EPROTO},                                            // no answer
      {"printf 'XXXX\\000\\000\\000\\000\\001\\000\\000\\000' >&3", good, EPROTO},  // not its magic
      {"printf '2KRO\\000\\000\\000\\000' >&3", good, EPROTO},     // cut short
      {"exec /bin/sleep 60", good, ETIMEDOUT},                             // killed
      {"exec '" OSTREKON_ICMP_HELPER "' /etc/passwd", good, EPROTO},       // refused: an argument
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
    int error;
    if (std::memcmp(&c.Open, &good, sizeof good) != 0) {
      error = OpenWith(helper.fileName(), c.Open);
    } else {
      const auto link = OpenHelperLink(helper.fileName(), TAddressFamily::IPv4,
                                       c.Error == ETIMEDOUT ? 300 : IcmpHelperWaitMs);
      error = link ? 0 : errno;
    }
    EXPECT_EQ(error, c.Error) << "row " << row << ": " << strerror(error);
  }
  EXPECT_TRUE(::waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD) << "a helper was left";
  EXPECT_EQ(OpenSocketCount(), sockets);
}

// Given another kind of socket as its descriptor 3, it refuses (status 2) the
// request it finds there.
TEST(IcmpHelperTest, RefusesAnyDescriptorButItsPair) {
  int ends[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
  const THelperOpen open;
  ::send(ends[0], &open, sizeof open, 0);
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

// The installed helper, in its libexec directory, wins; the one beside the
// program is taken only without it (a build tree).
TEST(IcmpHelperTest, FoundInstalledOrElseBesideTheProgram) {
  QTemporaryDir dir;
  const QString bin = dir.filePath(QStringLiteral("bin"));
  ASSERT_TRUE(QDir().mkpath(bin));
  SetProgramDir(bin);
  const QString installed = IcmpHelperPath(), beside = bin + u'/' + IcmpHelperName;
  ASSERT_NE(installed, beside);
  ASSERT_TRUE(QDir().mkpath(QFileInfo(installed).path()));
  const struct {
    bool Installed, Beside, FindsBeside;
  } cases[] = {{false, false, false}, {false, true, true}, {true, false, false}, {true, true, false}};
  for (const auto& c : cases) {
    for (const auto& [path, present] : {std::pair{installed, c.Installed}, {beside, c.Beside}}) {
      QFile file(path);
      ASSERT_TRUE(present ? file.open(QIODevice::WriteOnly) : !file.exists() || file.remove());
    }
    EXPECT_EQ(IcmpHelperPath(), c.FindsBeside ? beside : installed) << int(&c - cases);
  }
  SetProgramDir({});
}

}  // namespace
