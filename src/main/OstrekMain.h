#pragma once
#include <QColor>
#include <QFont>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "common/SjisLines.h"
#include "common/WhoisReferral.h"
#include "platform/SocketLayer.h"

class QAction;
class QCheckBox;
class QDragEnterEvent;
class QDropEvent;
class QIODevice;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimer;
class TExtMemo;
class TNsLookupPage;
class TFindDialog;
class TGraphPanel;
class TOutputChannel;
class TQueryLogWriter;
class TQueryThread;
class TResolver;
class TAnimateWindow;
class TAnimation;
class TUpDown;
struct TPictureArea;
struct TPingSample;
struct THopRow;
enum class TGraphMode : quint8;
struct TLookupSetup;
struct TSettings;

// What the window reaches outside itself. Tests put their own in place.
struct TFormDeps {
  // Host lookups; null: the system's resolver, made at the first run.
  std::shared_ptr<TResolver> Resolver;
  // The save dialog: the file chosen, empty when cancelled. Null: Qt's dialog.
  std::function<QString(QWidget* owner, const QString& folder)> ChooseSaveFile;
  int FingerPort = 79;
  int WhoisPort = WhoisServicePort;
  // How long closing waits for the log entries to be written.
  int LogWaitMs = 10000;
};

// The main window: seven tool pages, start and stop, the shared output pane.
class TOstrekForm : public QMainWindow {
  Q_OBJECT
 public:
  explicit TOstrekForm(TFormDeps deps = {}, QWidget* parent = nullptr);
  ~TOstrekForm() override;

  // Query runs.
  void Go_BtnClick();
  void Stop_BtnClick();
  void StartQuery(const QString& title);
  void FinishQuery();
  void DisableInputs();
  void EnableInputs();
  bool IsBusy() const { return FBusy; }

  // Output and log.
  void AddOutput(const QByteArray& sjisText);
  void AddOutput(const QString& text);
  void DeleteLastOutput();
  void WriteQueryLog();
  // Returns once the log entries of all finished runs are written: true, or
  // false when they still were not after LogWaitMs.
  bool WaitForQueryLog();
  // One error box for the entries that could not be written since the last.
  // unwritten: entries were still being written, which counts as a failure.
  void ReportQueryLogFailures(bool unwritten = false);
  void Save_ExMMClick();
  void CpAll_ExMMClick();
  void DeleteAll_ExMMClick();
  // Saves the statistics panel's samples as CSV.
  void GraphSave_ExMMClick();

  // Histories.
  void AddToHistory(QComboBox* box);
  void DeleteFromHistory(QComboBox* box);

  // The pane's own commands (main menu and context menu alike).
  void Copy_ExPMClick();
  void SelectAll_ExPMClick();
  void Top_ExPMClick();
  void End_ExPMClick();
  void Jump_ExPMClick();
  void Mark_ExPMClick();
  void ReMark_ExPMClick();
  void Font_ExPMClick();
  void FontDialogApply(const QFont& font);
  void FindClick();
  void FindDialogFind();
  void AutoScroll_ChckMClick();
  void Help_ContentsClick();
  void Help_KeywordClick();

  // Dialogs.
  void Log_ExMMClick();
  void FireWall_BtnClick();
  void WinsockInfo_MMClick();
  void About_MMClick();

  // Layout and caption.
  void PageControlChange();
  void ResizeForFont();
  void ArrangeActivePage();
  void FormResize();

  // Settings that other parts of the program fill in.
  QString FFingerRelay;
  QString FWhoisRelay;
  int FLogMode = 0;
  QString FLogFileName;
  QString FLogPrefix;
  bool FIcmpServiceMode = false;
  QString FEchoReason;  // why raw ICMP sockets (or the echo service) cannot be used
  bool FIcmpServiceUsable = true;  // the echo service could open its socket
  bool WindowShown = false;
  int MarkPosition = 0;  // a character position of the pane
  int AnimFrame = 1;     // the activity picture's frame
  TWsaData FWsaData{};
  QString FFolder;    // where the save dialog starts
  QFont FOutputFont;  // the pane's font, applied at the first show
  TSjisLines FQueryLines;

  // Controls, by their documented names.
  QTabWidget* PageControl;
  QWidget *Finger, *Whois, *Ping, *TraceRoute, *NsLookup, *NsLookupEx, *Http;
  QPushButton *Go_Btn, *Stop_Btn;
  TExtMemo* ExtMemo;
  QLabel* StatusPanel;
  QComboBox *FngrServ_CB, *FngrReq_CB, *WhoisServ_CB, *WhoisReq_CB, *PngServ_CB, *TRServ_CB,
      *NSServ_CB, *Ex_CB, *HHURL_CB;
  QPushButton *FngrServ_Del, *FngrReq_Del, *WhoisServ_Del, *WhoisReq_Del, *PngServ_Del, *TRServ_Del,
      *NSServ_Del, *Ex_Del, *HHURL_Del;
  QCheckBox *FngrWall_ChckB, *WhoisWall_ChckB, *PngDntFrg_ChckB, *TRReslvHost_ChckB, *ExAll_ChckB;
  QPushButton *FngrWall_Btn, *WhoisWall_Btn;
  QCheckBox* WhoisRefer_ChckB = nullptr;  // "参照先もたどる"
  QComboBox* WhoisProtocol_CB = nullptr;  // "方式": whois, RDAP, 自動
  QLabel* WhoisProtocol_LBL = nullptr;
  QCheckBox* TRRepeat_ChckB = nullptr;    // "繰り返す(&R)"
  QLabel* TRCycles_LBL = nullptr;         // "回数"
  QLineEdit* TRCycles_Edt = nullptr;
  TUpDown* TRCycles_UD = nullptr;
  QLabel *FngrServ_LBL, *FngrReq_LBL, *WhoisServ_LBL, *WhoisReq_LBL, *PngServ_LBL, *PngTout_LBL,
      *PngReqNum_LBL, *PngDelay_LBL, *PngPSize_LBL, *PngTTL_LBL, *TRServ_LBL, *TRTout_LBL,
      *TRStHop_LBL, *TRMaxHop_LBL, *NSServ_LBL, *NSTout_LBL, *Ex_LBL, *ExCmm_LBL, *ExCmm_LBL2,
      *HHURL_LBL;
  QLineEdit *PngTout_Edt, *PngReqNum_Edt, *PngDelay_Edt, *PngPSize_Edt, *PngTTL_Edt, *TRTout_Edt,
      *TRStHop_Edt, *TRMaxHop_Edt, *NSTout_Edt, *Ex_Edt1, *Ex_Edt2;
  TUpDown *PngTout_UD, *PngReqNum_UD, *PngDelay_UD, *PngPSize_UD, *PngTTL_UD, *TRTout_UD,
      *TRStHop_UD, *TRMaxHop_UD, *NSTout_UD, *Ex_UD1, *Ex_UD2;
  QRadioButton *HTTPHEAD_RBTN, *HTTPGET_RBTN;

  // Menus; every item also has its component name as object name.
  QMenu *File_ExMM, *Edit_ExMM, *Show1, *Search_ExMM, *Help_MM, *ExtMemoPopup;
  QAction *Log_ExMM, *SaveSetting_INI, *SaveSetting_REG, *CpAll_ExMM, *DeleteAll_ExMM, *Clear_ChckM,
      *AutoScroll_ChckM;
  TFindDialog* FindDialog;
  TAnimateWindow* AnimateWindow1;
  // The statistics panel of Ping and TraceRoute, and its two menu items.
  TGraphPanel* GraphPanel;
  QAction *Graph_ChckM, *GraphSave_ExMM;
  // A name's IPv6 address before its IPv4 one.
  QAction* PreferIPv6_ChckM;
  // NS Lookup's record type, DNS server, TCP and DNSSEC.
  std::unique_ptr<TNsLookupPage> NsPage;

 signals:
  // A run has ended (done or stopped); its log entry is with the log writer.
  void QueryFinished();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // --- The page table: every "for each page" or "for each field" goes
  // through it. Pages in tab order, fields in the order of the design.
  struct THistoryField {
    QComboBox* Box;
    QPushButton* Delete;
    QStringList TSettings::*Stored;
    bool Widened = true;  // FormResize stretches it to the page's width
  };
  struct TSpinField {
    TUpDown* Spin;
    int TSettings::*Stored;
  };
  struct TCheckField {
    QCheckBox* Box;
    bool TSettings::*Stored;
  };
  struct TPageEntry {
    QWidget* Page;
    QComboBox* MainField;   // takes the focus when the inputs come back
    QComboBox* DropTarget;  // takes a dropped shortcut's address: its host part,
    bool DropWholeUrl;      // or the whole URL
    std::vector<THistoryField> Histories;
    std::vector<TSpinField> Spins;
    std::vector<TCheckField> Checks;
    std::function<void()> Go;
    std::function<void()> Arrange;
  };
  std::vector<TPageEntry> FPages;
  const TPageEntry& ActivePage() const;

  // --- A run from its header on: finishes the run when it goes out of
  // scope, unless a worker took it over (the worker then finishes it).
  class TRun {
   public:
    TRun(TOstrekForm& form, const QString& title);
    ~TRun();
    TRun(const TRun&) = delete;
    TRun& operator=(const TRun&) = delete;
    void HandTo(TQueryThread* worker);

   private:
    TOstrekForm& FForm;
    bool FHanded = false;
  };

  // Start-up and shutdown.
  void FormCreate();
  void ApplySettings(const TSettings& settings);
  TSettings CollectSettings() const;
  void SaveSettingsOnClose();
  void ApplyOutputFont();
  void ShowError(const QString& text);
  void FormClose();

  // Construction.
  void BuildPages();
  struct TRelayControls {
    QComboBox **Serv, **Req;
    QPushButton **ServDel, **ReqDel;
    QCheckBox** Wall;
    QPushButton** WallBtn;
    QLabel **ServLbl, **ReqLbl;
    QCheckBox** Follow = nullptr;  // Whois only: follow referrals
  };
  void BuildRelayPage(QWidget*& page, const char* name, const char* prefix,
                      const QString& serverCaption, TRelayControls controls);
  void BuildWhoisProtocol();
  void BuildPingPage();
  void BuildTraceRoutePage();
  void BuildNsLookupPage();
  void BuildIpScanPage();
  void BuildHttpPage();
  void BuildMenus();
  void BuildEditMenu();
  void BuildPopup();
  int FindDown() const;
  int FindUp() const;
  void ConnectHistoryButtons();
  void NameHelperControls();
  QList<QWidget*> PageControls() const;

  // The tools.
  void GoRelayTool(QComboBox* serverBox, QComboBox* request, QCheckBox* useRelay,
                   const QString& relay, const QString& tool, int port, QCheckBox* follow);
  void GoRdap(QComboBox* request, QCheckBox* follow, int port);
  // Under RDAP the server field is not used: it is disabled while idle.
  void ShowWhoisProtocol();
  void GoPing();
  void GoTraceRoute();
  void GoNsLookup();
  void GoIpScan();
  void GoHttp();
  std::optional<QString> TakeHost(QComboBox* box, const QString& tool);
  void WriteBackSpins();
  TLookupSetup Lookups();
  std::shared_ptr<TOutputChannel> NewChannel();

  // Hand-over from the running worker.
  void DrainWorker(std::weak_ptr<TOutputChannel> channel);
  void AppendOutputBatch(const QList<QByteArray>& lines);
  void SetStatusText(const QString& text);
  bool SaveOutputTo(const QString& path);
  // Save-as: the file chooser and the overwrite question; empty when the
  // user gave up. Then the write, or an error box that says why not.
  QString AskSavePath(const QString& filter, const QString& suffix);
  bool WriteFileOrSay(const QString& path, const QByteArray& bytes);
  bool WriteFileOrSay(const QString& path, const std::function<bool(QIODevice&)>& write);

  // The statistics panel (OstrekGraph.cpp).
  void BuildGraphPanel();
  void StartSampling(TGraphMode mode, int planned, int timeoutMs);
  void StartHopTable();
  void TakeSample(const TPingSample& sample);
  void TakeHopTable(const std::shared_ptr<const std::vector<THopRow>>& rows);
  // A repeated TraceRoute's last table into the pane, once, while the run
  // still writes there.
  void WriteHopTable();
  void EndSampling();
  void ShowGraphPanel(bool on);
  void FitGraphPanel();
  int KeptGraphHeight() const;

  void GrowToShowPage();
  // The height the pane keeps at least; the window's minimum height that
  // leaves it that much under the page, with the panel at its own minimum.
  int PaneLinesHeight() const;
  void KeepPaneLines();

  // The activity picture.
  TPictureArea CurrentPictureArea() const;
  void DrawPicture(const QColor& colour, bool advance);

  // Layout of the pages.
  void ArrangeRelayPage(QComboBox* serv, QComboBox* req, QLabel* servLbl, QLabel* reqLbl,
                        QPushButton* servDel, QPushButton* reqDel, QCheckBox* wall,
                        QPushButton* wallBtn, QCheckBox* follow);
  void ArrangePingPage();
  void ArrangeTraceRoutePage();
  void ArrangeNsLookupPage();
  void ArrangeIpScanPage();
  void ArrangeHttpPage();

  TFormDeps FDeps;
  bool FStartFailed = false;
  bool FCentreOnShow = false;  // the program chose the window's place, not the user
  bool FClosed = false;
  bool FBusy = false;
  QPointer<TQueryThread> FWorker;
  TAnimation* FAnimation = nullptr;
  QColor FPictureColour;
  std::shared_ptr<TOutputChannel> FChannel;
  QTimer* FDrainTimer = nullptr;
  std::unique_ptr<TQueryLogWriter> FLogWriter;
  bool FSampling = false;  // the run fills the statistics panel
  bool FHopTablePending = false;  // a repeated TraceRoute's table is still to be written
  int FGraphHeight = 0;    // the panel's height as stored, 0 for its own
};
