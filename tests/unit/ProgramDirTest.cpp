// Portable or installed: decided from what is there, never by writing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "common/ProgramDir.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"

namespace {

constexpr uid_t Nobody = 65534;

// A program directory and a home for the user's places, reachable by an
// unprivileged user, so that root's rights can be set aside in a child.
class ProgramDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FTop.isValid());
    ::chmod(QFile::encodeName(FTop.path()).constData(), 0755);
    for (const char* sub : {"prog", "home"}) {
      ASSERT_TRUE(QDir(FTop.path()).mkdir(sub));
      ::chmod(QFile::encodeName(FTop.filePath(sub)).constData(), 0777);
    }
    SetProgramFileName("ostrekon");
    qputenv("XDG_CONFIG_HOME", FTop.filePath("home/config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", FTop.filePath("home/data").toLocal8Bit());
  }
  void TearDown() override {
    SetProgramDir(QString());
    SetProgramFileName(QString());
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_DATA_HOME");
  }
  QString Prog() const { return FTop.filePath("prog"); }
  QStringList ProgEntries() const {
    return QDir(Prog()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  }

  QTemporaryDir FTop;
};

// Each row decides in a child process of its own (the decision is made once
// per process and directory), as root or as an ordinary user who may or may
// not write the program directory.
TEST_F(ProgramDirTest, PortableOnlyWithASettingsFileTheUserMayWrite) {
  struct TCase {
    const char* Name;
    bool IniBeside;
    bool AsOrdinaryUser;
    mode_t DirMode;
    bool Portable;
  } const cases[] = {
      {"portable copy", true, false, 0777, true},
      {"root with no settings file beside the program", false, false, 0777, false},
      {"user with no settings file beside the program", false, true, 0777, false},
      {"user who may not write the program directory", true, true, 0555, false},
      {"user who may write it", true, true, 0777, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    QFile::remove(QDir(Prog()).filePath("ostrekon.ini"));
    if (c.IniBeside) QFile(QDir(Prog()).filePath("ostrekon.ini")).open(QIODevice::WriteOnly);
    ::chmod(QFile::encodeName(Prog()).constData(), c.DirMode);
    const QStringList before = ProgEntries();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Not root: the directory's mode alone bars this user.
      if (c.AsOrdinaryUser && ::getuid() == 0 && (::setgid(Nobody) != 0 || ::setuid(Nobody) != 0))
        ::_exit(3);
      SetProgramDir(Prog());
      const bool portable = PortableMode();
      const QString expected = portable ? Prog() : FTop.filePath("home/config/qmzt/Ostrekon");
      ::_exit(SettingsDir() == expected ? (portable ? 1 : 0) : 2);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ::chmod(QFile::encodeName(Prog()).constData(), 0777);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), c.Portable ? 1 : 0);
    EXPECT_EQ(ProgEntries(), before);  // nothing was written to find out
  }
}

// An installed program's first start takes the file beside it as its first
// settings; from then on the user's own file is read and written.
TEST_F(ProgramDirTest, InstalledProgramStartsFromTheSettingsBesideIt) {
  SetProgramDir(Prog());
  ASSERT_FALSE(PortableMode());  // decided at start-up, with nothing beside it
  QFile admin(QDir(Prog()).filePath("ostrekon.ini"));
  ASSERT_TRUE(admin.open(QIODevice::WriteOnly));
  admin.write("[Ping]\r\nTimeout=7\r\n");
  admin.close();

  TSettings first;
  ASSERT_EQ(LoadSettingsFromIni(first, 1024, 768), TSettingsResult::Ok);
  EXPECT_EQ(first.FPingTimeout, 7);
  first.FPingTimeout = 9;
  ASSERT_EQ(SaveSettingsToIni(first), TSettingsResult::Ok);

  TSettings next;
  ASSERT_EQ(LoadSettingsFromIni(next, 1024, 768), TSettingsResult::Ok);
  EXPECT_EQ(next.FPingTimeout, 9);
  EXPECT_EQ(QFileInfo(SettingsIniPath()).absolutePath(), FTop.filePath("home/config/qmzt/Ostrekon"));
  ASSERT_TRUE(admin.open(QIODevice::ReadOnly));
  EXPECT_EQ(admin.readAll(), QByteArray("[Ping]\r\nTimeout=7\r\n"));  // left as it was
}

}  // namespace
