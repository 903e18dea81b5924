// Window layout computed from the sizes of a few labels in the current font.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>

#include "common/ToolValues.h"
#include "dialogs/DialogCommon.h"
#include "main/NsLookupPage.h"
#include "main/OstrekMain.h"
#include "widgets/ExtMemo.h"
#include "widgets/GraphPanel.h"
#include "widgets/PageKit.h"
#include "widgets/UpDown.h"

void TOstrekForm::ResizeForFont() {
  for (const TPageEntry& entry : FPages) AutoSize(entry.Page);
  int height = FngrServ_LBL->height() + 12;
  if (height < 22) height = 22;
  const int width = FngrServ_LBL->width() + 20;
  Go_Btn->resize(width, height);
  Stop_Btn->resize(width, height);
  SetTop(Go_Btn, (Go_Btn->height() / 6) * 5);
  SetTop(Stop_Btn, Go_Btn->y() + Go_Btn->height() + Go_Btn->height() / 3);
  const int h = FngrServ_CB->height();
  // The design height leaves room for the tab row of the design's toolkit;
  // here the tab row is measured and added.
  const int tabRow = PageControl->height() - PageControl->currentWidget()->height();
  SetHeight(PageControl, 5 * h + h / 2 + PngDelay_LBL->height() + 34 + std::max(0, tabRow - 24));
  ArrangeActivePage();
}

void TOstrekForm::ArrangeActivePage() {
  ActivePage().Arrange();
  GrowToShowPage();
  FormResize();
  KeepPaneLines();
}

namespace {
// How far right a control shows anything: a check box or radio button may
// be wider than its text (the IP Scan check box is as wide as its page).
int ShownRight(const QWidget* c) {
  const QSize hint = c->sizeHint();
  return c->x() + (hint.isValid() ? std::min(c->width(), hint.width()) : c->width());
}

// A push button just wide enough for its text: the style's 80-pixel floor
// would put the relay button past the page's edge at the minimum size.
int TextButtonWidth(const QPushButton* button) {
  const QStyle* style = button->style();
  const int margin = style->pixelMetric(QStyle::PM_ButtonMargin) +
                     style->pixelMetric(QStyle::PM_DefaultFrameWidth);
  return button->fontMetrics().horizontalAdvance(button->text()) + 2 * margin;
}
}  // namespace

// The layout rules may place the active page's fixed controls past the edge
// of a narrow window (more so with a large font). What they show sets the
// window's minimum width, never below the design's, so that no size cuts
// them off, and so does the statistics panel's row while it is shown; the
// tab row only makes the window grow, as the tabs can scroll. Both stay
// within the screen's available area.
void TOstrekForm::GrowToShowPage() {
  // Combo boxes stretched to the page and their buttons take what is left.
  QList<const QWidget*> stretched;
  for (const THistoryField& f : ActivePage().Histories)
    if (f.Widened) stretched << f.Box << f.Delete;
  int right = 0;
  for (const QObject* child : ActivePage().Page->children()) {
    const auto* w = qobject_cast<const QWidget*>(child);
    if (w && !stretched.contains(w)) right = std::max(right, ShownRight(w) + 8);
  }
  // From the page's width to the window's: the tab frame and the buttons.
  const int around = PageControl->width() - ActivePage().Page->width() + Go_Btn->width() + 10 +
                     width() - centralWidget()->width();
  const int most = AvailableArea(this).width() - (frameGeometry().width() - width());
  const QSize before = size();
  const int panel = GraphPanel->isVisible() ? GraphPanel->minimumSizeHint().width() : 0;
  setMinimumWidth(
      std::clamp(std::max(right + around, panel), MinWindowWidth, std::max(MinWindowWidth, most)));
  const int tabs = PageControl->tabBar()->sizeHint().width() + around;
  resize(std::max(width(), std::min(tabs, most)), height());
  if (size() != before) KeepOnScreen(this);
}

int TOstrekForm::PaneLinesHeight() const {
  constexpr int linesKept = 4;
  return ExtMemo->fontMetrics().lineSpacing() * linesKept + 2 * ExtMemo->frameWidth();
}

// At the design's minimum height a larger font, or the statistics panel,
// would leave the pane no height and cut the panel's row off. The page and
// the pane's lines are the least the central part takes, also where the
// panel meets the pane, and the window's minimum height is what its layout
// then needs, within the screen's available area.
void TOstrekForm::KeepPaneLines() {
  if (!WindowShown) return;
  centralWidget()->setMinimumHeight(PageControl->height() + 4 + PaneLinesHeight() + 2);
  const int most = AvailableArea(this).height() - (frameGeometry().height() - height());
  setMinimumHeight(std::clamp(layout()->totalMinimumSize().height(), MinWindowHeight,
                              std::max(MinWindowHeight, most)));
}

namespace {
int InputColumn(const QLabel* reqLabel) { return (reqLabel->width() / 2) * 3; }

// The rule's width for a column of number fields, widened where the widest
// number of a field's range would not show whole.
int FieldWidth(int ruleWidth, std::initializer_list<const TUpDown*> spins) {
  int width = ruleWidth;
  for (const TUpDown* ud : spins) width = std::max(width, ud->FieldWidthForRange());
  return width;
}
}  // namespace

void TOstrekForm::ArrangeRelayPage(QComboBox* serv, QComboBox* req, QLabel* servLbl, QLabel* reqLbl,
                                   QPushButton* servDel, QPushButton* reqDel, QCheckBox* wall,
                                   QPushButton* wallBtn, QCheckBox* follow) {
  const int x = InputColumn(FngrReq_LBL);
  SetLeft(serv, x);
  SetLeft(req, x);
  AlignLabel(servLbl, x);
  AlignLabel(reqLbl, x);
  SetTop(req, Next(serv));
  SetTop(reqLbl, req->y() + 4);
  SetTop(reqDel, req->y() - 1);
  SetHeight(servDel, serv->height() + 2);
  SetHeight(reqDel, req->height() + 2);
  wall->setGeometry(x, req->y() + req->height() + (req->height() / 3) * 2, (x / 2) * 3,
                    std::max(FngrServ_LBL->height(), wall->sizeHint().height()));
  wallBtn->resize(TextButtonWidth(wallBtn), servDel->height());
  SetTop(wallBtn, Centre(wallBtn, wall));
  SetLeft(wallBtn, Right(wall) + 10);
  if (!follow) return;
  follow->adjustSize();
  SetTop(follow, Centre(follow, wall));
  SetLeft(follow, Right(wallBtn) + 20);
  // "方式" on a row of its own: beside the check boxes it would leave the
  // page of a large font.
  WhoisProtocol_CB->adjustSize();
  SetLeft(WhoisProtocol_CB, x);
  SetTop(WhoisProtocol_CB, Next(wall));
  AlignLabel(WhoisProtocol_LBL, x);
  SetTop(WhoisProtocol_LBL, Centre(WhoisProtocol_LBL, WhoisProtocol_CB));
}

void TOstrekForm::ArrangePingPage() {
  const int x = InputColumn(FngrReq_LBL);
  const int u = Go_Btn->width() / 6;
  for (QWidget* c :
       std::initializer_list<QWidget*>{PngServ_CB, PngTout_Edt, PngReqNum_Edt, PngDelay_Edt})
    SetLeft(c, x);
  for (QLabel* l : {PngServ_LBL, PngTout_LBL, PngReqNum_LBL, PngDelay_LBL}) AlignLabel(l, x);
  SetTop(PngTout_Edt, Next(PngServ_CB));
  SetTop(PngReqNum_Edt, Next(PngTout_Edt));
  SetTop(PngDelay_Edt, Next(PngReqNum_Edt));
  SetTop(PngPSize_Edt, PngTout_Edt->y());
  SetTop(PngTTL_Edt, PngReqNum_Edt->y());
  SetTop(PngTout_LBL, Centre(PngTout_LBL, PngTout_Edt));
  SetTop(PngPSize_LBL, PngTout_LBL->y());
  SetTop(PngReqNum_LBL, Centre(PngReqNum_LBL, PngReqNum_Edt));
  SetTop(PngTTL_LBL, PngReqNum_LBL->y());
  SetTop(PngDelay_LBL, Centre(PngDelay_LBL, PngDelay_Edt));
  PngDntFrg_ChckB->adjustSize();
  SetTop(PngDntFrg_ChckB, Centre(PngDntFrg_ChckB, PngDelay_Edt));
  const int editWidth = FieldWidth((PngTout_LBL->width() / 3) * 2,
                                   {PngTout_UD, PngReqNum_UD, PngDelay_UD, PngPSize_UD, PngTTL_UD});
  for (QLineEdit* e : {PngTout_Edt, PngReqNum_Edt, PngDelay_Edt, PngPSize_Edt, PngTTL_Edt})
    SetWidth(e, editWidth);
  for (TUpDown* ud : {PngTout_UD, PngReqNum_UD, PngDelay_UD, PngPSize_UD, PngTTL_UD})
    ud->setGeometry(ud->x(), ud->Buddy()->y(), u, PngTout_Edt->height());
  SetLeft(PngTout_UD, Right(PngTout_Edt));
  SetLeft(PngReqNum_UD, PngTout_UD->x());
  SetLeft(PngDelay_UD, PngTout_UD->x());
  SetLeft(PngPSize_Edt, PngTout_UD->x() + 3 * PngTout_UD->width() + PngPSize_LBL->width() + 8);
  SetLeft(PngTTL_Edt, PngPSize_Edt->x());
  SetLeft(PngPSize_LBL, PngPSize_Edt->x() - 8 - PngPSize_LBL->width());
  SetLeft(PngTTL_LBL, PngTTL_Edt->x() - 8 - PngTTL_LBL->width());
  SetLeft(PngPSize_UD, Right(PngPSize_Edt));
  SetLeft(PngTTL_UD, PngPSize_UD->x());
  SetLeft(PngDntFrg_ChckB, Right(PngDelay_UD) + (PngDelay_UD->width() / 2) * 5);
  SetHeight(PngServ_Del, PngServ_CB->height() + 2);
}

void TOstrekForm::ArrangeTraceRoutePage() {
  const int x = InputColumn(FngrReq_LBL);
  const int u = Go_Btn->width() / 6;
  for (QWidget* c :
       std::initializer_list<QWidget*>{TRServ_CB, TRTout_Edt, TRStHop_Edt, TRMaxHop_Edt})
    SetLeft(c, x);
  for (QLabel* l : {TRServ_LBL, TRTout_LBL, TRStHop_LBL, TRMaxHop_LBL}) AlignLabel(l, x);
  SetTop(TRTout_Edt, Next(TRServ_CB));
  SetTop(TRStHop_Edt, Next(TRTout_Edt));
  SetTop(TRMaxHop_Edt, Next(TRStHop_Edt));
  SetTop(TRTout_LBL, Centre(TRTout_LBL, TRTout_Edt));
  SetTop(TRStHop_LBL, Centre(TRStHop_LBL, TRStHop_Edt));
  SetTop(TRMaxHop_LBL, Centre(TRMaxHop_LBL, TRMaxHop_Edt));
  TRReslvHost_ChckB->adjustSize();
  SetTop(TRReslvHost_ChckB, Centre(TRReslvHost_ChckB, TRTout_Edt));
  const int editWidth =
      FieldWidth((TRTout_LBL->width() / 3) * 2, {TRTout_UD, TRStHop_UD, TRMaxHop_UD});
  for (QLineEdit* e : {TRTout_Edt, TRStHop_Edt, TRMaxHop_Edt}) SetWidth(e, editWidth);
  for (TUpDown* ud : {TRTout_UD, TRStHop_UD, TRMaxHop_UD})
    ud->setGeometry(Right(TRTout_Edt), ud->Buddy()->y(), u, TRTout_Edt->height());
  SetLeft(TRReslvHost_ChckB, Right(TRTout_UD) + (TRTout_UD->width() / 2) * 5);
  // The repeated run's switch under the names', its count below it.
  TRRepeat_ChckB->adjustSize();
  SetLeft(TRRepeat_ChckB, TRReslvHost_ChckB->x());
  SetTop(TRRepeat_ChckB, Centre(TRRepeat_ChckB, TRStHop_Edt));
  SetLeft(TRCycles_LBL, TRRepeat_ChckB->x());
  SetTop(TRCycles_LBL, Centre(TRCycles_LBL, TRMaxHop_Edt));
  TRCycles_Edt->setGeometry(Right(TRCycles_LBL) + 8, TRMaxHop_Edt->y(),
                            FieldWidth(editWidth, {TRCycles_UD}), TRMaxHop_Edt->height());
  TRCycles_UD->setGeometry(Right(TRCycles_Edt), TRCycles_Edt->y(), u, TRCycles_Edt->height());
  SetHeight(TRServ_Del, TRServ_CB->height() + 2);
}

void TOstrekForm::ArrangeNsLookupPage() {
  const int x = InputColumn(FngrReq_LBL);
  SetLeft(NSServ_CB, x);
  AlignLabel(NSServ_LBL, x);
  SetHeight(NSServ_Del, NSServ_CB->height() + 2);
  NSTout_Edt->setGeometry(x, Next(NSServ_CB),
                          FieldWidth((NSTout_LBL->width() / 3) * 2, {NSTout_UD}),
                          NSTout_Edt->height());
  SetTop(NSTout_LBL, Centre(NSTout_LBL, NSTout_Edt));
  AlignLabel(NSTout_LBL, x);
  NSTout_UD->setGeometry(Right(NSTout_Edt), NSTout_Edt->y(), Go_Btn->width() / 6,
                         NSTout_Edt->height());
  NsPage->Arrange(NSTout_Edt, NSTout_UD, x, Go_Btn->width() / 6);
}

void TOstrekForm::ArrangeIpScanPage() {
  const int x = InputColumn(FngrReq_LBL);
  const int u = Go_Btn->width() / 6;
  SetLeft(Ex_CB, x);
  AlignLabel(Ex_LBL, x);
  SetWidth(Ex_CB, (Ex_LBL->width() / 3) * 5);
  ExCmm_LBL->move(x + Ex_CB->width() + 1, Ex_CB->y() + Ex_CB->height() - ExCmm_LBL->height());
  Ex_Edt1->setGeometry(Right(ExCmm_LBL), Ex_CB->y(),
                       FieldWidth(Ex_LBL->width() / 2, {Ex_UD1, Ex_UD2}), Ex_Edt1->height());
  Ex_UD1->setGeometry(Right(Ex_Edt1), Ex_Edt1->y(), u, Ex_Edt1->height());
  ExCmm_LBL2->move(Right(Ex_UD1) + 2, Centre(ExCmm_LBL2, Ex_Edt1));
  Ex_Edt2->setGeometry(Right(ExCmm_LBL2) + 2, Ex_CB->y(), Ex_Edt1->width(), Ex_Edt2->height());
  Ex_UD2->setGeometry(Right(Ex_Edt2), Ex_Edt2->y(), Ex_UD1->width(), Ex_Edt2->height());
  SetHeight(Ex_Del, Ex_CB->height() + 2);
  SetLeft(Ex_Del, Right(Ex_UD2) + 12);
  ExAll_ChckB->adjustSize();
  ExAll_ChckB->setGeometry(Ex_CB->x() + Ex_CB->width() / 2,
                           Ex_CB->y() + 2 * Ex_CB->height() - ExAll_ChckB->height() / 2,
                           NsLookupEx->width(), ExAll_ChckB->height());
}

void TOstrekForm::ArrangeHttpPage() {
  const int x = InputColumn(FngrReq_LBL);
  SetLeft(HHURL_CB, x);
  AlignLabel(HHURL_LBL, x);
  SetHeight(HHURL_Del, HHURL_CB->height() + 2);
}

void TOstrekForm::FormResize() {
  if (!WindowShown) return;
  const int cw = centralWidget()->width();
  const int ch = centralWidget()->height();
  SetWidth(PageControl, cw - Go_Btn->width() - 10);
  // Every page's pairs, active or not: all widths first, then all lefts.
  for (const TPageEntry& entry : FPages)
    for (const THistoryField& f : entry.Histories)
      if (f.Widened) SetWidth(f.Box, PageControl->width() - f.Box->x() - f.Delete->width() - 48);
  for (const TPageEntry& entry : FPages)
    for (const THistoryField& f : entry.Histories)
      if (f.Widened) SetLeft(f.Delete, Right(f.Box) + 12);
  SetLeft(Go_Btn, cw - Go_Btn->width() - 4);
  SetLeft(Stop_Btn, cw - Stop_Btn->width() - 4);
  const int memoTop = PageControl->height() + 4;
  ExtMemo->setGeometry(0, memoTop, cw, ch - memoTop - 2);
  update();
}
