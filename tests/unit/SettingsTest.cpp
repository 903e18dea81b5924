#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "TestStores.h"
#include "common/FileNameCheck.h"
#include "common/ProgramDir.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"

namespace {

constexpr int ScreenW = 1280;
constexpr int ScreenH = 1024;

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& data) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QStringList Numbered(const QString& stem, int count) {
  QStringList list;
  for (int i = 0; i < count; ++i) list << stem + QString::number(i);
  return list;
}

// Every value away from its default, with Japanese texts.
TSettings Sample() {
  TSettings s;
  s.FWindow = {12, -8, 700, 500};
  s.FGraphHeight = 180;
  s.FShowGraph = true;
  s.FPreferIPv6 = true;
  s.FFingerServers = Numbered("ホスト", 25);
  s.FFingerRequests = {"", "user"};
  s.FFingerRelay = "relay.example.jp";
  s.FFingerWall = true;
  s.FWhoisServers = {"whois.example.jp"};
  s.FWhoisRequests = {"ソフト", " blank ends "};
  s.FWhoisRelay = "wall";
  s.FWhoisFollowReferral = true;
  s.FWhoisProtocol = TWhoisProtocol::Auto;
  s.FPingServers = {"192.0.2.1"};
  s.FPingTimeout = 9;
  s.FPingReqNum = 3;
  s.FPingDelay = 250;
  s.FPingSize = 1024;
  s.FPingTTL = 30;
  s.FPingDontFragment = true;
  s.FTraceServers = {"198.51.100.7"};
  s.FNsDnsServers = {"tls://dns.example", "192.0.2.53"};
  s.FNsRecordType = "MX";
  s.FNsTcp = s.FNsDnssec = true;
  s.FTraceTimeout = 2;
  s.FTraceStartHop = 3;
  s.FTraceMaxHop = 20;
  s.FTraceResolveHosts = true;
  s.FNsServers = {"ns.example.jp", "a, b"};
  s.FNsTimeout = 30;
  s.FScanPrefixes = {"203.0.113"};
  s.FScanFirst = 10;
  s.FScanLast = 20;
  s.FScanFoundOnly = true;
  s.FHttpUrls = Numbered("http://www.example.jp/", 30);
  s.FHttpHead = false;
  s.FHttpGet = true;
  s.FFolder = "/home/user/保存/";
  s.FAutoScroll = false;
  s.FClear = true;
  s.FActivePage = "TraceRoute";
  s.FFontName = "IPAGothic";
  s.FFontSize = 11;
  s.FLogMode = 2;
  s.FLogFileName = "ログ.log";
  s.FLogPrefix = "np";
  return s;
}

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FDir.isValid());
    ASSERT_TRUE(QDir(FDir.path()).mkdir("prog"));
    SetProgramDir(FDir.filePath("prog"));
    SetProgramFileName("ostrekon");
    // Decided as a portable copy at start-up; each test then lays out the
    // settings file as it needs.
    MarkPortable(FDir.filePath("prog"));
    ASSERT_TRUE(PortableMode());
    QFile::remove(QDir(FDir.filePath("prog")).filePath("ostrekon.ini"));
    FHadConfigHome = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    FConfigHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", FDir.filePath("config").toLocal8Bit());
  }
  void TearDown() override {
    SetProgramDir(QString());
    SetProgramFileName(QString());
    if (FHadConfigHome) {
      qputenv("XDG_CONFIG_HOME", FConfigHome);
    } else {
      qunsetenv("XDG_CONFIG_HOME");
    }
  }

  QString IniPath() const { return FDir.filePath("prog/ostrekon.ini"); }
  QString UserPath() const { return FDir.filePath("config/qmzt/Ostrekon.conf"); }

  TSettings LoadedFromIni(TSettingsResult expected = TSettingsResult::Ok) {
    TSettings s;
    EXPECT_EQ(LoadSettingsFromIni(s, ScreenW, ScreenH), expected);
    return s;
  }

  QTemporaryDir FDir;
  bool FHadConfigHome = false;
  QByteArray FConfigHome;
};

// --- both stores alike ------------------------------------------------------

enum class TStoreKind { Ini, User };

class BothStores : public SettingsTest, public ::testing::WithParamInterface<TStoreKind> {
 protected:
  std::unique_ptr<TSettingsStore> Store() const {
    if (GetParam() == TStoreKind::Ini) return std::make_unique<TIniStore>(IniPath());
    return std::make_unique<TUserStore>(UserPath());
  }
};

INSTANTIATE_TEST_SUITE_P(Settings, BothStores, ::testing::Values(TStoreKind::Ini, TStoreKind::User),
                         [](const auto& info) {
                           return info.param == TStoreKind::Ini ? "Ini" : "PerUser";
                         });

TEST_P(BothStores, EverySettingRoundTrips) {
  const TSettings saved = Sample();
  ASSERT_EQ(SaveSettings(*Store(), saved), TSettingsResult::Ok);
  TSettings loaded;
  ASSERT_EQ(LoadSettings(*Store(), loaded, ScreenW, ScreenH), TSettingsResult::Ok);
  EXPECT_EQ(loaded, saved);
  EXPECT_EQ(loaded.FFingerServers.size(), 25);
  EXPECT_EQ(loaded.FHttpUrls.size(), 30);
}

TEST_P(BothStores, HistoryListsComeBackWithEveryEntryWritten) {
  auto store = Store();
  ASSERT_TRUE(store->Open());
  store->WriteString("Finger", "Server26", "stale");
  store->WriteString("Finger", "Server29", "stale");
  WriteHistory(*store, Numbered("host", 25), "Finger", "Server");
  WriteHistory(*store, Numbered("u", 31), "HTTP", "URL");  // a history keeps 30
  WriteHistory(*store, {"a", "End of List", "", "b"}, "Ping", "Server");
  ASSERT_TRUE(store->Close());

  ASSERT_TRUE(store->Open());
  QString value;
  EXPECT_EQ(store->ReadString("Finger", "Server25", value), TReadResult::Found);
  EXPECT_EQ(value, "End of List");
  EXPECT_EQ(store->ReadString("Finger", "Server26", value), TReadResult::Missing);
  EXPECT_EQ(store->ReadString("Finger", "Server29", value), TReadResult::Missing);
  QStringList hosts{"kept"}, urls, servers;  // reading appends, it does not clear
  EXPECT_TRUE(ReadHistory(*store, hosts, "Finger", "Server"));
  ReadHistory(*store, urls, "HTTP", "URL");
  ReadHistory(*store, servers, "Ping", "Server");
  store->Close();
  EXPECT_EQ(hosts, QStringList{"kept"} + Numbered("host", 25));
  EXPECT_EQ(urls, Numbered("u", 30));
  // The marker text cannot be an entry; leaving it out keeps what follows it.
  EXPECT_EQ(servers, (QStringList{"a", "", "b"}));
}

TEST_P(BothStores, LegacySectionsAreReadFirstThenErased) {
  auto store = Store();
  ASSERT_TRUE(store->Open());
  WriteHistory(*store, Numbered("old", 20), "NS Lookup EX", "Server");
  WriteHistory(*store, Numbered("new", 20), "IP Scan", "Server");
  store->WriteString("NS Lookup EX", "StartHop", "99");
  store->WriteString("IP Scan", "StartHop", "10");
  store->WriteString("Http Header", "URL0", "http://old/");  // no marker: ends at the gap
  WriteHistory(*store, {"http://new/"}, "HTTP", "URL");
  ASSERT_TRUE(store->Close());
  TSettings s;
  ASSERT_EQ(LoadSettings(*store, s, ScreenW, ScreenH), TSettingsResult::Ok);
  // Legacy entries first; together they keep the 30 a history holds.
  EXPECT_EQ(s.FScanPrefixes, Numbered("old", 20) + Numbered("new", 10));
  EXPECT_EQ(s.FScanFirst, 10);
  EXPECT_EQ(s.FHttpUrls, (QStringList{"http://old/", "http://new/"}));
  ASSERT_TRUE(store->Open());
  EXPECT_FALSE(store->SectionExists("NS Lookup EX"));
  EXPECT_FALSE(store->SectionExists("Http Header"));
  EXPECT_TRUE(store->SectionExists("IP Scan"));
  store->Close();
}

// A hand-edited number outside its range is brought into it, or to its
// default where an end of the range would be a choice nobody made.
TEST_P(BothStores, NumbersAreBroughtIntoTheirRanges) {
  const auto width = [](const TSettings& s) { return s.FWindow.FWidth; };
  const auto height = [](const TSettings& s) { return s.FWindow.FHeight; };
  const struct {
    const char* Section;
    const char* Key;
    const char* Stored;
    int Loaded;
    std::function<int(const TSettings&)> Field;
  } cases[] = {
      {"Others", "FontSize", "500", 99, &TSettings::FFontSize},
      {"Others", "FontSize", "22369622", 99, &TSettings::FFontSize},
      {"Window", "Width", "60000", ScreenW, width},
      {"Window", "Height", "10", 300, height},
      {"Ping", "Delay", "0x7FFFFFFF", 10000, &TSettings::FPingDelay},
      {"Others", "Logging", "3", 0, &TSettings::FLogMode},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Key << "=" << c.Stored);
    QFile::remove(IniPath());
    QFile::remove(UserPath());
    auto store = Store();
    ASSERT_TRUE(store->Open());
    store->WriteString(c.Section, c.Key, c.Stored);
    ASSERT_TRUE(store->Close());
    TSettings s;
    ASSERT_EQ(LoadSettings(*store, s, ScreenW, ScreenH), TSettingsResult::Ok);
    EXPECT_EQ(c.Field(s), c.Loaded);
  }
}

// --- the load's rules ---------------------------------------------------------

TEST_F(SettingsTest, FirstStartWithNoStoresGivesTheDefaults) {
  EXPECT_EQ(SettingsIniPath(), IniPath());
  EXPECT_EQ(UserStorePath(), UserPath());  // under XDG_CONFIG_HOME
  EXPECT_FALSE(RegistrySettingsExist());
  TSettings s;  // the window's design values, which the defaults replace
  s.FPingTimeout = 15;
  s.FPingReqNum = 10;
  s.FPingDelay = 1000;
  s.FActivePage = "Http";
  ASSERT_EQ(LoadSettingsFromIni(s, ScreenW, ScreenH), TSettingsResult::Ok);
  TSettings expected;
  expected.FWindow = DefaultWindowBounds(ScreenW, ScreenH);
  EXPECT_EQ(s, expected);
  EXPECT_EQ(PageIndexOfName(s.FActivePage), 0);
  EXPECT_FALSE(QFileInfo::exists(IniPath()));  // a load writes nothing

  ASSERT_EQ(SaveSettingsToIni(s), TSettingsResult::Ok);
  EXPECT_TRUE(QFileInfo::exists(IniPath()));
  EXPECT_FALSE(RegistrySettingsExist());
}

TEST_F(SettingsTest, ActivePageByComponentNameOnly) {
  const struct {
    const char* FStored;
    int FIndex;
  } cases[] = {{"NsLookupEx", 5}, {"IP Scan", -1}, {"Http", 6}, {"HTTP", -1},
               {"http", -1},      {"Finger", 0},   {"", -1},    {"Nowhere", -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.FStored);
    ASSERT_TRUE(WriteAll(IniPath(), QByteArray("[Others]\r\nActivePage=") + c.FStored + "\r\n"));
    EXPECT_EQ(PageIndexOfName(LoadedFromIni().FActivePage), c.FIndex);
  }
}

TEST_F(SettingsTest, IntegersInDecimalAndHexadecimal) {
  ASSERT_TRUE(
      WriteAll(IniPath(), "[Ping]\r\nDelay=0x1F4\r\nSize=$40\r\nTTL=junk\r\nTimeout= -3\r\n"));
  const TSettings s = LoadedFromIni();
  EXPECT_EQ(s.FPingDelay, 500);
  EXPECT_EQ(s.FPingSize, 64);
  EXPECT_EQ(s.FPingTTL, 255);    // not a number: the default
  EXPECT_EQ(s.FPingTimeout, 1);  // -3, brought into its range
}

TEST_F(SettingsTest, RelayCheckMarkNeedsARelayHost) {
  const struct {
    const char* FStored;
    bool FInitialMark;
    QString FRelay;
    bool FMark;
  } cases[] = {
      {"FireWall=\r\nEnableWall=1\r\n", false, "", false},
      {"EnableWall=1\r\n", true, "", true},  // left alone, not cleared
      {"FireWall=relay\r\nEnableWall=1\r\n", false, "relay", true},
      {"FireWall=relay\r\n", true, "relay", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.FStored);
    ASSERT_TRUE(WriteAll(IniPath(), QByteArray("[Whois]\r\n") + c.FStored));
    TSettings s;
    s.FWhoisWall = c.FInitialMark;
    ASSERT_EQ(LoadSettingsFromIni(s, ScreenW, ScreenH), TSettingsResult::Ok);
    EXPECT_EQ(s.FWhoisRelay, c.FRelay);
    EXPECT_EQ(s.FWhoisWall, c.FMark);
  }
}

TEST_F(SettingsTest, HeadAndGetAreOneRadioGroup) {
  const struct {
    const char* FStored;
    bool FHead;
    bool FGet;
  } cases[] = {
      {"HEAD=1\r\nGET=0\r\n", true, false}, {"HEAD=0\r\nGET=1\r\n", false, true},
      {"HEAD=1\r\nGET=1\r\n", false, true}, {"", true, false},
      {"HEAD=0\r\nGET=0\r\n", true, false},  // a request needs a method
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.FStored);
    ASSERT_TRUE(WriteAll(IniPath(), QByteArray("[HTTP]\r\n") + c.FStored));
    const TSettings s = LoadedFromIni();
    EXPECT_EQ(s.FHttpHead, c.FHead);
    EXPECT_EQ(s.FHttpGet, c.FGet);
  }
}

TEST_F(SettingsTest, LogNamesAreCutTo64BytesAtACharacterBoundary) {
  // "a" and forty 日 make 81 bytes; byte 64 would split a 日.
  const QByteArray logName = "a" + QByteArray("\x93\xfa").repeated(40);
  ASSERT_TRUE(WriteAll(
      IniPath(), "[Others]\r\nLogName=" + logName + "\r\nPreName=" + QByteArray(65, 'p') + "\r\n"));
  const TSettings s = LoadedFromIni();
  EXPECT_EQ(s.FLogFileName, "a" + QString(31, u'日'));
  EXPECT_EQ(s.FLogPrefix, QString(64, u'p'));
  EXPECT_EQ(SjisCutText(QString(32, u'日'), 64), QString(32, u'日'));
}

// A file as the program wrote it on Windows: Shift_JIS, CR LF, blank lines
// between sections, backslashes in the folder, a section we do not know.
const QByteArray WindowsFile =
    "[Finger]\r\nServer0=\x83\x7a\x83\x58\x83\x67.example.jp\r\nServer1=finger.example.com\r\n"
    "Server2=End of List\r\nRequest0=user\r\nRequest1=End of List\r\n"
    "FireWall=relay.example.jp\r\nEnableWall=1\r\n\r\n"
    "[Whois]\r\nServer0=whois.example.jp\r\nServer1=End of List\r\n"
    "Request0=\x83\x5c\x83\x74\x83\x67\r\nRequest1=End of List\r\nFireWall=\r\nEnableWall=0\r\n\r\n"
    "[Ping]\r\nServer0=192.0.2.1\r\nServer1=End of List\r\nTimeout=10\r\nReqNum=8\r\n"
    "Delay=1000\r\nSize=128\r\nTTL=64\r\nDntFlag=1\r\n\r\n"
    "[TraceRoute]\r\nServer0=End of List\r\nTimeout=7\r\nStartHop=2\r\nMaxHop=30\r\n"
    "ResolvHN=1\r\n\r\n"
    "[NS Lookup]\r\nServer0=End of List\r\nTimeout=9\r\n\r\n"
    "[IP Scan]\r\nServer0=192.0.2\r\nServer1=End of "
    "List\r\nStartHop=1\r\nMaxHop=254\r\nAll=1\r\n\r\n"
    "[HTTP]\r\nURL0=http://www.example.jp/\r\nURL1=End of List\r\nHEAD=0\r\nGET=1\r\n\r\n"
    "[Window]\r\nWidth=640\r\nHeight=480\r\nLeft=-4\r\nTop=20\r\n\r\n"
    "[Others]\r\nAutoScroll=0\r\nClear=1\r\nFolder=C:\\Program Files\\Ostrek\\\r\n"
    "ActivePage=Ping\r\nFontName=\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e\r\n"
    "FontSize=10\r\nLogging=2\r\nLogName=\x83\x8d\x83\x4f.log\r\nPreName=np\r\n\r\n"
    "[Extra]\r\nKey=\x95\x5c\r\n";

TEST_F(SettingsTest, FileFromEarlierWindowsVersionLoadsUnchangedAndSavesBackAsItWas) {
  ASSERT_TRUE(WriteAll(IniPath(), WindowsFile));
  const TSettings s = LoadedFromIni();
  // The Shift_JIS texts must decode; the save below shows that every other
  // value came through the load unchanged, since it writes them all again.
  EXPECT_EQ(s.FFingerServers, (QStringList{"ホスト.example.jp", "finger.example.com"}));
  EXPECT_EQ(s.FWhoisRequests, QStringList{"ソフト"});
  EXPECT_EQ(s.FFontName, "ＭＳ ゴシック");
  EXPECT_EQ(s.FLogFileName, "ログ.log");
  EXPECT_EQ(s.FFolder, "C:\\Program Files\\Ostrek\\");
  EXPECT_EQ(s.FWindow, (TWindowBounds{-4, 20, 640, 480}));
  EXPECT_EQ(s.FPingDelay, 1000);
  EXPECT_TRUE(s.FHttpGet);
  TSettings unchanged = s;
  unchanged.FFolder.clear();  // no save-as this run: the stored folder stays
  ASSERT_EQ(SaveSettingsToIni(unchanged), TSettingsResult::Ok);
  EXPECT_EQ(ReadAll(IniPath()), WindowsFile);
}

// --- failures -----------------------------------------------------------------

TEST_F(SettingsTest, UnwritableSettingsFileFallsBackToThePerUserStore) {
  // Running as root, folder permissions stop nothing: a directory in the
  // file's place makes it unreadable and unwritable.
  ASSERT_TRUE(QDir().mkdir(IniPath()));
  TSettings fresh = LoadedFromIni(TSettingsResult::LoadFailed);
  EXPECT_EQ(fresh.FPingTimeout, 5);  // the load still goes through every key

  const TSettings saved = Sample();
  ASSERT_EQ(SaveSettingsToIni(saved), TSettingsResult::Ok);
  EXPECT_TRUE(QFileInfo(IniPath()).isDir());
  EXPECT_TRUE(RegistrySettingsExist());
  TSettings loaded;
  ASSERT_EQ(LoadSettingsFromRegistry(loaded, ScreenW, ScreenH), TSettingsResult::Ok);
  EXPECT_EQ(loaded, saved);
}

TEST_F(SettingsTest, BothStoresUnwritableReportTheSaveFailure) {
  ASSERT_TRUE(QDir().mkdir(IniPath()));
  ASSERT_TRUE(QDir().mkpath(UserPath()));
  const TSettingsResult result = SaveSettingsToIni(Sample());
  EXPECT_EQ(result, TSettingsResult::SaveFailed);
  EXPECT_EQ(SettingsErrorText(result), "設定の保存に失敗しました。");
  EXPECT_EQ(SaveSettingsToRegistry(Sample()), TSettingsResult::SaveFailed);
}

TEST_F(SettingsTest, SavingTheFileDeletesThePerUserStore) {
  ASSERT_EQ(SaveSettingsToRegistry(Sample()), TSettingsResult::Ok);
  EXPECT_TRUE(RegistrySettingsExist());
  ASSERT_EQ(SaveSettingsToIni(Sample()), TSettingsResult::Ok);
  EXPECT_FALSE(RegistrySettingsExist());
  EXPECT_EQ(LoadedFromIni(), Sample());
}

TEST_F(SettingsTest, PerUserValueOfTheWrongTypeIsReportedAndTheLoadGoesOn) {
  ASSERT_TRUE(WriteAll(UserPath(),
                       "[Finger]\nServer0=a\nServer1=@ByteArray(b)\nServer2=c\n"
                       "Server3=End of List\n"
                       "[Ping]\nTimeout=1, 2\nReqNum=9\n"
                       "[Others]\nActivePage=Ping\n"));
  ASSERT_TRUE(RegistrySettingsExist());
  TSettings s;
  const TSettingsResult result = LoadSettingsFromRegistry(s, ScreenW, ScreenH);
  EXPECT_EQ(result, TSettingsResult::LoadFailed);
  EXPECT_EQ(SettingsErrorText(result), "設定の読み込みに失敗しました。");
  EXPECT_EQ(s.FFingerServers, (QStringList{"a", "c"}));
  EXPECT_EQ(s.FPingTimeout, 5);
  EXPECT_EQ(s.FPingReqNum, 9);
  EXPECT_EQ(s.FActivePage, "Ping");
  EXPECT_EQ(SettingsErrorText(TSettingsResult::Ok), "");
}

// --- pure rules -------------------------------------------------------------

TEST(SettingsWindow, KeepReachable) {
  constexpr int W = 1024, H = 768;
  const TWindowBounds reset{206, 118, 612, 532};
  EXPECT_EQ(DefaultWindowBounds(W, H), reset);
  EXPECT_EQ(DefaultWindowBounds(1280, 1024), (TWindowBounds{256, 155, 768, 714}));
  const struct {
    TWindowBounds FStored;
    bool FKept;
  } cases[] = {
      {{100, 100, 400, 300}, true},   {{-350, 100, 400, 300}, true},   // left + width = 50
      {{-351, 100, 400, 300}, false},                                  // 49
      {{100, -250, 400, 300}, true},  {{100, -251, 400, 300}, false},  // top + height 50 / 49
      {{974, 100, 400, 300}, true},   {{975, 100, 400, 300}, false},   // left vs W - 50
      {{100, 718, 400, 300}, true},   {{100, 719, 400, 300}, false},   // top vs H - 50
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.FStored.FLeft << "," << c.FStored.FTop);
    EXPECT_EQ(KeepWindowReachable(c.FStored, W, H), c.FKept ? c.FStored : reset);
  }
}

TEST(SettingsPaths, FileNames) {
  const struct {
    const char* FProgram;
    const char* FIni;
  } cases[] = {{"/opt/ostrekon/ostrekon", "/opt/ostrekon/ostrekon.ini"},
               {"ostrekon.exe", "ostrekon.ini"},
               {"my.prog.bin", "my.prog.ini"},
               {"/a.b/prog", "/a.b/prog.ini"}};
  for (const auto& c : cases) EXPECT_EQ(IniFileNameFor(c.FProgram), c.FIni) << c.FProgram;
  EXPECT_EQ(FolderOfFileName("/home/u/out.txt"), "/home/u/");
  EXPECT_EQ(FolderOfFileName("out.txt"), "");
}

}  // namespace
