// Portable or installed: decided from what is there, never by writing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "common/ProgramDir.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"

namespace {

// A program directory and a home, both open to an unprivileged user.
class ProgramDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* sub : {"", "prog", "home"}) {
      QDir().mkpath(FTop.filePath(sub));
      ::chmod(QFile::encodeName(FTop.filePath(sub)).constData(), *sub ? 0777 : 0755);
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
    qunsetenv("XDG_CONFIG_DIRS");
  }
  QString Prog(const char* name = "") const { return QDir(FTop.filePath("prog")).filePath(name); }

  QTemporaryDir FTop;
};

// Each row decides in a child process (the decision is made once per
// process), as root or as nobody, who may or may not write the directory.
TEST_F(ProgramDirTest, PortableOnlyWithASettingsFileTheUserMayWrite) {
  const struct {
    bool IniBeside, AsNobody;
    mode_t DirMode;
    bool Portable;
  } cases[] = {
      {true, false, 0777, true},    // a portable copy
      {false, false, 0777, false},  // root, /usr/bin
      {true, true, 0555, false},    // a read-only portable copy
      {true, true, 0777, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.IniBeside << c.AsNobody << c.DirMode);
    QFile::remove(Prog("ostrekon.ini"));
    if (c.IniBeside) QFile(Prog("ostrekon.ini")).open(QIODevice::WriteOnly);
    ::chmod(QFile::encodeName(Prog()).constData(), c.DirMode);
    const QStringList before = QDir(Prog()).entryList(QDir::AllEntries | QDir::Hidden);
    const pid_t child = ::fork();
    if (child == 0) {
      if (c.AsNobody && ::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
        ::_exit(3);
      SetProgramDir(Prog());
      const QString dir = PortableMode() ? Prog() : FTop.filePath("home/config/qmzt/Ostrekon");
      ::_exit(SettingsDir() != QDir::cleanPath(dir) ? 2 : PortableMode() ? 1 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ::chmod(QFile::encodeName(Prog()).constData(), 0777);
    EXPECT_EQ(WEXITSTATUS(status), c.Portable ? 1 : 0);
    EXPECT_EQ(QDir(Prog()).entryList(QDir::AllEntries | QDir::Hidden), before);  // no probe file
  }
}

// An installed program's first start takes an administrator's defaults,
// never the file beside it; then the user's own file is read and written.
TEST_F(ProgramDirTest, InstalledProgramStartsFromTheAdministratorsDefaults) {
  SetProgramDir(Prog());
  ASSERT_FALSE(PortableMode());  // decided at start-up, with nothing beside it
  const QByteArray admin = "[Ping]\r\nTimeout=7\r\n";
  QDir().mkpath(FTop.filePath("xdg/qmzt/Ostrekon"));
  QFile defaults(FTop.filePath("xdg/qmzt/Ostrekon/ostrekon.ini"));
  ASSERT_TRUE(defaults.open(QIODevice::WriteOnly) && defaults.write(admin) == admin.size());
  defaults.close();
  QFile beside(Prog("ostrekon.ini"));
  ASSERT_TRUE(beside.open(QIODevice::WriteOnly) && beside.write("[Ping]\r\nTimeout=3\r\n") > 0);
  beside.close();
  qputenv("XDG_CONFIG_DIRS", FTop.filePath("xdg").toLocal8Bit());
  TSettings s;
  ASSERT_EQ(LoadSettingsFromIni(s, 1024, 768), TSettingsResult::Ok);
  EXPECT_EQ(s.FPingTimeout, 7);
  s.FPingTimeout = 9;
  ASSERT_EQ(SaveSettingsToIni(s), TSettingsResult::Ok);
  ASSERT_EQ(LoadSettingsFromIni(s, 1024, 768), TSettingsResult::Ok);
  EXPECT_EQ(s.FPingTimeout, 9);
  ASSERT_TRUE(defaults.open(QIODevice::ReadOnly));
  EXPECT_EQ(defaults.readAll(), admin);  // left as it was
}

}  // namespace
