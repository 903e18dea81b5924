#include "settings/Settings.h"

#include <QFile>
#include <QFileInfo>

#include "common/Common.h"
#include "common/FileNameCheck.h"
#include "common/History.h"
#include "settings/SettingsStore.h"

namespace {

const QString Window = QStringLiteral("Window");
const QString Finger = QStringLiteral("Finger");
const QString Whois = QStringLiteral("Whois");
const QString Ping = QStringLiteral("Ping");
const QString TraceRoute = QStringLiteral("TraceRoute");
const QString NsLookup = QStringLiteral("NS Lookup");
const QString IpScan = QStringLiteral("IP Scan");
const QString Http = QStringLiteral("HTTP");
const QString Others = QStringLiteral("Others");

// Reads through a store and remembers whether any value could not be read;
// such a value counts as missing, so one bad value costs only itself.
class TReader {
 public:
  explicit TReader(TSettingsStore& store) : FStore(store) {}

  bool Failed() const { return FFailed; }
  void Fail() { FFailed = true; }

  QString String(const QString& section, const QString& key, const QString& defaultValue) {
    QString value;
    return Found(FStore.ReadString(section, key, value)) ? value : defaultValue;
  }
  int Integer(const QString& section, const QString& key, int defaultValue) {
    int value = 0;
    return Found(FStore.ReadInteger(section, key, value)) ? value : defaultValue;
  }
  // A stored number brought into its range: a hand-edited one must neither
  // overflow the arithmetic made with it nor reach a control or a worker.
  int Number(const QString& section, const QString& key, const TToolValue& range,
             int defaultValue) {
    int value = 0;
    return Found(FStore.ReadInteger(section, key, value)) ? range.Bounded(value) : defaultValue;
  }
  bool Boolean(const QString& section, const QString& key, bool defaultValue) {
    return Integer(section, key, defaultValue ? 1 : 0) != 0;
  }
  void History(QStringList& list, const QString& section, const QString& prefix) {
    if (!ReadHistory(FStore, list, section, prefix)) FFailed = true;
  }

 private:
  bool Found(TReadResult result) {
    if (result == TReadResult::Failed) FFailed = true;
    return result == TReadResult::Found;
  }

  TSettingsStore& FStore;
  bool FFailed = false;
};

QString Key(const QString& prefix, int index) { return prefix + QString::number(index); }

void WriteInteger(TSettingsStore& store, const QString& section, const QString& key, int value) {
  store.WriteString(section, key, QString::number(value));
}

void WriteBoolean(TSettingsStore& store, const QString& section, const QString& key, bool value) {
  store.WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

// A list read from a legacy section and its current one together may be
// longer than a history keeps; the oldest entries go, as when recording.
void KeepHistoryLength(QStringList& list) {
  while (list.size() > MaxHistoryEntries) list.removeLast();
}

// --- load, one step per function, in the order of the load -------------------

// Every history list: where it is kept, and the older section whose list
// is read ahead of it. In the order of the load and the save.
struct THistoryKey {
  QStringList TSettings::*List;
  const char* Section;
  const char* Prefix;
  const char* Legacy = nullptr;
  bool KeptWhileNotEmpty = false;  // an empty list leaves no key at all
};
const THistoryKey HistoryKeys[] = {
    {&TSettings::FFingerServers, "Finger", "Server"},
    {&TSettings::FFingerRequests, "Finger", "Request"},
    {&TSettings::FWhoisServers, "Whois", "Server"},
    {&TSettings::FWhoisRequests, "Whois", "Request"},
    {&TSettings::FPingServers, "Ping", "Server"},
    {&TSettings::FTraceServers, "TraceRoute", "Server"},
    {&TSettings::FNsServers, "NS Lookup", "Server"},
    {&TSettings::FNsDnsServers, "NS Lookup", "DnsServer", nullptr, true},
    {&TSettings::FScanPrefixes, "IP Scan", "Server", "NS Lookup EX"},
    {&TSettings::FHttpUrls, "HTTP", "URL", "Http Header"},
};

void ReadHistories(TReader& reader, TSettings& s) {
  for (const THistoryKey& k : HistoryKeys) {
    const QString prefix = QLatin1StringView(k.Prefix);
    if (k.Legacy) reader.History(s.*k.List, QLatin1StringView(k.Legacy), prefix);
    reader.History(s.*k.List, QLatin1StringView(k.Section), prefix);
    if (k.Legacy) KeepHistoryLength(s.*k.List);
  }
}

// Width and height lie between the window's minimum and the screen. Left and
// Top default to centring the width and height just read; where they leave
// the window off the screen is decided when it is placed.
void ReadWindow(TReader& reader, TWindowBounds& bounds, int screenWidth, int screenHeight) {
  const TWindowBounds d = DefaultWindowBounds(screenWidth, screenHeight);
  const TToolValue width{MinWindowWidth, qMax(MinWindowWidth, screenWidth), d.FWidth, d.FWidth};
  const TToolValue height{MinWindowHeight, qMax(MinWindowHeight, screenHeight), d.FHeight,
                          d.FHeight};
  bounds.FWidth = reader.Number(Window, QStringLiteral("Width"), width, width.Default);
  bounds.FHeight = reader.Number(Window, QStringLiteral("Height"), height, height.Default);
  bounds.FLeft = reader.Integer(Window, QStringLiteral("Left"), (screenWidth - bounds.FWidth) / 2);
  bounds.FTop = reader.Integer(Window, QStringLiteral("Top"), (screenHeight - bounds.FHeight) / 2);
}

void ReadGraphPanel(TReader& reader, TSettings& s, int screenHeight) {
  const TToolValue height{0, qMax(0, screenHeight), 0, 0};
  s.FGraphHeight = reader.Number(Window, QStringLiteral("GraphHeight"), height, 0);
  s.FShowGraph = reader.Boolean(Others, QStringLiteral("ShowGraph"), false);
  s.FPreferIPv6 = reader.Boolean(Others, QStringLiteral("PreferIPv6"), false);
}

// Without a relay host its check box is disabled and keeps its check mark
// as it is; the stored mark means something only with a host.
void ReadRelay(TReader& reader, const QString& section, QString& relay, bool& enabled) {
  relay = reader.String(section, QStringLiteral("FireWall"), QString());
  if (!relay.isEmpty()) enabled = reader.Boolean(section, QStringLiteral("EnableWall"), false);
}

// Every stored number with a fixed range and default (ToolValues.h), in the
// order of the load. The window's bounds and the font size have defaults of
// their own.
struct TNumberKey {
  int TSettings::*Field;
  const char* Section;
  const char* Key;
  TToolValue Value;
};
const TNumberKey NumberKeys[] = {
    {&TSettings::FPingTimeout, "Ping", "Timeout", PingTimeoutValue},
    {&TSettings::FPingReqNum, "Ping", "ReqNum", PingCountValue},
    {&TSettings::FPingDelay, "Ping", "Delay", PingDelayValue},
    {&TSettings::FPingSize, "Ping", "Size", PingSizeValue},
    {&TSettings::FPingTTL, "Ping", "TTL", PingTtlValue},
    {&TSettings::FTraceTimeout, "TraceRoute", "Timeout", TraceTimeoutValue},
    {&TSettings::FTraceStartHop, "TraceRoute", "StartHop", TraceFirstHopValue},
    {&TSettings::FTraceMaxHop, "TraceRoute", "MaxHop", TraceLastHopValue},
    {&TSettings::FTraceCycles, "TraceRoute", "Cycles", TraceCyclesValue},
    {&TSettings::FNsTimeout, "NS Lookup", "Timeout", LookupTimeoutValue},
    {&TSettings::FScanFirst, "IP Scan", "StartHop", ScanFirstValue},
    {&TSettings::FScanLast, "IP Scan", "MaxHop", ScanLastValue},
    {&TSettings::FLogMode, "Others", "Logging", LogModeValue},
};

void ReadNumbers(TReader& reader, TSettings& s) {
  for (const TNumberKey& k : NumberKeys) {
    s.*k.Field = reader.Number(QLatin1StringView(k.Section), QLatin1StringView(k.Key), k.Value,
                               k.Value.Default);
  }
}

void ReadToolSwitches(TReader& reader, TSettings& s) {
  s.FWhoisFollowReferral = reader.Boolean(Whois, QStringLiteral("FollowReferral"), false);
  s.FWhoisProtocol =
      WhoisProtocolOfKey(reader.String(Whois, QStringLiteral("Protocol"), QString()));
  s.FPingDontFragment = reader.Boolean(Ping, QStringLiteral("DntFlag"), false);
  s.FTraceResolveHosts = reader.Boolean(TraceRoute, QStringLiteral("ResolvHN"), false);
  s.FTraceRepeat = reader.Boolean(TraceRoute, QStringLiteral("Repeat"), false);
  s.FScanFoundOnly = reader.Boolean(IpScan, QStringLiteral("All"), false);
  s.FNsRecordType = reader.String(NsLookup, QStringLiteral("RecordType"), s.FNsRecordType);
  s.FNsTcp = reader.Boolean(NsLookup, QStringLiteral("Tcp"), false);
  s.FNsDnssec = reader.Boolean(NsLookup, QStringLiteral("Dnssec"), false);
}

// HEAD and GET are one radio group, applied HEAD first: GET wins when both
// are stored set. A request needs a method, so HEAD is chosen when neither is.
void ReadHttpMethod(TReader& reader, TSettings& s) {
  const bool head = reader.Boolean(Http, QStringLiteral("HEAD"), true);
  const bool get = reader.Boolean(Http, QStringLiteral("GET"), false);
  s.FHttpGet = get;
  s.FHttpHead = head && !get;
  if (!s.FHttpHead && !s.FHttpGet) s.FHttpHead = true;
}

void ReadViewSwitches(TReader& reader, TSettings& s) {
  s.FAutoScroll = reader.Boolean(Others, QStringLiteral("AutoScroll"), true);
  s.FClear = reader.Boolean(Others, QStringLiteral("Clear"), false);
}

// The font keys default to the font the window holds now.
void ReadFont(TReader& reader, TSettings& s) {
  s.FFontName = reader.String(Others, QStringLiteral("FontName"), s.FFontName);
  s.FFontSize = reader.Number(Others, QStringLiteral("FontSize"), FontSizeValue, s.FFontSize);
}

void ReadLogNames(TReader& reader, TSettings& s) {
  s.FLogFileName = SjisCutText(reader.String(Others, QStringLiteral("LogName"), QString()));
  s.FLogPrefix = SjisCutText(reader.String(Others, QStringLiteral("PreName"), QString()));
}

// Erased only when present, so that a load never writes a store it has
// nothing to change in.
void EraseLegacySections(TSettingsStore& store) {
  for (const THistoryKey& k : HistoryKeys) {
    const QString section = k.Legacy ? QString::fromLatin1(k.Legacy) : QString();
    if (!section.isEmpty() && store.SectionExists(section)) store.EraseSection(section);
  }
}

// --- save ---------------------------------------------------------------------

void WriteHistories(TSettingsStore& store, const TSettings& s) {
  for (const THistoryKey& k : HistoryKeys) {
    const QString section = QLatin1StringView(k.Section);
    const QString prefix = QLatin1StringView(k.Prefix);
    if (!k.KeptWhileNotEmpty || !(s.*k.List).isEmpty())
      WriteHistory(store, s.*k.List, section, prefix);
    else
      for (int i = 0; i < MaxHistoryEntries; ++i) store.DeleteKey(section, Key(prefix, i));
  }
}

void WriteWindow(TSettingsStore& store, const TWindowBounds& bounds) {
  WriteInteger(store, Window, QStringLiteral("Width"), bounds.FWidth);
  WriteInteger(store, Window, QStringLiteral("Height"), bounds.FHeight);
  WriteInteger(store, Window, QStringLiteral("Left"), bounds.FLeft);
  WriteInteger(store, Window, QStringLiteral("Top"), bounds.FTop);
}

void WriteRelay(TSettingsStore& store, const QString& section, const QString& relay, bool enabled) {
  store.WriteString(section, QStringLiteral("FireWall"), relay);
  WriteBoolean(store, section, QStringLiteral("EnableWall"), enabled);
}

// A key the earlier versions never had: stored only when on, so that a file
// of theirs saves back as it was while the box stays off.
void WriteWhileOn(TSettingsStore& store, const QString& section, const QString& key, bool on) {
  if (on)
    WriteBoolean(store, section, key, true);
  else
    store.DeleteKey(section, key);
}

void WriteWhoisProtocol(TSettingsStore& store, TWhoisProtocol protocol) {
  const QString key = QStringLiteral("Protocol");
  if (protocol == TWhoisProtocol::Whois)
    store.DeleteKey(Whois, key);
  else
    store.WriteString(Whois, key, WhoisProtocolKey(protocol));
}

void WriteToolValues(TSettingsStore& store, const TSettings& s) {
  WriteWhileOn(store, Whois, QStringLiteral("FollowReferral"), s.FWhoisFollowReferral);
  WriteWhoisProtocol(store, s.FWhoisProtocol);
  WriteInteger(store, Ping, QStringLiteral("Timeout"), s.FPingTimeout);
  WriteInteger(store, Ping, QStringLiteral("ReqNum"), s.FPingReqNum);
  WriteInteger(store, Ping, QStringLiteral("Delay"), s.FPingDelay);
  WriteInteger(store, Ping, QStringLiteral("Size"), s.FPingSize);
  WriteInteger(store, Ping, QStringLiteral("TTL"), s.FPingTTL);
  WriteBoolean(store, Ping, QStringLiteral("DntFlag"), s.FPingDontFragment);
  WriteInteger(store, TraceRoute, QStringLiteral("Timeout"), s.FTraceTimeout);
  WriteInteger(store, TraceRoute, QStringLiteral("StartHop"), s.FTraceStartHop);
  WriteInteger(store, TraceRoute, QStringLiteral("MaxHop"), s.FTraceMaxHop);
  WriteBoolean(store, TraceRoute, QStringLiteral("ResolvHN"), s.FTraceResolveHosts);
  WriteWhileOn(store, TraceRoute, QStringLiteral("Repeat"), s.FTraceRepeat);
  // Like Repeat, kept out of a file that never had it while it is the default.
  if (s.FTraceCycles != TraceCyclesValue.Default)
    WriteInteger(store, TraceRoute, QStringLiteral("Cycles"), s.FTraceCycles);
  else
    store.DeleteKey(TraceRoute, QStringLiteral("Cycles"));
  WriteInteger(store, NsLookup, QStringLiteral("Timeout"), s.FNsTimeout);
  WriteInteger(store, IpScan, QStringLiteral("StartHop"), s.FScanFirst);
  WriteInteger(store, IpScan, QStringLiteral("MaxHop"), s.FScanLast);
  WriteBoolean(store, IpScan, QStringLiteral("All"), s.FScanFoundOnly);
  WriteBoolean(store, Http, QStringLiteral("HEAD"), s.FHttpHead);
  WriteBoolean(store, Http, QStringLiteral("GET"), s.FHttpGet);
}

// A value that a file keeps only while it differs from its default, so that
// the file of a user who never changes it stays as it was.
void WriteWhileChanged(TSettingsStore& store, const QString& section, const QString& key,
                       const QString& value, const QString& defaultValue) {
  if (value != defaultValue)
    store.WriteString(section, key, value);
  else
    store.DeleteKey(section, key);
}

void WriteFlagWhileOn(TSettingsStore& store, const QString& key, bool on,
                      const QString& section = Others) {
  WriteWhileChanged(store, section, key, on ? QStringLiteral("1") : QStringLiteral("0"),
                    QStringLiteral("0"));
}

void WriteNsLookupChoices(TSettingsStore& store, const TSettings& s) {
  WriteWhileChanged(store, NsLookup, QStringLiteral("RecordType"), s.FNsRecordType,
                    TSettings().FNsRecordType);
  WriteFlagWhileOn(store, QStringLiteral("Tcp"), s.FNsTcp, NsLookup);
  WriteFlagWhileOn(store, QStringLiteral("Dnssec"), s.FNsDnssec, NsLookup);
}

void WriteGraphPanel(TSettingsStore& store, const TSettings& s) {
  if (s.FGraphHeight > 0)
    WriteInteger(store, Window, QStringLiteral("GraphHeight"), s.FGraphHeight);
  WriteFlagWhileOn(store, QStringLiteral("ShowGraph"), s.FShowGraph);
}

void WriteOthers(TSettingsStore& store, const TSettings& s) {
  WriteFlagWhileOn(store, QStringLiteral("PreferIPv6"), s.FPreferIPv6);
  WriteBoolean(store, Others, QStringLiteral("AutoScroll"), s.FAutoScroll);
  WriteBoolean(store, Others, QStringLiteral("Clear"), s.FClear);
  if (!s.FFolder.isEmpty()) store.WriteString(Others, QStringLiteral("Folder"), s.FFolder);
  store.WriteString(Others, QStringLiteral("ActivePage"), s.FActivePage);
  store.WriteString(Others, QStringLiteral("FontName"), s.FFontName);
  WriteInteger(store, Others, QStringLiteral("FontSize"), s.FFontSize);
  WriteInteger(store, Others, QStringLiteral("Logging"), s.FLogMode);
  store.WriteString(Others, QStringLiteral("LogName"), s.FLogFileName);
  store.WriteString(Others, QStringLiteral("PreName"), s.FLogPrefix);
}

}  // namespace

TWindowBounds DefaultWindowBounds(int screenWidth, int screenHeight) {
  TWindowBounds bounds;
  bounds.FWidth = screenWidth / 5 * 3;
  bounds.FHeight = screenHeight / 10 * 7;
  bounds.FLeft = (screenWidth - bounds.FWidth) / 2;
  bounds.FTop = (screenHeight - bounds.FHeight) / 2;
  return bounds;
}

TWindowBounds KeepWindowReachable(const TWindowBounds& b, int screenWidth, int screenHeight) {
  const bool lost = b.FTop > screenHeight - 50 || b.FLeft > screenWidth - 50 ||
                    b.FLeft + b.FWidth < 50 || b.FTop + b.FHeight < 50;
  return lost ? DefaultWindowBounds(screenWidth, screenHeight) : b;
}

int PageIndexOfName(const QString& name) {
  for (int i = 0; i < int(std::size(PageNames)); ++i) {
    if (name == QLatin1StringView(PageNames[i])) return i;
  }
  return -1;
}

QString SettingsErrorText(TSettingsResult result) {
  switch (result) {
    case TSettingsResult::LoadFailed:
      return QStringLiteral("設定の読み込みに失敗しました。");
    case TSettingsResult::SaveFailed:
      return QStringLiteral("設定の保存に失敗しました。");
    case TSettingsResult::Ok:
      break;
  }
  return QString();
}

// An entry that cannot be read is skipped rather than ending the list, so
// the entries after it are kept. A whole history is read back: every entry
// a save wrote, up to the 30 a history holds.
bool ReadHistory(TSettingsStore& store, QStringList& list, const QString& section,
                 const QString& prefix) {
  bool readable = true;
  for (int i = 0; i < MaxHistoryEntries; ++i) {
    QString entry;
    const TReadResult result = store.ReadString(section, Key(prefix, i), entry);
    if (result == TReadResult::Failed) {
      readable = false;
      continue;
    }
    if (result == TReadResult::Missing || entry == QLatin1StringView(HistoryEndMarker)) break;
    list.append(entry);
  }
  return readable;
}

// An entry that reads "End of List" cannot be stored: read back, it would end
// the list and lose every entry after it. It alone is left out.
void WriteHistory(TSettingsStore& store, const QStringList& list, const QString& section,
                  const QString& prefix) {
  int count = 0;
  for (const QString& entry : list) {
    if (count == MaxHistoryEntries) break;
    if (entry == QLatin1StringView(HistoryEndMarker)) continue;
    store.WriteString(section, Key(prefix, count++), entry);
  }
  store.WriteString(section, Key(prefix, count), QLatin1StringView(HistoryEndMarker));
  for (int i = count + 1; i < MaxHistoryEntries; ++i) store.DeleteKey(section, Key(prefix, i));
}

TSettingsResult LoadSettings(TSettingsStore& store, TSettings& s, int screenWidth,
                             int screenHeight) {
  TReader reader(store);
  if (!store.Open()) reader.Fail();
  ReadHistories(reader, s);
  ReadWindow(reader, s.FWindow, screenWidth, screenHeight);
  ReadRelay(reader, Finger, s.FFingerRelay, s.FFingerWall);
  ReadRelay(reader, Whois, s.FWhoisRelay, s.FWhoisWall);
  ReadNumbers(reader, s);
  ReadToolSwitches(reader, s);
  s.FFolder = reader.String(Others, QStringLiteral("Folder"), QString());
  ReadHttpMethod(reader, s);
  ReadViewSwitches(reader, s);
  s.FActivePage = reader.String(Others, QStringLiteral("ActivePage"), QStringLiteral("Finger"));
  ReadFont(reader, s);
  ReadLogNames(reader, s);
  ReadGraphPanel(reader, s, screenHeight);
  EraseLegacySections(store);
  if (!store.Close()) reader.Fail();
  return reader.Failed() ? TSettingsResult::LoadFailed : TSettingsResult::Ok;
}

TSettingsResult SaveSettings(TSettingsStore& store, const TSettings& s) {
  if (!store.Open()) {
    store.Close();
    return TSettingsResult::SaveFailed;
  }
  WriteHistories(store, s);
  WriteWindow(store, s.FWindow);
  WriteRelay(store, Finger, s.FFingerRelay, s.FFingerWall);
  WriteRelay(store, Whois, s.FWhoisRelay, s.FWhoisWall);
  WriteToolValues(store, s);
  WriteNsLookupChoices(store, s);
  WriteOthers(store, s);
  WriteGraphPanel(store, s);
  return store.Close() ? TSettingsResult::Ok : TSettingsResult::SaveFailed;
}

TSettingsResult LoadSettingsFromIni(TSettings& settings, int screenWidth, int screenHeight) {
  TIniStore store(SettingsIniPathToRead());
  return LoadSettings(store, settings, screenWidth, screenHeight);
}

TSettingsResult LoadSettingsFromRegistry(TSettings& settings, int screenWidth, int screenHeight) {
  TUserStore store(UserStorePath());
  return LoadSettings(store, settings, screenWidth, screenHeight);
}

TSettingsResult SaveSettingsToIni(const TSettings& settings) {
  TIniStore store(SettingsIniPath());
  if (SaveSettings(store, settings) != TSettingsResult::Ok) return SaveSettingsToRegistry(settings);
  DeleteRegistrySettings();
  return TSettingsResult::Ok;
}

TSettingsResult SaveSettingsToRegistry(const TSettings& settings) {
  TUserStore store(UserStorePath());
  return SaveSettings(store, settings);
}

bool RegistrySettingsExist() { return TUserStore(UserStorePath()).Exists(); }

void DeleteRegistrySettings() {
  const QString path = UserStorePath();
  if (QFileInfo(path).isFile()) QFile::remove(path);
}

QString FolderOfFileName(const QString& fileName) {
  return fileName.left(fileName.lastIndexOf(u'/') + 1);
}
