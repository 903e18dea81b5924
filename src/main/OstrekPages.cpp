// Construction of the seven tool pages and their controls.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include "common/ToolValues.h"
#include "dialogs/DialogCommon.h"
#include "main/OstrekMain.h"
#include "settings/Settings.h"
#include "widgets/UpDown.h"

namespace {
QComboBox* MakeCombo(QWidget* page, const char* name, const QString& hint = {}) {
  auto* box = Named(new QComboBox(page), name);
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->setMaxVisibleItems(16);
  box->setGeometry(96, 8, 200, 20);
  if (!hint.isEmpty()) box->setToolTip(hint);
  return box;
}

QLabel* MakeLabel(QWidget* page, const char* name, const QString& text, int top = 12) {
  auto* label = Named(new QLabel(text, page), name);
  label->adjustSize();
  label->move(8, top);
  return label;
}

QPushButton* MakeDelete(QWidget* page, const char* name, int top = 7) {
  auto* button = Named(new QPushButton(QStringLiteral("削除"), page), name);
  button->setAutoDefault(false);
  button->setGeometry(400, top, 60, 22);
  return button;
}

QLineEdit* MakeEdit(QWidget* page, const char* name, const QString& hint = {}) {
  auto* edit = Named(new QLineEdit(page), name);
  edit->setGeometry(96, 40, 40, 20);
  if (!hint.isEmpty()) edit->setToolTip(hint);
  return edit;
}

TUpDown* MakeUpDown(QWidget* page, const char* name, QLineEdit* buddy, const TToolValue& value) {
  auto* ud = Named(new TUpDown(buddy, value.Min, value.Max, value.Design, page), name);
  ud->setGeometry(buddy->geometry().right() + 1, buddy->y(), 15, buddy->height());
  ud->setToolTip(buddy->toolTip());
  return ud;
}

QCheckBox* MakeCheck(QWidget* page, const char* name, const QString& text) {
  auto* box = Named(new QCheckBox(text, page), name);
  box->adjustSize();
  return box;
}

QPushButton* MakeButton(QWidget* page, const char* name, const QString& text) {
  auto* button = Named(new QPushButton(text, page), name);
  button->setAutoDefault(false);
  button->adjustSize();
  return button;
}

// Tab moves through the controls in the order given.
void SetFocusOrder(const QList<QWidget*>& order) {
  for (qsizetype i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

QWidget* MakePage(QTabWidget* tabs, const char* name, const QString& caption) {
  auto* page = Named(new QWidget, name);
  tabs->addTab(page, caption);
  return page;
}
}  // namespace

void TOstrekForm::BuildPages() {
  PageControl = Named(new QTabWidget(centralWidget()), "PageControl");
  PageControl->setFocusPolicy(Qt::TabFocus);
  Finger = MakePage(PageControl, "Finger", QStringLiteral("Finger"));
  Whois = MakePage(PageControl, "Whois", QStringLiteral("Whois"));
  Ping = MakePage(PageControl, "Ping", QStringLiteral("Ping"));
  TraceRoute = MakePage(PageControl, "TraceRoute", QStringLiteral("TraceRoute"));
  NsLookup = MakePage(PageControl, "NsLookup", QStringLiteral("NS Lookup"));
  NsLookupEx = MakePage(PageControl, "NsLookupEx", QStringLiteral("IP Scan"));
  Http = MakePage(PageControl, "Http", QStringLiteral("HTTP"));
  BuildRelayPage(Finger, "Fngr", QStringLiteral("Fingerサーバ"),
                 {&FngrServ_CB, &FngrReq_CB, &FngrServ_Del, &FngrReq_Del, &FngrWall_ChckB,
                  &FngrWall_Btn, &FngrServ_LBL, &FngrReq_LBL});
  BuildRelayPage(Whois, "Whois", QStringLiteral("Whoisサーバ"),
                 {&WhoisServ_CB, &WhoisReq_CB, &WhoisServ_Del, &WhoisReq_Del, &WhoisWall_ChckB,
                  &WhoisWall_Btn, &WhoisServ_LBL, &WhoisReq_LBL});
  BuildPingPage();
  BuildTraceRoutePage();
  BuildNsLookupPage();
  BuildIpScanPage();
  BuildHttpPage();
  // The window's initial tab; the settings usually choose another.
  PageControl->setCurrentWidget(Http);
  DescribePages();
}

// Finger and Whois pages have the same controls; prefix is "Fngr" or "Whois".
void TOstrekForm::BuildRelayPage(QWidget* page, const char* prefix, const QString& serverCaption,
                                 TRelayControls c) {
  const auto name = [prefix](const char* role) {
    static QByteArray text;
    text = QByteArray(prefix) + role;
    return text.constData();
  };
  *c.Serv = MakeCombo(page, name("Serv_CB"), QStringLiteral("ホスト名 or ホストアドレス"));
  *c.Req = MakeCombo(page, name("Req_CB"));
  *c.ServDel = MakeDelete(page, name("Serv_Del"));
  *c.ReqDel = MakeDelete(page, name("Req_Del"));
  *c.Wall = MakeCheck(page, name("Wall_ChckB"), QStringLiteral("ファイアウォールを使う"));
  *c.WallBtn = MakeButton(page, name("Wall_Btn"), QStringLiteral("設定..."));
  *c.ServLbl = MakeLabel(page, name("Serv_LBL"), serverCaption);
  *c.ReqLbl = MakeLabel(page, name("Req_LBL"), QStringLiteral("照会文字列"));
  SetFocusOrder({*c.Serv, *c.Req, *c.ServDel, *c.ReqDel, *c.Wall, *c.WallBtn});
}

void TOstrekForm::BuildPingPage() {
  const QString seconds = QStringLiteral("秒で指定");
  PngServ_CB = MakeCombo(Ping, "PngServ_CB", QStringLiteral("ホスト名 or ホストアドレス"));
  PngTout_Edt = MakeEdit(Ping, "PngTout_Edt", seconds);
  PngReqNum_Edt = MakeEdit(Ping, "PngReqNum_Edt");
  PngDelay_Edt = MakeEdit(Ping, "PngDelay_Edt", QStringLiteral("ミリ秒で指定"));
  PngPSize_Edt = MakeEdit(Ping, "PngPSize_Edt");
  PngTTL_Edt = MakeEdit(Ping, "PngTTL_Edt");
  PngDntFrg_ChckB = MakeCheck(Ping, "PngDntFrg_ChckB", QStringLiteral("断片化しない"));
  PngServ_Del = MakeDelete(Ping, "PngServ_Del");
  PngTout_UD = MakeUpDown(Ping, "PngTout_UD", PngTout_Edt, PingTimeoutValue);
  PngReqNum_UD = MakeUpDown(Ping, "PngReqNum_UD", PngReqNum_Edt, PingCountValue);
  PngDelay_UD = MakeUpDown(Ping, "PngDelay_UD", PngDelay_Edt, PingDelayValue);
  PngPSize_UD = MakeUpDown(Ping, "PngPSize_UD", PngPSize_Edt, PingSizeValue);
  PngTTL_UD = MakeUpDown(Ping, "PngTTL_UD", PngTTL_Edt, PingTtlValue);
  PngServ_LBL = MakeLabel(Ping, "PngServ_LBL", QStringLiteral("対象ホスト"));
  PngTout_LBL = MakeLabel(Ping, "PngTout_LBL", QStringLiteral("タイムアウト"));
  PngReqNum_LBL = MakeLabel(Ping, "PngReqNum_LBL", QStringLiteral("リクエスト数"));
  PngDelay_LBL = MakeLabel(Ping, "PngDelay_LBL", QStringLiteral("ディレイ"));
  PngPSize_LBL = MakeLabel(Ping, "PngPSize_LBL", QStringLiteral("データサイズ"));
  PngTTL_LBL = MakeLabel(Ping, "PngTTL_LBL", QStringLiteral("TTL"));
  SetFocusOrder({PngServ_CB, PngTout_Edt, PngReqNum_Edt, PngDelay_Edt, PngPSize_Edt, PngTTL_Edt,
                 PngDntFrg_ChckB, PngServ_Del, PngTout_UD, PngReqNum_UD, PngDelay_UD, PngPSize_UD,
                 PngTTL_UD});
}

void TOstrekForm::BuildTraceRoutePage() {
  TRServ_CB = MakeCombo(TraceRoute, "TRServ_CB", QStringLiteral("ホスト名 or ホストアドレス"));
  TRTout_Edt = MakeEdit(TraceRoute, "TRTout_Edt", QStringLiteral("秒で指定"));
  TRStHop_Edt = MakeEdit(TraceRoute, "TRStHop_Edt");
  TRMaxHop_Edt = MakeEdit(TraceRoute, "TRMaxHop_Edt");
  TRReslvHost_ChckB =
      MakeCheck(TraceRoute, "TRReslvHost_ChckB", QStringLiteral("ホスト名を解決する"));
  TRServ_Del = MakeDelete(TraceRoute, "TRServ_Del");
  TRTout_UD = MakeUpDown(TraceRoute, "TRTout_UD", TRTout_Edt, TraceTimeoutValue);
  TRStHop_UD = MakeUpDown(TraceRoute, "TRStHop_UD", TRStHop_Edt, TraceFirstHopValue);
  TRMaxHop_UD = MakeUpDown(TraceRoute, "TRMaxHop_UD", TRMaxHop_Edt, TraceLastHopValue);
  TRServ_LBL = MakeLabel(TraceRoute, "TRServ_LBL", QStringLiteral("対象ホスト"));
  TRTout_LBL = MakeLabel(TraceRoute, "TRTout_LBL", QStringLiteral("タイムアウト"));
  TRStHop_LBL = MakeLabel(TraceRoute, "TRStHop_LBL", QStringLiteral("開始ホップ"));
  TRMaxHop_LBL = MakeLabel(TraceRoute, "TRMaxHop_LBL", QStringLiteral("最大ホップ"));
  SetFocusOrder({TRServ_CB, TRTout_Edt, TRStHop_Edt, TRMaxHop_Edt, TRReslvHost_ChckB, TRServ_Del,
                 TRTout_UD, TRStHop_UD, TRMaxHop_UD});
}

void TOstrekForm::BuildNsLookupPage() {
  NSServ_CB = MakeCombo(NsLookup, "NSServ_CB", QStringLiteral("ホスト名 or ホストアドレス"));
  NSServ_Del = MakeDelete(NsLookup, "NSServ_Del");
  NSTout_Edt = MakeEdit(NsLookup, "NSTout_Edt", QStringLiteral("秒で指定"));
  NSTout_UD = MakeUpDown(NsLookup, "NSTout_UD", NSTout_Edt, LookupTimeoutValue);
  NSServ_LBL = MakeLabel(NsLookup, "NSServ_LBL", QStringLiteral("対象ホスト"));
  NSTout_LBL = MakeLabel(NsLookup, "NSTout_LBL", QStringLiteral("タイムアウト"));
  SetFocusOrder({NSServ_CB, NSServ_Del, NSTout_Edt, NSTout_UD});
}

void TOstrekForm::BuildIpScanPage() {
  Ex_CB = MakeCombo(NsLookupEx, "Ex_CB");
  Ex_Edt1 = MakeEdit(NsLookupEx, "Ex_Edt1");
  Ex_Edt2 = MakeEdit(NsLookupEx, "Ex_Edt2");
  Ex_Edt1->move(Ex_Edt1->x(), 8);
  Ex_Edt2->move(Ex_Edt2->x(), 8);
  Ex_Del = MakeDelete(NsLookupEx, "Ex_Del");
  Ex_UD1 = MakeUpDown(NsLookupEx, "Ex_UD1", Ex_Edt1, ScanFirstValue);
  Ex_UD2 = MakeUpDown(NsLookupEx, "Ex_UD2", Ex_Edt2, ScanLastValue);
  ExAll_ChckB =
      MakeCheck(NsLookupEx, "ExAll_ChckB", QStringLiteral("見つかったホストの情報だけを表示する"));
  Ex_LBL = MakeLabel(NsLookupEx, "Ex_LBL", QStringLiteral("対象アドレス"));
  ExCmm_LBL = MakeLabel(NsLookupEx, "ExCmm_LBL", QStringLiteral("."));
  QFont bold = ExCmm_LBL->font();
  bold.setFamily(QStringLiteral("ＭＳ Ｐゴシック"));
  bold.setPixelSize(12);
  bold.setBold(true);
  ExCmm_LBL->setFont(bold);
  ExCmm_LBL->adjustSize();
  ExCmm_LBL2 = MakeLabel(NsLookupEx, "ExCmm_LBL2", QStringLiteral("～"));
  SetFocusOrder({Ex_CB, Ex_Edt1, Ex_Edt2, Ex_Del, Ex_UD1, Ex_UD2, ExAll_ChckB});
}

void TOstrekForm::BuildHttpPage() {
  HHURL_CB = MakeCombo(Http, "HHURL_CB");
  HHURL_Del = MakeDelete(Http, "HHURL_Del");
  HTTPHEAD_RBTN = Named(new QRadioButton(QStringLiteral("HEAD"), Http), "HTTPHEAD_RBTN");
  HTTPGET_RBTN = Named(new QRadioButton(QStringLiteral("GET"), Http), "HTTPGET_RBTN");
  HTTPHEAD_RBTN->setGeometry(96, 40, 249, 17);
  HTTPGET_RBTN->setGeometry(96, 64, 249, 17);
  HTTPHEAD_RBTN->setChecked(true);
  HHURL_LBL = MakeLabel(Http, "HHURL_LBL", QStringLiteral("場所"));
  SetFocusOrder({HHURL_CB, HHURL_Del, HTTPHEAD_RBTN, HTTPGET_RBTN});
}

// The seven pages, once. Histories keep the order in which FormResize
// pairs combo boxes with their buttons; the settings keep their own order.
void TOstrekForm::DescribePages() {
  using S = TSettings;
  FPages = {
      {Finger,
       FngrReq_CB,
       {{FngrServ_CB, FngrServ_Del, &S::FFingerServers},
        {FngrReq_CB, FngrReq_Del, &S::FFingerRequests}},
       {},
       {{FngrWall_ChckB, &S::FFingerWall}},
       [this] {
         GoRelayTool(FngrServ_CB, FngrReq_CB, FngrWall_ChckB, FFingerRelay,
                     QStringLiteral("Finger"), FDeps.FingerPort);
       },
       [this] {
         ArrangeRelayPage(FngrServ_CB, FngrReq_CB, FngrServ_LBL, FngrReq_LBL, FngrServ_Del,
                          FngrReq_Del, FngrWall_ChckB, FngrWall_Btn);
       }},
      {Whois,
       WhoisReq_CB,
       {{WhoisServ_CB, WhoisServ_Del, &S::FWhoisServers},
        {WhoisReq_CB, WhoisReq_Del, &S::FWhoisRequests}},
       {},
       {{WhoisWall_ChckB, &S::FWhoisWall}},
       [this] {
         GoRelayTool(WhoisServ_CB, WhoisReq_CB, WhoisWall_ChckB, FWhoisRelay,
                     QStringLiteral("Whois"), FDeps.WhoisPort);
       },
       [this] {
         ArrangeRelayPage(WhoisServ_CB, WhoisReq_CB, WhoisServ_LBL, WhoisReq_LBL, WhoisServ_Del,
                          WhoisReq_Del, WhoisWall_ChckB, WhoisWall_Btn);
       }},
      {Ping,
       PngServ_CB,
       {{PngServ_CB, PngServ_Del, &S::FPingServers}},
       {{PngTout_UD, &S::FPingTimeout},
        {PngReqNum_UD, &S::FPingReqNum},
        {PngDelay_UD, &S::FPingDelay},
        {PngPSize_UD, &S::FPingSize},
        {PngTTL_UD, &S::FPingTTL}},
       {{PngDntFrg_ChckB, &S::FPingDontFragment}},
       [this] { GoPing(); },
       [this] { ArrangePingPage(); }},
      {TraceRoute,
       TRServ_CB,
       {{TRServ_CB, TRServ_Del, &S::FTraceServers}},
       {{TRTout_UD, &S::FTraceTimeout},
        {TRStHop_UD, &S::FTraceStartHop},
        {TRMaxHop_UD, &S::FTraceMaxHop}},
       {{TRReslvHost_ChckB, &S::FTraceResolveHosts}},
       [this] { GoTraceRoute(); },
       [this] { ArrangeTraceRoutePage(); }},
      {NsLookup,
       NSServ_CB,
       {{NSServ_CB, NSServ_Del, &S::FNsServers}},
       {{NSTout_UD, &S::FNsTimeout}},
       {},
       [this] { GoNsLookup(); },
       [this] { ArrangeNsLookupPage(); }},
      {NsLookupEx,
       Ex_CB,
       {{Ex_CB, Ex_Del, &S::FScanPrefixes, false}},
       {{Ex_UD1, &S::FScanFirst}, {Ex_UD2, &S::FScanLast}},
       {{ExAll_ChckB, &S::FScanFoundOnly}},
       [this] { GoIpScan(); },
       [this] { ArrangeIpScanPage(); }},
      {Http,
       HHURL_CB,
       {{HHURL_CB, HHURL_Del, &S::FHttpUrls}},
       {},
       {},
       [this] { GoHttp(); },
       [this] { ArrangeHttpPage(); }},
  };
}

const TOstrekForm::TPageEntry& TOstrekForm::ActivePage() const {
  for (const TPageEntry& entry : FPages)
    if (entry.Page == PageControl->currentWidget()) return entry;
  return FPages.back();
}

QList<QWidget*> TOstrekForm::PageControls() const {
  QList<QWidget*> controls;
  for (const TPageEntry& entry : FPages)
    for (QObject* child : entry.Page->children())
      if (auto* w = qobject_cast<QWidget*>(child)) controls.append(w);
  return controls;
}

void TOstrekForm::ConnectHistoryButtons() {
  for (const TPageEntry& entry : FPages)
    for (const THistoryField& field : entry.Histories)
      connect(field.Delete, &QPushButton::clicked, this,
              [this, box = field.Box] { DeleteFromHistory(box); });
}
