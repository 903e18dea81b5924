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
#include "common/History.h"
#include "common/SjisText.h"
#include "dialogs/DialogCommon.h"
#include "dialogs/FontDlg.h"
#include "main/NsLookupPage.h"
#include "main/OstrekMain.h"
#include "platform/EchoMethod.h"
#include "settings/Settings.h"
#include "widgets/ExtMemo.h"
#include "widgets/GraphPanel.h"
#include "widgets/UpDown.h"

namespace {
QStringList HistoryOf(const QComboBox* box) {
  QStringList list;
  for (int i = 0; i < box->count(); ++i) list.append(box->itemText(i));
  return list;
}

void SetHistory(QComboBox* box, const QStringList& list, const QString& text) {
  box->clear();
  box->addItems(list);
  box->setEditText(text);
}

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
  FCentreOnShow = bounds == DefaultWindowBounds(screen.width(), screen.height());
  move(bounds.FLeft, bounds.FTop);
  resize(bounds.FWidth, bounds.FHeight);
  PageControlChange();
  if (WSAStartup(0x0101, &FWsaData) != 0) {
    ShowError(QStringLiteral("WSAStratup Error"));
    FStartFailed = true;
    return;
  }
  // One probe decides the echo method for the whole run.
  const TEchoMethod method = ProbeEchoMethod();
  FIcmpServiceMode = method.ServiceMode;
  FEchoReason = method.Reason;
  FIcmpServiceUsable = method.ServiceUsable;
}

void TOstrekForm::AddToHistory(QComboBox* box) {
  QStringList list = HistoryOf(box);
  const QString text = ::AddToHistory(list, box->currentText());
  SetHistory(box, list, text);
}

void TOstrekForm::DeleteFromHistory(QComboBox* box) {
  QStringList list = HistoryOf(box);
  const QString text = ::DeleteFromHistory(list, box->currentText());
  SetHistory(box, list, text);
}

// Histories show their top entry; spins keep a stored number in their range.
void TOstrekForm::ApplySettings(const TSettings& s) {
  for (const TPageEntry& page : FPages) {
    for (const THistoryField& f : page.Histories)
      SetHistory(f.Box, s.*f.Stored, (s.*f.Stored).value(0));
    for (const TSpinField& f : page.Spins) f.Spin->SetPosition(s.*f.Stored);
    for (const TCheckField& f : page.Checks) f.Box->setChecked(s.*f.Stored);
  }
  FFingerRelay = s.FFingerRelay;
  FWhoisRelay = s.FWhoisRelay;
  FngrWall_ChckB->setEnabled(!FFingerRelay.isEmpty());
  WhoisWall_ChckB->setEnabled(!FWhoisRelay.isEmpty());
  (s.FHttpGet ? HTTPGET_RBTN : HTTPHEAD_RBTN)->setChecked(true);
  WhoisProtocol_CB->setCurrentIndex(int(s.FWhoisProtocol));
  ShowWhoisProtocol();
  NsPage->Apply(s);
  FFolder = s.FFolder;
  Clear_ChckM->setChecked(s.FClear);
  AutoScroll_ChckM->setChecked(s.FAutoScroll);
  GraphPanel->setVisible(s.FShowGraph);
  PreferIPv6_ChckM->setChecked(s.FPreferIPv6);
  FGraphHeight = s.FGraphHeight;
  // A name of no tab leaves the window's initial tab (HTTP) active.
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
  for (const TPageEntry& page : FPages) {
    for (const THistoryField& f : page.Histories) s.*f.Stored = HistoryOf(f.Box);
    for (const TSpinField& f : page.Spins) s.*f.Stored = f.Spin->Position();
    for (const TCheckField& f : page.Checks) s.*f.Stored = f.Box->isChecked();
  }
  s.FFingerRelay = FFingerRelay;
  s.FWhoisRelay = FWhoisRelay;
  s.FHttpHead = HTTPHEAD_RBTN->isChecked();
  s.FHttpGet = HTTPGET_RBTN->isChecked();
  s.FWhoisProtocol = TWhoisProtocol(WhoisProtocol_CB->currentIndex());
  NsPage->Collect(s);
  s.FFolder = FFolder;
  s.FClear = Clear_ChckM->isChecked();
  s.FAutoScroll = AutoScroll_ChckM->isChecked();
  s.FShowGraph = Graph_ChckM->isChecked();
  s.FPreferIPv6 = PreferIPv6_ChckM->isChecked();
  s.FGraphHeight = KeptGraphHeight();
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

// The font step: the pane takes the font, the window its size (its family
// stays the design's), and the window is laid out again.
void TOstrekForm::ApplyOutputFont() {
  ExtMemo->setFont(FOutputFont);
  QFont windowFont = font();
  windowFont.setPixelSize(FOutputFont.pixelSize());
  setFont(windowFont);
  ResizeForFont();
}

void TOstrekForm::Font_ExPMClick() {
  QFont shown(FOutputFont.family());
  shown.setPointSize(PixelsToPoints(FOutputFont.pixelSize()));
  TFontDialog dialog(this, shown);
  connect(&dialog, &TFontDialog::Apply, this, &TOstrekForm::FontDialogApply);
  if (dialog.exec() == QDialog::Accepted) FontDialogApply(dialog.SelectedFont());
}

void TOstrekForm::FontDialogApply(const QFont& font) {
  FOutputFont = QFont(font.family());
  FOutputFont.setPixelSize(PointsToPixels(font.pointSize()));
  ApplyOutputFont();
}

void TOstrekForm::ShowError(const QString& text) { ShowErrorBox(this, text); }
