#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <climits>
#include <csignal>
#include <thread>

#include "settings/IniFile.h"

namespace {

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class IniFileTest : public ::testing::Test {
 protected:
  TIniFile Loaded(const QByteArray& text) {
    QFile f(Path());
    EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(text) == text.size());
    f.close();
    TIniFile ini(Path());
    EXPECT_TRUE(ini.Load());
    return ini;
  }
  QString Path() const { return FDir.filePath("test.ini"); }

  QTemporaryDir FDir;
};

TEST(IniInteger, ProfileIntegerRules) {
  const struct {
    const char* FText;
    std::optional<int> FValue;
  } cases[] = {
      {"500", 500},
      {"0x1F4", 500},
      {"0X1f4", 500},
      {"$1F4", 500},
      {"  42", 42},
      {"-7", -7},
      {"+7", 7},
      {"-$10", -16},
      {"0x", {}},
      {"$", {}},
      {"0x1G", {}},
      {"12a", {}},
      {"42 ", {}},
      {"", {}},
      {"x10", {}},
      {"-2147483648", INT_MIN},
      {"2147483647", INT_MAX},
      {"2147483648", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseProfileInteger(QString::fromLatin1(c.FText)), c.FValue) << c.FText;
  }
}

TEST_F(IniFileTest, ReadingFollowsTheProfileRules) {
  const TIniFile ini = Loaded(
      "Orphan=before any section\r\n"
      "[ Ping ]\r\n"
      "  Timeout = 0x1F4  \r\n"
      "Name=\"  quoted  \"\r\n"
      "Single='x'\r\n"
      "Empty=\r\n"
      "no equals sign here\r\n"
      "Dup=first\r\n"
      "dup=second\r\n"
      // ソ and 表 end in 0x5C ("\"): the names must still match.
      "[\x83\x5c\x83\x74\x83\x67]\n\x95\x5c\x8e\xa6=\x83\x5c\n");
  EXPECT_EQ(ini.ReadInteger(u"PING", u"timeout", 0), 500);
  EXPECT_EQ(ini.ReadString(u"ping", u"NAME", "d"), "  quoted  ");
  EXPECT_EQ(ini.ReadString(u"Ping", u"Single", "d"), "x");
  EXPECT_EQ(ini.ReadString(u"Ping", u"Empty", "d"), "");
  EXPECT_EQ(ini.ReadString(u"Ping", u"Dup", "d"), "first");
  EXPECT_EQ(ini.ReadString(u"Ping", u"Missing", "d"), "d");
  EXPECT_EQ(ini.ReadString(u"", u"Orphan", "d"), "d");
  EXPECT_EQ(ini.ReadInteger(u"Ping", u"Name", -1), -1);
  EXPECT_EQ(ini.ReadString(u"ソフト", u"表示", ""), "ソ");
}

TEST_F(IniFileTest, LongValuesAreCutAtACharacterBoundary) {
  const QByteArray fits(MaxIniValueBytes, 'a');
  const QByteArray split = QByteArray(MaxIniValueBytes - 1, 'b') + "\x93\xfa";  // 日 on 1023/1024
  const TIniFile ini = Loaded("[S]\r\nfits=" + fits + "x\r\nsplit=" + split + "\r\n");
  EXPECT_EQ(ini.ReadValue(u"S", u"fits"), fits);
  EXPECT_EQ(ini.ReadValue(u"S", u"split"), QByteArray(MaxIniValueBytes - 1, 'b'));
}

// Files that fight back: binary noise, a line of a megabyte, ten megabytes
// of keys. The load takes them, and the good keys after them still read.
TEST_F(IniFileTest, HostileFilesStillLoad) {
  QByteArray noise;
  for (int i = 0; i < 65536; ++i) noise += char((i * 7919 + i / 256) & 0xFF);
  QByteArray many = "[Many]\r\n";
  while (many.size() < 10 * 1024 * 1024) many += "key" + QByteArray::number(many.size()) + "=v\r\n";
  const struct {
    const char* Name;
    QByteArray Junk;
  } cases[] = {
      {"binary", noise},
      {"1 MB line", "[Big]\r\nhuge=" + QByteArray(1024 * 1024, 'h') + "\r\n"},
      {"10 MB file", many},
  };
  for (const auto& c : cases) {
    const TIniFile ini = Loaded(c.Junk + "\r\n[Others]\r\nFontSize=12\r\n");
    EXPECT_EQ(ini.ReadValue(u"Others", u"FontSize"), "12") << c.Name;
    EXPECT_LE(ini.ReadValue(u"Big", u"huge").value_or("").size(), MaxIniValueBytes) << c.Name;
  }
}

TEST_F(IniFileTest, WritingKeepsEverythingElseAndEndsLinesWithCrLf) {
  TIniFile ini = Loaded(
      "; kept\n"
      "[Ping]\n"
      "Timeout = 5\n"
      "Unknown=\x83\x7a\x83\x58\x83\x67\n"
      "\n"
      "[HTTP]\n"
      "URL0=http://a/");
  ini.WriteString(u"ping", u"TIMEOUT", "5");  // same value: the line stays as it is
  EXPECT_FALSE(ini.Modified());
  ini.WriteString(u"Ping", u"Delay", "500");
  ini.WriteString(u"HTTP", u"URL0", "http://b/");
  ini.WriteString(u"Others", u"Clear", "0");
  ASSERT_TRUE(ini.Save());
  EXPECT_EQ(ReadAll(Path()),
            "; kept\r\n[Ping]\r\nTimeout = 5\r\nUnknown=\x83\x7a\x83\x58\x83\x67\r\nDelay=500\r\n"
            "\r\n[HTTP]\r\nURL0=http://b/\r\n[Others]\r\nClear=0\r\n");
}

TEST_F(IniFileTest, TextsComeBackExactlyAsWritten) {
  const QString texts[] = {"",      " lead", "trail ",   "\"q\"", "'s'",
                           "a=b;c", "[x]",   "日本語ｶﾅ", "\"open"};
  TIniFile ini(Path());
  int i = 0;
  for (const QString& t : texts) ini.WriteString(u"S", QString::number(i++), t);
  ini.WriteString(u"S", u"lines", "one\r\nX=two");
  ASSERT_TRUE(ini.Save());
  TIniFile again(Path());
  ASSERT_TRUE(again.Load());
  i = 0;
  for (const QString& t : texts) EXPECT_EQ(again.ReadString(u"S", QString::number(i++), "?"), t);
  // A line break would start a new key.
  EXPECT_EQ(again.ReadString(u"S", u"lines", "?"), "one  X=two");
  EXPECT_EQ(again.ReadString(u"S", u"X", "?"), "?");
}

TEST_F(IniFileTest, DeleteKeyAndEraseSectionRemoveEveryCopy) {
  TIniFile ini = Loaded(
      "[Legacy]\r\nServer0=a\r\n[Keep]\r\nServer0=a\r\nserver0=b\r\nServer1=c\r\n"
      "[legacy]\r\nServer0=b\r\n");
  ini.EraseSection(u"LEGACY");
  ini.DeleteKey(u"Keep", u"SERVER0");
  EXPECT_EQ(ini.Text(), "[Keep]\r\nServer1=c\r\n");
}

TEST_F(IniFileTest, UnreadableOrUnwritablePath) {
  ASSERT_TRUE(QDir(FDir.path()).mkdir("dir.ini"));
  TIniFile directory(FDir.filePath("dir.ini"));
  EXPECT_FALSE(directory.Load());
  directory.WriteString(u"S", u"k", "v");
  EXPECT_FALSE(directory.Save());
  TIniFile missing(FDir.filePath("none.ini"));
  EXPECT_TRUE(missing.Load());  // no file yet: an empty profile
}

TEST_F(IniFileTest, WriteFailingMidwayLeavesTheOldFileAndNoTemporaryFile) {
  const QByteArray old = "[S]\r\nk=old\r\n";
  TIniFile ini = Loaded(old);
  ini.WriteString(u"S", u"k", QString(8192, u'n'));
  // A file size limit cuts the write off part of the way through.
  rlimit normal{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &normal), 0);
  const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = normal;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool savedOk = ini.Save();
  setrlimit(RLIMIT_FSIZE, &normal);
  signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(savedOk);
  EXPECT_EQ(ReadAll(Path()), old);
  EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"test.ini"});
}

TEST_F(IniFileTest, InternetShortcutUrl) {
  Loaded("[DEFAULT]\r\nBASEURL=http://x/\r\n[internetshortcut]\nurl=http://h:8080/p\n");
  EXPECT_EQ(ReadInternetShortcutUrl(Path()), "http://h:8080/p");
  Loaded("[InternetShortcut]\r\nIconIndex=0\r\n");
  EXPECT_EQ(ReadInternetShortcutUrl(Path()), "");
  EXPECT_EQ(ReadInternetShortcutUrl(FDir.filePath("missing.url")), "");
}

// A dropped shortcut is read on the window's thread: only a regular file,
// links followed, and only its start. The rows stop at the first that fails,
// since a FIFO read would hang and /dev/zero never end.
TEST_F(IniFileTest, ShortcutsAreReadOnlyFromTheStartOfRegularFiles) {
  const QByteArray fifo = QFile::encodeName(FDir.filePath("fifo.url"));
  ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
  std::thread writer([&fifo] {  // what a read of the FIFO would get
    const int fd = ::open(fifo.constData(), O_WRONLY);
    EXPECT_EQ(::write(fd, "[InternetShortcut]\nURL=http://fifo.test/\n", 41), 41);
    ::close(fd);
  });
  Loaded("[InternetShortcut]\r\n" + QByteArray(MaxShortcutBytes - 30, ';') +
         "\r\nURL=http://late.test/\r\n");
  QFile::rename(Path(), FDir.filePath("late.url"));  // its URL line ends past the limit
  Loaded("[InternetShortcut]\r\nURL=http://plain.test/\r\n");
  QFile::link(QFile::decodeName(fifo), FDir.filePath("link-fifo.url"));
  QFile::link("/dev/zero", FDir.filePath("link-zero.url"));
  QFile::link(Path(), FDir.filePath("link-plain.url"));
  const char* const cases[][2] = {{"fifo.url", ""},
                                  {"link-fifo.url", ""},
                                  {"late.url", ""},
                                  {"link-plain.url", "http://plain.test/"},
                                  {"link-zero.url", ""}};
  for (const auto& [name, expected] : cases) {
    const std::string url = ReadInternetShortcutUrl(FDir.filePath(name)).toStdString();
    EXPECT_EQ(url, expected) << name;
    if (url != expected) break;
  }
  const int release = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);  // frees an unread writer
  writer.join();
  ::close(release);
}

}  // namespace
