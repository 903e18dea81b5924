#pragma once
#include <QString>
#include <QStringList>

#include "common/RdapQuery.h"
#include "common/ToolValues.h"

class TSettingsStore;

// Everything of the main window that survives a restart, and its load from
// and save to one of the two stores (the settings file beside the program or
// the per-user store). The window copies these values to and from its
// controls; nothing here knows a widget.

struct TWindowBounds {
  int FLeft = 0;
  int FTop = 0;
  int FWidth = 0;
  int FHeight = 0;
  bool operator==(const TWindowBounds&) const = default;
};

// Three fifths of the screen's width, seven tenths of its height, centred.
TWindowBounds DefaultWindowBounds(int screenWidth, int screenHeight);
// The stored bounds, unless less than 50 pixels of the window would be left
// on the screen at an edge; then the default bounds.
TWindowBounds KeepWindowReachable(const TWindowBounds& bounds, int screenWidth, int screenHeight);

// Component names of the tabs, in tab order: "ActivePage" holds one of these.
inline constexpr const char* PageNames[] = {"Finger",   "Whois",      "Ping", "TraceRoute",
                                            "NsLookup", "NsLookupEx", "Http"};
// Index of the tab with that exact component name, -1 for none (a caption
// such as "IP Scan" names no tab).
int PageIndexOfName(const QString& name);

// The member defaults are the values used for missing keys, except where
// noted: the window bounds default from the screen size, and the font keys
// default to the font the window holds when it loads.
struct TSettings {
  TWindowBounds FWindow;  // "Window": "Left", "Top", "Width", "Height"
  // "Window"/"GraphHeight": the statistics panel's height in pixels, 0 for
  // its own. Saved only when set.
  int FGraphHeight = 0;

  QStringList FFingerServers;   // "Finger"/"Server0".. (history lists, top first)
  QStringList FFingerRequests;  // "Finger"/"Request0"..
  QString FFingerRelay;         // "Finger"/"FireWall"
  bool FFingerWall = false;     // "Finger"/"EnableWall"

  QStringList FWhoisServers;          // "Whois"/"Server0"..
  QStringList FWhoisRequests;         // "Whois"/"Request0"..
  QString FWhoisRelay;                // "Whois"/"FireWall"
  bool FWhoisWall = false;            // "Whois"/"EnableWall"
  bool FWhoisFollowReferral = false;  // "Whois"/"FollowReferral"
  // "Whois"/"Protocol": "rdap" or "auto"; whois is never written, so the
  // files of users who keep it stay as they were.
  TWhoisProtocol FWhoisProtocol = TWhoisProtocol::Whois;

  QStringList FPingServers;                     // "Ping"/"Server0"..
  int FPingTimeout = PingTimeoutValue.Default;  // "Ping"/"Timeout", seconds
  int FPingReqNum = PingCountValue.Default;     // "Ping"/"ReqNum"
  int FPingDelay = PingDelayValue.Default;      // "Ping"/"Delay", milliseconds
  int FPingSize = PingSizeValue.Default;        // "Ping"/"Size", data bytes
  int FPingTTL = PingTtlValue.Default;          // "Ping"/"TTL"
  bool FPingDontFragment = false;               // "Ping"/"DntFlag"

  QStringList FTraceServers;                        // "TraceRoute"/"Server0"..
  int FTraceTimeout = TraceTimeoutValue.Default;    // "TraceRoute"/"Timeout", seconds
  int FTraceStartHop = TraceFirstHopValue.Default;  // "TraceRoute"/"StartHop"
  int FTraceMaxHop = TraceLastHopValue.Default;     // "TraceRoute"/"MaxHop"
  bool FTraceResolveHosts = false;                  // "TraceRoute"/"ResolvHN"
  bool FTraceRepeat = false;                        // "TraceRoute"/"Repeat", only while on
  int FTraceCycles = TraceCyclesValue.Default;      // "TraceRoute"/"Cycles", unless the default

  QStringList FNsServers;                       // "NS Lookup"/"Server0"..
  int FNsTimeout = LookupTimeoutValue.Default;  // "NS Lookup"/"Timeout", seconds
  // Kept only while they differ from their defaults, so that the file of a
  // user who never changes them stays as it was:
  QStringList FNsDnsServers;                       // "NS Lookup"/"DnsServer0".. while not empty
  QString FNsRecordType = QStringLiteral("既定");  // "NS Lookup"/"RecordType", a type's name
  bool FNsTcp = false;                             // "NS Lookup"/"Tcp"
  bool FNsDnssec = false;                          // "NS Lookup"/"Dnssec"

  QStringList FScanPrefixes;                // "IP Scan"/"Server0".. (first three octets)
  int FScanFirst = ScanFirstValue.Default;  // "IP Scan"/"StartHop"
  int FScanLast = ScanLastValue.Default;    // "IP Scan"/"MaxHop"
  bool FScanFoundOnly = false;              // "IP Scan"/"All"

  QStringList FHttpUrls;  // "HTTP"/"URL0"..
  bool FHttpHead = true;  // "HTTP"/"HEAD"
  bool FHttpGet = false;  // "HTTP"/"GET"

  // "Others"/"Folder": the save dialog's directory, with its trailing "/".
  // Saved only when not empty, so an empty one keeps what is stored.
  QString FFolder;
  bool FAutoScroll = true;                         // "Others"/"AutoScroll"
  bool FClear = false;                             // "Others"/"Clear"
  QString FActivePage = QStringLiteral("Finger");  // "Others"/"ActivePage", a PageNames entry
  // "Others"/"FontName" and "FontSize" (points): the output pane's font.
  QString FFontName = QStringLiteral("ＭＳ ゴシック");
  int FFontSize = FontSizeValue.Default;
  int FLogMode = LogModeValue.Default;  // "Others"/"Logging": 0 none, 1 one file, 2 one file a day
  QString FLogFileName;                 // "Others"/"LogName", at most 64 bytes
  QString FLogPrefix;                   // "Others"/"PreName", at most 64 bytes
  // "Others"/"ShowGraph": the statistics panel is shown. Stored only while
  // on, so the file of a user who never opens the panel stays as it was.
  bool FShowGraph = false;
  // "Others"/"PreferIPv6": a name's IPv6 address is used before its IPv4
  // one. Stored only while on, as above.
  bool FPreferIPv6 = false;

  bool operator==(const TSettings&) const = default;
};

enum class TSettingsResult { Ok, LoadFailed, SaveFailed };

// The text of the error box for a result; empty for Ok.
QString SettingsErrorText(TSettingsResult result);

// The load: settings comes in holding the window's current values. A key
// that is missing takes its default; a value that cannot be read is
// reported and taken as missing, and the load goes on with the next one.
// A number outside its range (ToolValues.h; the window between its minimum
// size and the screen) is brought into it.
// History lists are appended to what settings already holds.
TSettingsResult LoadSettings(TSettingsStore& store, TSettings& settings, int screenWidth,
                             int screenHeight);
TSettingsResult SaveSettings(TSettingsStore& store, const TSettings& settings);

// The same over the program's own stores.
TSettingsResult LoadSettingsFromIni(TSettings& settings, int screenWidth, int screenHeight);
TSettingsResult LoadSettingsFromRegistry(TSettings& settings, int screenWidth, int screenHeight);
// Writes the settings file; once that has succeeded the per-user store is
// deleted, so the next start reads the file. When the file cannot be
// written, saves to the per-user store instead and returns that result.
TSettingsResult SaveSettingsToIni(const TSettings& settings);
TSettingsResult SaveSettingsToRegistry(const TSettings& settings);

// Start-up reads the per-user store when it exists, the settings file
// otherwise.
bool RegistrySettingsExist();
void DeleteRegistrySettings();

// One history list: keys prefix + 0, 1, ... up to the marker "End of List".
inline constexpr const char* HistoryEndMarker = "End of List";
// Appends the stored entries to list (at most 30); false when an entry
// could not be read (it is skipped).
bool ReadHistory(TSettingsStore& store, QStringList& list, const QString& section,
                 const QString& prefix);
void WriteHistory(TSettingsStore& store, const QStringList& list, const QString& section,
                  const QString& prefix);

// The directory part of a file name with its trailing "/", empty for none.
QString FolderOfFileName(const QString& fileName);
