// Construction of the seven tool pages. Each page is described once, where
// it is built: its controls, and its entry in the page table (main field,
// histories, numbers and check boxes kept by the settings, Go and layout).
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include "common/ToolValues.h"
#include "dialogs/DialogCommon.h"
#include "main/NsLookupPage.h"
#include "main/OstrekMain.h"
#include "settings/Settings.h"
#include "widgets/PageKit.h"
#include "widgets/UpDown.h"

namespace {
const QString HostHint = QStringLiteral("ホスト名 or ホストアドレス");
const QString SecondsHint = QStringLiteral("秒で指定");
}  // namespace

// In tab order, which is also the order of the page table.
void TOstrekForm::BuildPages() {
  PageControl = Named(new QTabWidget(centralWidget()), "PageControl");
  PageControl->setFocusPolicy(Qt::TabFocus);
  BuildRelayPage(Finger, "Finger", "Fngr", QStringLiteral("Fingerサーバ"),
                 {&FngrServ_CB, &FngrReq_CB, &FngrServ_Del, &FngrReq_Del, &FngrWall_ChckB,
                  &FngrWall_Btn, &FngrServ_LBL, &FngrReq_LBL});
  BuildRelayPage(Whois, "Whois", "Whois", QStringLiteral("Whoisサーバ"),
                 {&WhoisServ_CB, &WhoisReq_CB, &WhoisServ_Del, &WhoisReq_Del, &WhoisWall_ChckB,
                  &WhoisWall_Btn, &WhoisServ_LBL, &WhoisReq_LBL, &WhoisRefer_ChckB});
  BuildWhoisProtocol();
  BuildPingPage();
  BuildTraceRoutePage();
  BuildNsLookupPage();
  BuildIpScanPage();
  BuildHttpPage();
  // The window's initial tab; the settings usually choose another.
  PageControl->setCurrentWidget(Http);
  NameHelperControls();
}

// A screen reader tells the page's two delete buttons, and the spin
// controls, apart by the field each works on.
void TOstrekForm::NameHelperControls() {
  for (const TPageEntry& entry : FPages) {
    for (const THistoryField& field : entry.Histories)
      NameAfterField(field.Delete, field.Box, QStringLiteral("の履歴を削除"));
    for (const TSpinField& field : entry.Spins)
      NameAfterField(field.Spin, field.Spin->Buddy(), QStringLiteral("の増減"));
  }
}

// Finger and Whois have the same controls: prefix is "Fngr" or "Whois".
void TOstrekForm::BuildRelayPage(QWidget*& page, const char* name, const char* prefix,
                                 const QString& serverCaption, TRelayControls c) {
  page = MakePage(PageControl, name, QString::fromLatin1(name));
  const auto role = [prefix](const char* suffix) { return QByteArray(prefix) + suffix; };
  *c.Serv = MakeCombo(page, role("Serv_CB"), HostHint);
  *c.Req = MakeCombo(page, role("Req_CB"));
  *c.ServDel = MakeDelete(page, role("Serv_Del"));
  *c.ReqDel = MakeDelete(page, role("Req_Del"));
  *c.Wall = MakeCheck(page, role("Wall_ChckB"), QStringLiteral("ファイアウォールを使う"));
  *c.WallBtn = MakeButton(page, role("Wall_Btn"), QStringLiteral("設定..."));
  *c.ServLbl = MakeLabel(page, role("Serv_LBL"), serverCaption, *c.Serv);
  *c.ReqLbl = MakeLabel(page, role("Req_LBL"), QStringLiteral("照会文字列"), *c.Req);
  QCheckBox* follow = nullptr;
  if (c.Follow)
    follow = *c.Follow = MakeCheck(page, role("Refer_ChckB"), QStringLiteral("参照先もたどる"));
  SetFocusOrder({*c.Serv, *c.Req, *c.ServDel, *c.ReqDel, *c.Wall, *c.WallBtn});
  if (follow) QWidget::setTabOrder(*c.WallBtn, follow);
  const bool finger = page == Finger;
  std::vector<TCheckField> checks{
      {*c.Wall, finger ? &TSettings::FFingerWall : &TSettings::FWhoisWall}};
  if (follow) checks.push_back({follow, &TSettings::FWhoisFollowReferral});
  QString& relay = finger ? FFingerRelay : FWhoisRelay;
  int& port = finger ? FDeps.FingerPort : FDeps.WhoisPort;
  const QString tool = QString::fromLatin1(name);
  FPages.push_back(
      {page,
       *c.Req,
       *c.Serv,
       false,
       {{*c.Serv, *c.ServDel, finger ? &TSettings::FFingerServers : &TSettings::FWhoisServers},
        {*c.Req, *c.ReqDel, finger ? &TSettings::FFingerRequests : &TSettings::FWhoisRequests}},
       {},
       checks,
       [this, c, &relay, &port, tool, follow] {
         GoRelayTool(*c.Serv, *c.Req, *c.Wall, relay, tool, port, follow);
       },
       [this, c, follow] {
         ArrangeRelayPage(*c.Serv, *c.Req, *c.ServLbl, *c.ReqLbl, *c.ServDel, *c.ReqDel, *c.Wall,
                          *c.WallBtn, follow);
       }});
}

// "方式", in the order of TWhoisProtocol.
void TOstrekForm::BuildWhoisProtocol() {
  WhoisProtocol_CB = Named(new QComboBox(Whois), "WhoisProtocol_CB");
  WhoisProtocol_CB->addItems(
      {QStringLiteral("whois"), QStringLiteral("RDAP"), QStringLiteral("自動")});
  WhoisProtocol_CB->adjustSize();
  WhoisProtocol_LBL =
      MakeLabel(Whois, "WhoisProtocol_LBL", QStringLiteral("方式"), WhoisProtocol_CB);
  QWidget::setTabOrder(WhoisRefer_ChckB, WhoisProtocol_CB);
  connect(WhoisProtocol_CB, &QComboBox::currentIndexChanged, this, [this] {
    if (!FBusy) ShowWhoisProtocol();
  });
}

void TOstrekForm::BuildPingPage() {
  Ping = MakePage(PageControl, "Ping", QStringLiteral("Ping"));
  PngServ_CB = MakeCombo(Ping, "PngServ_CB", HostHint);
  std::tie(PngTout_Edt, PngTout_UD) =
      MakeSpinField(Ping, "PngTout_Edt", "PngTout_UD", PingTimeoutValue, SecondsHint);
  std::tie(PngReqNum_Edt, PngReqNum_UD) =
      MakeSpinField(Ping, "PngReqNum_Edt", "PngReqNum_UD", PingCountValue);
  std::tie(PngDelay_Edt, PngDelay_UD) = MakeSpinField(
      Ping, "PngDelay_Edt", "PngDelay_UD", PingDelayValue, QStringLiteral("ミリ秒で指定"));
  std::tie(PngPSize_Edt, PngPSize_UD) =
      MakeSpinField(Ping, "PngPSize_Edt", "PngPSize_UD", PingSizeValue);
  std::tie(PngTTL_Edt, PngTTL_UD) = MakeSpinField(Ping, "PngTTL_Edt", "PngTTL_UD", PingTtlValue);
  PngDntFrg_ChckB = MakeCheck(Ping, "PngDntFrg_ChckB", QStringLiteral("断片化しない"));
  PngServ_Del = MakeDelete(Ping, "PngServ_Del");
  PngServ_LBL = MakeLabel(Ping, "PngServ_LBL", QStringLiteral("対象ホスト"), PngServ_CB);
  PngTout_LBL = MakeLabel(Ping, "PngTout_LBL", QStringLiteral("タイムアウト"), PngTout_Edt);
  PngReqNum_LBL = MakeLabel(Ping, "PngReqNum_LBL", QStringLiteral("リクエスト数"), PngReqNum_Edt);
  PngDelay_LBL = MakeLabel(Ping, "PngDelay_LBL", QStringLiteral("ディレイ"), PngDelay_Edt);
  PngPSize_LBL = MakeLabel(Ping, "PngPSize_LBL", QStringLiteral("データサイズ"), PngPSize_Edt);
  PngTTL_LBL = MakeLabel(Ping, "PngTTL_LBL", QStringLiteral("TTL"), PngTTL_Edt);
  SetFocusOrder({PngServ_CB, PngTout_Edt, PngReqNum_Edt, PngDelay_Edt, PngPSize_Edt, PngTTL_Edt,
                 PngDntFrg_ChckB, PngServ_Del, PngTout_UD, PngReqNum_UD, PngDelay_UD, PngPSize_UD,
                 PngTTL_UD});
  using S = TSettings;
  FPages.push_back({Ping,
                    PngServ_CB,
                    PngServ_CB,
                    false,
                    {{PngServ_CB, PngServ_Del, &S::FPingServers}},
                    {{PngTout_UD, &S::FPingTimeout},
                     {PngReqNum_UD, &S::FPingReqNum},
                     {PngDelay_UD, &S::FPingDelay},
                     {PngPSize_UD, &S::FPingSize},
                     {PngTTL_UD, &S::FPingTTL}},
                    {{PngDntFrg_ChckB, &S::FPingDontFragment}},
                    [this] { GoPing(); },
                    [this] { ArrangePingPage(); }});
}

void TOstrekForm::BuildTraceRoutePage() {
  TraceRoute = MakePage(PageControl, "TraceRoute", QStringLiteral("TraceRoute"));
  TRServ_CB = MakeCombo(TraceRoute, "TRServ_CB", HostHint);
  std::tie(TRTout_Edt, TRTout_UD) =
      MakeSpinField(TraceRoute, "TRTout_Edt", "TRTout_UD", TraceTimeoutValue, SecondsHint);
  std::tie(TRStHop_Edt, TRStHop_UD) =
      MakeSpinField(TraceRoute, "TRStHop_Edt", "TRStHop_UD", TraceFirstHopValue);
  std::tie(TRMaxHop_Edt, TRMaxHop_UD) =
      MakeSpinField(TraceRoute, "TRMaxHop_Edt", "TRMaxHop_UD", TraceLastHopValue);
  TRReslvHost_ChckB =
      MakeCheck(TraceRoute, "TRReslvHost_ChckB", QStringLiteral("ホスト名を解決する"));
  TRRepeat_ChckB = MakeCheck(TraceRoute, "TRRepeat_ChckB", QStringLiteral("繰り返す(&R)"));
  std::tie(TRCycles_Edt, TRCycles_UD) =
      MakeSpinField(TraceRoute, "TRCycles_Edt", "TRCycles_UD", TraceCyclesValue);
  TRServ_Del = MakeDelete(TraceRoute, "TRServ_Del");
  TRServ_LBL = MakeLabel(TraceRoute, "TRServ_LBL", QStringLiteral("対象ホスト"), TRServ_CB);
  TRTout_LBL = MakeLabel(TraceRoute, "TRTout_LBL", QStringLiteral("タイムアウト"), TRTout_Edt);
  TRStHop_LBL = MakeLabel(TraceRoute, "TRStHop_LBL", QStringLiteral("開始ホップ"), TRStHop_Edt);
  TRMaxHop_LBL = MakeLabel(TraceRoute, "TRMaxHop_LBL", QStringLiteral("最大ホップ"), TRMaxHop_Edt);
  TRCycles_LBL = MakeLabel(TraceRoute, "TRCycles_LBL", QStringLiteral("回数"), TRCycles_Edt);
  SetFocusOrder({TRServ_CB, TRTout_Edt, TRStHop_Edt, TRMaxHop_Edt, TRReslvHost_ChckB,
                 TRRepeat_ChckB, TRCycles_Edt, TRServ_Del, TRTout_UD, TRStHop_UD, TRMaxHop_UD,
                 TRCycles_UD});
  using S = TSettings;
  FPages.push_back({TraceRoute,
                    TRServ_CB,
                    TRServ_CB,
                    false,
                    {{TRServ_CB, TRServ_Del, &S::FTraceServers}},
                    {{TRTout_UD, &S::FTraceTimeout},
                     {TRStHop_UD, &S::FTraceStartHop},
                     {TRMaxHop_UD, &S::FTraceMaxHop},
                     {TRCycles_UD, &S::FTraceCycles}},
                    {{TRReslvHost_ChckB, &S::FTraceResolveHosts},
                     {TRRepeat_ChckB, &S::FTraceRepeat}},
                    [this] { GoTraceRoute(); },
                    [this] { ArrangeTraceRoutePage(); }});
}

void TOstrekForm::BuildNsLookupPage() {
  NsLookup = MakePage(PageControl, "NsLookup", QStringLiteral("NS Lookup"));
  NSServ_CB = MakeCombo(NsLookup, "NSServ_CB", HostHint);
  NSServ_Del = MakeDelete(NsLookup, "NSServ_Del");
  std::tie(NSTout_Edt, NSTout_UD) =
      MakeSpinField(NsLookup, "NSTout_Edt", "NSTout_UD", LookupTimeoutValue, SecondsHint);
  NSServ_LBL = MakeLabel(NsLookup, "NSServ_LBL", QStringLiteral("対象ホスト"), NSServ_CB);
  NSTout_LBL = MakeLabel(NsLookup, "NSTout_LBL", QStringLiteral("タイムアウト"), NSTout_Edt);
  NsPage = std::make_unique<TNsLookupPage>(NsLookup);
  const TNsLookupPage& ns = *NsPage;
  SetFocusOrder({NSServ_CB, NSServ_Del, NSTout_Edt, NSTout_UD, ns.Type_CB, ns.DnsServ_CB,
                 ns.DnsServ_Del, ns.Tcp_ChckB, ns.Dnssec_ChckB});
  FPages.push_back({NsLookup,
                    NSServ_CB,
                    NSServ_CB,
                    false,
                    {{NSServ_CB, NSServ_Del, &TSettings::FNsServers},
                     {ns.DnsServ_CB, ns.DnsServ_Del, &TSettings::FNsDnsServers}},
                    {{NSTout_UD, &TSettings::FNsTimeout}},
                    {{ns.Tcp_ChckB, &TSettings::FNsTcp}, {ns.Dnssec_ChckB, &TSettings::FNsDnssec}},
                    [this] { GoNsLookup(); },
                    [this] { ArrangeNsLookupPage(); }});
}

void TOstrekForm::BuildIpScanPage() {
  NsLookupEx = MakePage(PageControl, "NsLookupEx", QStringLiteral("IP Scan"));
  Ex_CB = MakeCombo(NsLookupEx, "Ex_CB");
  std::tie(Ex_Edt1, Ex_UD1) = MakeSpinField(NsLookupEx, "Ex_Edt1", "Ex_UD1", ScanFirstValue);
  std::tie(Ex_Edt2, Ex_UD2) = MakeSpinField(NsLookupEx, "Ex_Edt2", "Ex_UD2", ScanLastValue);
  for (QWidget* w : std::initializer_list<QWidget*>{Ex_Edt1, Ex_UD1, Ex_Edt2, Ex_UD2})
    SetTop(w, 8);  // one row with the combo box
  Ex_Del = MakeDelete(NsLookupEx, "Ex_Del");
  ExAll_ChckB =
      MakeCheck(NsLookupEx, "ExAll_ChckB", QStringLiteral("見つかったホストの情報だけを表示する"));
  Ex_LBL = MakeLabel(NsLookupEx, "Ex_LBL", QStringLiteral("対象アドレス"), Ex_CB);
  ExCmm_LBL = MakeLabel(NsLookupEx, "ExCmm_LBL", QStringLiteral("."));
  QFont bold(QStringLiteral("ＭＳ Ｐゴシック"));
  bold.setPixelSize(12);
  bold.setBold(true);
  ExCmm_LBL->setFont(bold);
  ExCmm_LBL->adjustSize();
  ExCmm_LBL2 = MakeLabel(NsLookupEx, "ExCmm_LBL2", QStringLiteral("～"));
  // The two numbers have no label of their own: named as the manual names them.
  Ex_Edt1->setAccessibleName(QStringLiteral("開始"));
  Ex_Edt2->setAccessibleName(QStringLiteral("終了"));
  SetFocusOrder({Ex_CB, Ex_Edt1, Ex_Edt2, Ex_Del, Ex_UD1, Ex_UD2, ExAll_ChckB});
  // Its combo box keeps its design width: FormResize leaves it alone.
  FPages.push_back({NsLookupEx,
                    Ex_CB,
                    Ex_CB,
                    false,
                    {{Ex_CB, Ex_Del, &TSettings::FScanPrefixes, false}},
                    {{Ex_UD1, &TSettings::FScanFirst}, {Ex_UD2, &TSettings::FScanLast}},
                    {{ExAll_ChckB, &TSettings::FScanFoundOnly}},
                    [this] { GoIpScan(); },
                    [this] { ArrangeIpScanPage(); }});
}

void TOstrekForm::BuildHttpPage() {
  Http = MakePage(PageControl, "Http", QStringLiteral("HTTP"));
  HHURL_CB = MakeCombo(Http, "HHURL_CB");
  HHURL_Del = MakeDelete(Http, "HHURL_Del");
  HTTPHEAD_RBTN = Named(new QRadioButton(QStringLiteral("HEAD"), Http), "HTTPHEAD_RBTN");
  HTTPGET_RBTN = Named(new QRadioButton(QStringLiteral("GET"), Http), "HTTPGET_RBTN");
  HTTPHEAD_RBTN->setGeometry(96, 40, 249, 17);
  HTTPGET_RBTN->setGeometry(96, 64, 249, 17);
  HTTPHEAD_RBTN->setChecked(true);
  HHURL_LBL = MakeLabel(Http, "HHURL_LBL", QStringLiteral("場所"), HHURL_CB);
  SetFocusOrder({HHURL_CB, HHURL_Del, HTTPHEAD_RBTN, HTTPGET_RBTN});
  FPages.push_back({Http,
                    HHURL_CB,
                    HHURL_CB,
                    true,
                    {{HHURL_CB, HHURL_Del, &TSettings::FHttpUrls}},
                    {},
                    {},
                    [this] { GoHttp(); },
                    [this] { ArrangeHttpPage(); }});
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
