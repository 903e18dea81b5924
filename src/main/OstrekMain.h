#pragma once
#include <QFont>
#include <QMainWindow>
#include <QPointer>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/Resolver.h"
#include "platform/SocketLayer.h"
#include "workers/IcmpCommon.h"
#include "workers/OutputChannel.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimer;
class TExtMemo;
class TQueryThread;
class TUpDown;
struct TSettings;

// The main window: seven tool pages, start and stop, the shared output pane.
class TOstrekForm : public QMainWindow {
  Q_OBJECT
 public:
  explicit TOstrekForm(QWidget* parent = nullptr);
  ~TOstrekForm() override;

  // Query runs.
  void Go_BtnClick();
  void Stop_BtnClick();
  void StartQuery(const QString& title);
  void FinishQuery();
  void DisableInputs();
  void EnableInputs();
  bool IsBusy() const { return FBusy.load(); }

  // Output and log.
  void AddOutput(const QByteArray& sjisText);
  void AddOutput(const QString& text);
  void DeleteLastOutput();
  void WriteQueryLog();
  bool SaveOutputTo(const QString& path);  // no question asked
  void Save_ExMMClick();
  // The save dialog; tests put their own chooser in its place.
  std::function<QString()> FChooseSaveFile;
  void CpAll_ExMMClick();
  void DeleteAll_ExMMClick();

  // Host lookups: blocks the caller until the lookup ends (the main thread
  // keeps its event loop running meanwhile). On success the result stands
  // in *result, or in FHostEntry when result is null (main thread only).
  bool LookupHost(const QString& name, bool report, THostEntry* result = nullptr);
  void SetResolver(std::shared_ptr<TResolver> resolver);

  // Histories.
  void AddToHistory(QComboBox* box);
  static QStringList HistoryOf(const QComboBox* box);
  static void SetHistory(QComboBox* box, const QStringList& list, const QString& text);
  void DeleteFromHistory(QComboBox* box);

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
  // Well-known ports of the relay tools; tests point them at their servers.
  int FFingerPort = 79;
  int FWhoisPort = 43;
  bool WindowShown = false;
  int MarkPosition = 0;
  int AnimFrame = 1;
  THostEntry FHostEntry;
  TWsaData FWsaData{};
  QString FFolder;    // where the save dialog starts
  QFont FOutputFont;  // the pane's font, applied at the first show
  QList<QByteArray> FQueryLines;

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
  QLabel *FngrServ_LBL, *FngrReq_LBL, *WhoisServ_LBL, *WhoisReq_LBL, *PngServ_LBL, *PngTout_LBL,
      *PngReqNum_LBL, *PngDelay_LBL, *PngPSize_LBL, *PngTTL_LBL, *TRServ_LBL, *TRTout_LBL,
      *TRStHop_LBL, *TRMaxHop_LBL, *NSServ_LBL, *NSTout_LBL, *Ex_LBL, *ExCmm_LBL, *ExCmm_LBL2,
      *HHURL_LBL;
  QLineEdit *PngTout_Edt, *PngReqNum_Edt, *PngDelay_Edt, *PngPSize_Edt, *PngTTL_Edt, *TRTout_Edt,
      *TRStHop_Edt, *TRMaxHop_Edt, *NSTout_Edt, *Ex_Edt1, *Ex_Edt2;
  TUpDown *PngTout_UD, *PngReqNum_UD, *PngDelay_UD, *PngPSize_UD, *PngTTL_UD, *TRTout_UD,
      *TRStHop_UD, *TRMaxHop_UD, *NSTout_UD, *Ex_UD1, *Ex_UD2;
  QRadioButton *HTTPHEAD_RBTN, *HTTPGET_RBTN;

  // Menus.
  QMenu *File_ExMM, *Edit_ExMM, *Show1, *Help_MM;
  QAction *Save_ExMM, *Log_ExMM, *SaveSetting_INI, *SaveSetting_REG, *Exit_ExMM, *CpAll_ExMM,
      *DeleteAll_ExMM, *Clear_ChckM, *AutoScroll_ChckM, *WinsockInfo_MM, *About_MM;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Start-up and shutdown.
  void FormCreate();
  void ApplySettings(const TSettings& settings);
  TSettings CollectSettings() const;
  void SaveSettingsOnClose();
  void ApplyOutputFont();
  bool LogNamesUsable() const;
  void ShowError(const QString& text);

  // Construction.
  void BuildPages();
  struct TRelayControls {
    QComboBox **Serv, **Req;
    QPushButton **ServDel, **ReqDel;
    QCheckBox** Wall;
    QPushButton** WallBtn;
    QLabel **ServLbl, **ReqLbl;
  };
  void BuildRelayPage(QWidget* page, const char* prefix, const QString& serverCaption,
                      TRelayControls controls);
  void BuildFingerPage();
  void BuildWhoisPage();
  void BuildPingPage();
  void BuildTraceRoutePage();
  void BuildNsLookupPage();
  void BuildIpScanPage();
  void BuildHttpPage();
  void BuildMenus();
  void ConnectHistoryButtons();
  QList<QWidget*> PageControls() const;
  QComboBox* ActiveMainField() const;

  // Query tools.
  void GoFinger();
  void GoWhois();
  void GoHttp();
  void GoNsLookup();
  void GoPing();
  void GoTraceRoute();
  struct TLookupGate;
  THopLookup HopLookup();
  void CloseLookupGate();
  void GoIpScan();
  void WriteHostEntry(const THostEntry& entry);
  bool CutHostField(QComboBox* box, const QString& tool);
  static bool ParseDottedAddress(const QString& text, quint32* addr);
  void GoRelayTool(QComboBox* server, QComboBox* request, QCheckBox* useRelay, const QString& relay,
                   const QString& tool, int port);
  bool ResolveTarget(const QString& host, quint32* addr);
  void StartTcpWorker(quint32 addr, const QByteArray& request, int port);
  void StartWorker(TQueryThread* worker);
  void FormClose();

  // Hand-over from the running worker.
  void DrainWorker(std::weak_ptr<TOutputChannel> channel);
  QString ChooseSaveFile();
  void AppendOutputBatch(const QList<QByteArray>& lines);
  void SetStatusText(const QString& text);

  // Layout pieces.
  void ArrangeRelayPage(QComboBox* serv, QComboBox* req, QLabel* servLbl, QLabel* reqLbl,
                        QPushButton* servDel, QPushButton* reqDel, QCheckBox* wall,
                        QPushButton* wallBtn);
  void ArrangePingPage();
  void ArrangeTraceRoutePage();
  void ArrangeNsLookupPage();
  void ArrangeIpScanPage();
  void ArrangeHttpPage();

  // Lookups.
  struct TPendingLookup;
  TResolver& Resolver();
  void WaitOnMainThread(TPendingLookup& pending, int timeoutMs);
  void WaitOnWorkerThread(TPendingLookup& pending, int timeoutMs);
  void StopPendingLookup();
  void PostStatusText(const QString& text);

  bool FStartFailed = false;
  bool FClosed = false;
  std::atomic<bool> FBusy{false};
  std::atomic<quint64> FRunNumber{0};
  std::atomic<int> FLookupTimeoutSec{5};
  std::shared_ptr<TResolver> FResolver;
  std::shared_ptr<TLookupGate> FLookupGate;
  std::mutex FPendingLock;
  std::shared_ptr<TPendingLookup> FPending;
  QPointer<TQueryThread> FWorker;
  std::shared_ptr<TOutputChannel> FChannel;
};
