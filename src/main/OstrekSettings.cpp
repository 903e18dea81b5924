// Start-up and shutdown of the window: settings from and to the chosen
// store, the socket layer, the echo method.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>

#include "common/FileNameCheck.h"
#include "common/SjisText.h"
#include "dialogs/DialogCommon.h"
#include "main/OstrekMain.h"
#include "platform/RawIcmp.h"
#include "settings/Settings.h"
#include "widgets/ExtMemo.h"
#include "widgets/UpDown.h"

namespace {
QSize ScreenSize() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->geometry().size() : QSize(1024, 768);
}

// Font sizes are points at the design's 96 dots per inch, whatever the
// screen says.
int PointsToPixels(int points) { return (points * 96 + 36) / 72; }
int PixelsToPoints(int pixels) { return (pixels * 72 + 48) / 96; }
}  // namespace

void TOstrekForm::FormCreate() {
  TSettings settings;
  settings.FFontName = ExtMemo->font().family();
  settings.FFontSize = PixelsToPoints(ExtMemo->font().pixelSize());
  const QSize screen = ScreenSize();
  TSettingsResult loaded;
  if (RegistrySettingsExist()) {
    loaded = LoadSettingsFromRegistry(settings, screen.width(), screen.height());
    SaveSetting_REG->setChecked(true);
  } else {
    loaded = LoadSettingsFromIni(settings, screen.width(), screen.height());
    SaveSetting_INI->setChecked(true);
  }
  if (loaded != TSettingsResult::Ok) ShowError(SettingsErrorText(loaded));
  ApplySettings(settings);
  const TWindowBounds bounds =
      KeepWindowReachable(settings.FWindow, screen.width(), screen.height());
  move(bounds.FLeft, bounds.FTop);
  resize(bounds.FWidth, bounds.FHeight);
  PageControlChange();
  if (WSAStartup(0x0101, &FWsaData) != 0) {
    ShowError(QStringLiteral("WSAStratup Error"));
    FStartFailed = true;
    return;
  }
  // One probe decides the echo method for the whole run.
  FIcmpServiceMode = !CanOpenRawIcmp();
}

void TOstrekForm::ApplySettings(const TSettings& s) {
  SetHistory(FngrServ_CB, s.FFingerServers, s.FFingerServers.value(0));
  SetHistory(FngrReq_CB, s.FFingerRequests, s.FFingerRequests.value(0));
  SetHistory(WhoisServ_CB, s.FWhoisServers, s.FWhoisServers.value(0));
  SetHistory(WhoisReq_CB, s.FWhoisRequests, s.FWhoisRequests.value(0));
  SetHistory(PngServ_CB, s.FPingServers, s.FPingServers.value(0));
  SetHistory(TRServ_CB, s.FTraceServers, s.FTraceServers.value(0));
  SetHistory(NSServ_CB, s.FNsServers, s.FNsServers.value(0));
  SetHistory(Ex_CB, s.FScanPrefixes, s.FScanPrefixes.value(0));
  SetHistory(HHURL_CB, s.FHttpUrls, s.FHttpUrls.value(0));
  FFingerRelay = s.FFingerRelay;
  FWhoisRelay = s.FWhoisRelay;
  FngrWall_ChckB->setChecked(s.FFingerWall);
  WhoisWall_ChckB->setChecked(s.FWhoisWall);
  FngrWall_ChckB->setEnabled(!FFingerRelay.isEmpty());
  WhoisWall_ChckB->setEnabled(!FWhoisRelay.isEmpty());
  PngTout_UD->SetPosition(s.FPingTimeout);
  PngReqNum_UD->SetPosition(s.FPingReqNum);
  PngDelay_UD->SetPosition(s.FPingDelay);
  PngPSize_UD->SetPosition(s.FPingSize);
  PngTTL_UD->SetPosition(s.FPingTTL);
  PngDntFrg_ChckB->setChecked(s.FPingDontFragment);
  TRTout_UD->SetPosition(s.FTraceTimeout);
  TRStHop_UD->SetPosition(s.FTraceStartHop);
  TRMaxHop_UD->SetPosition(s.FTraceMaxHop);
  TRReslvHost_ChckB->setChecked(s.FTraceResolveHosts);
  NSTout_UD->SetPosition(s.FNsTimeout);
  Ex_UD1->SetPosition(s.FScanFirst);
  Ex_UD2->SetPosition(s.FScanLast);
  ExAll_ChckB->setChecked(s.FScanFoundOnly);
  (s.FHttpGet ? HTTPGET_RBTN : HTTPHEAD_RBTN)->setChecked(true);
  FFolder = s.FFolder;
  Clear_ChckM->setChecked(s.FClear);
  AutoScroll_ChckM->setChecked(s.FAutoScroll);
  if (const int page = PageIndexOfName(s.FActivePage); page >= 0)
    PageControl->setCurrentIndex(page);
  FOutputFont = QFont(s.FFontName);
  FOutputFont.setPixelSize(PointsToPixels(s.FFontSize));
  FLogMode = s.FLogMode;
  FLogFileName = s.FLogFileName;
  FLogPrefix = s.FLogPrefix;
}

TSettings TOstrekForm::CollectSettings() const {
  TSettings s;
  s.FWindow = {x(), y(), width(), height()};
  s.FFingerServers = HistoryOf(FngrServ_CB);
  s.FFingerRequests = HistoryOf(FngrReq_CB);
  s.FWhoisServers = HistoryOf(WhoisServ_CB);
  s.FWhoisRequests = HistoryOf(WhoisReq_CB);
  s.FPingServers = HistoryOf(PngServ_CB);
  s.FTraceServers = HistoryOf(TRServ_CB);
  s.FNsServers = HistoryOf(NSServ_CB);
  s.FScanPrefixes = HistoryOf(Ex_CB);
  s.FHttpUrls = HistoryOf(HHURL_CB);
  s.FFingerRelay = FFingerRelay;
  s.FWhoisRelay = FWhoisRelay;
  s.FFingerWall = FngrWall_ChckB->isChecked();
  s.FWhoisWall = WhoisWall_ChckB->isChecked();
  s.FPingTimeout = PngTout_UD->Position();
  s.FPingReqNum = PngReqNum_UD->Position();
  s.FPingDelay = PngDelay_UD->Position();
  s.FPingSize = PngPSize_UD->Position();
  s.FPingTTL = PngTTL_UD->Position();
  s.FPingDontFragment = PngDntFrg_ChckB->isChecked();
  s.FTraceTimeout = TRTout_UD->Position();
  s.FTraceStartHop = TRStHop_UD->Position();
  s.FTraceMaxHop = TRMaxHop_UD->Position();
  s.FTraceResolveHosts = TRReslvHost_ChckB->isChecked();
  s.FNsTimeout = NSTout_UD->Position();
  s.FScanFirst = Ex_UD1->Position();
  s.FScanLast = Ex_UD2->Position();
  s.FScanFoundOnly = ExAll_ChckB->isChecked();
  s.FHttpHead = HTTPHEAD_RBTN->isChecked();
  s.FHttpGet = HTTPGET_RBTN->isChecked();
  s.FFolder = FFolder;
  s.FClear = Clear_ChckM->isChecked();
  s.FAutoScroll = AutoScroll_ChckM->isChecked();
  s.FActivePage = PageControl->currentWidget()->objectName();
  s.FFontName = FOutputFont.family();
  s.FFontSize = PixelsToPoints(FOutputFont.pixelSize());
  s.FLogMode = FLogMode;
  s.FLogFileName = FLogFileName;
  s.FLogPrefix = FLogPrefix;
  return s;
}

void TOstrekForm::SaveSettingsOnClose() {
  const TSettings settings = CollectSettings();
  const TSettingsResult saved =
      SaveSetting_INI->isChecked() ? SaveSettingsToIni(settings) : SaveSettingsToRegistry(settings);
  if (saved != TSettingsResult::Ok) ShowError(SettingsErrorText(saved));
}

void TOstrekForm::ApplyOutputFont() {
  ExtMemo->setFont(FOutputFont);
  QFont windowFont = font();
  windowFont.setPixelSize(FOutputFont.pixelSize());
  setFont(windowFont);
  ResizeForFont();
}

// A log name may come from a hand-edited settings file: check it like one
// typed in the log dialog before anything is written.
bool TOstrekForm::LogNamesUsable() const {
  if (FLogMode == 1 && !FLogFileName.isEmpty()) return FileNameCheck(ToSjis(FLogFileName));
  if (FLogMode >= 1) return FileNameCheck(ToSjis(FLogPrefix));
  return true;
}

void TOstrekForm::ShowError(const QString& text) { ShowErrorBox(this, text); }
