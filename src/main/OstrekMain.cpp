#include "main/OstrekMain.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDropEvent>
#include <QFileInfo>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>

#include "common/Common.h"
#include "common/QueryLogWriter.h"
#include "common/ToolValues.h"
#include "dialogs/DialogCommon.h"
#include "dialogs/Find.h"
#include "main/NsLookupPage.h"
#include "settings/IniFile.h"
#include "widgets/ActivityPicture.h"
#include "widgets/AnimWnd.h"
#include "widgets/Animation.h"
#include "widgets/ButtonKeys.h"
#include "widgets/ExtMemo.h"
#include "widgets/GraphPanel.h"
#include "widgets/WordWrapOption.h"
#include "workers/QueryThread.h"

static void InitResources() { Q_INIT_RESOURCE(ostrekon); }

namespace {
const QString AppName = QStringLiteral("Ostrekon");
// How long closing waits for stopped workers to leave their last call.
constexpr int ShutdownWaitMs = 3000;

QMenu* AddMenu(QMenuBar* bar, const char* name, const QString& caption) {
  QMenu* menu = bar->addMenu(caption);
  menu->setObjectName(QString::fromLatin1(name));
  return menu;
}

// A menu item with its component name; handler runs when it is chosen.
QAction* AddItem(QMenu* menu, const char* name, const QString& caption,
                 const std::function<void()>& handler = {}, const QKeySequence& shortcut = {}) {
  QAction* item = menu->addAction(caption);
  item->setObjectName(QString::fromLatin1(name));
  item->setShortcut(shortcut);
  if (handler) QObject::connect(item, &QAction::triggered, menu, handler);
  return item;
}

// The pane's line-breaking sets of the design: kept, never handed over, as
// the pane does not wrap.
void SetDesignPunctuation(TWordWrapOption& option) {
  option.SetPunctuation(
      pcFollowing,
      QStringLiteral(
          "!%),.:;?]}"
          "｡｣､･ｧｨｩｪｫｬｭｮｯｰﾞﾟ、。，．・：；？！゛゜ヽヾゝゞ々ー’”）〕］｝〉》」』】°′″℃￠％‰"
          "ぁぃぅぇぉっゃゅょゎァィゥェォッャュョヮヵヶ"));
  option.SetPunctuation(pcLeading, QStringLiteral("$([{｢‘“（〔［｛〈《「『【￥＄￡"));
  option.SetPunctuation(pcOverFlow,
                        QStringLiteral(")]}｣,.｡､ﾞﾟ:;･!?%ｰ’”）〕］｝〉》」』】、。，．゛゜"));
}

QFont DesignFont(const char* family) {
  QFont font(QString::fromUtf8(family));
  font.setPixelSize(12);
  return font;
}
}  // namespace

TOstrekForm::TOstrekForm(TFormDeps deps, QWidget* parent)
    : QMainWindow(parent), FDeps(std::move(deps)) {
  FLogWriter = std::make_unique<TQueryLogWriter>(
      [this] {
        QMetaObject::invokeMethod(
            this, [this] { ReportQueryLogFailures(); }, Qt::QueuedConnection);
      },
      std::chrono::milliseconds(FDeps.LogWaitMs));
  // A drain that leaves items behind goes on from this timer (OstrekOutput).
  FDrainTimer = new QTimer(this);
  FDrainTimer->setSingleShot(true);
  FDrainTimer->setInterval(0);
  connect(FDrainTimer, &QTimer::timeout, this, [this] { DrainWorker(FChannel); });
  InitResources();
  SubstituteDesignFonts();
  setObjectName(QStringLiteral("OstrekForm"));
  setWindowTitle(AppName);
  qApp->setWindowIcon(QIcon(QStringLiteral(":/SUBICON")));
  setFont(DesignFont("ＭＳ Ｐゴシック"));
  setCentralWidget(new QWidget(this));

  BuildPages();
  Go_Btn = new QPushButton(QIcon(QStringLiteral(":/GOBUTTON")), QStringLiteral("開始(&G)"),
                           centralWidget());
  Go_Btn->setObjectName(QStringLiteral("Go_Btn"));
  Stop_Btn = new QPushButton(QIcon(QStringLiteral(":/STOPBUTTON")), QStringLiteral("中止(&S)"),
                             centralWidget());
  Stop_Btn->setObjectName(QStringLiteral("Stop_Btn"));
  Stop_Btn->setEnabled(false);
  ExtMemo = new TExtMemo(centralWidget());
  ExtMemo->setObjectName(QStringLiteral("ExtMemo"));
  ExtMemo->setAccessibleName(QStringLiteral("出力ペイン"));
  ExtMemo->setFont(DesignFont("ＭＳ ゴシック"));
  SetDesignPunctuation(ExtMemo->WordWrapOption());
  QWidget::setTabOrder(PageControl, Go_Btn);
  QWidget::setTabOrder(Go_Btn, Stop_Btn);
  QWidget::setTabOrder(Stop_Btn, ExtMemo);

  StatusPanel = new QLabel(this);
  StatusPanel->setObjectName(QStringLiteral("StatusBar"));
  StatusPanel->setFixedWidth(400);
  statusBar()->addWidget(StatusPanel);
  statusBar()->setSizeGripEnabled(true);

  BuildGraphPanel();
  BuildMenus();
  BuildPopup();
  FindDialog = new TFindDialog(this);
  AnimateWindow1 = new TAnimateWindow(this);
  AnimateWindow1->setObjectName(QStringLiteral("AnimateWindow1"));
  FPictureColour = PictureRestColour;
  centralWidget()->installEventFilter(this);
  connect(FindDialog, &TFindDialog::Find, this, &TOstrekForm::FindDialogFind);
  ConnectHistoryButtons();
  connect(Go_Btn, &QPushButton::clicked, this, &TOstrekForm::Go_BtnClick);
  connect(Stop_Btn, &QPushButton::clicked, this, &TOstrekForm::Stop_BtnClick);
  connect(PageControl, &QTabWidget::currentChanged, this, &TOstrekForm::PageControlChange);
  // Fields would take Shift+Del as their cut; they keep Ctrl+X.
  new TButtonKeys(this, Go_Btn, Stop_Btn, {DeleteAll_ExMM->shortcut()});

  connect(FngrWall_Btn, &QPushButton::clicked, this, &TOstrekForm::FireWall_BtnClick);
  connect(WhoisWall_Btn, &QPushButton::clicked, this, &TOstrekForm::FireWall_BtnClick);
  setMinimumSize(MinWindowWidth, MinWindowHeight);
  resize(608, 345 + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
  FormCreate();
  if (FStartFailed) QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

TOstrekForm::~TOstrekForm() {
  disconnect(GraphPanel, nullptr, this, nullptr);  // it hides as it goes
  if (FBusy) Stop_BtnClick();
  if (FChannel) FChannel->Close();
  TQueryThread::WaitForAll(ShutdownWaitMs);
  TAnimation::WaitForAll(ShutdownWaitMs);
  FLogWriter.reset();  // every finished run's entry is written first
}

// The main menu, in the order of the design, separators included.
void TOstrekForm::BuildMenus() {
  File_ExMM = AddMenu(menuBar(), "File_ExMM", QStringLiteral("ファイル(&F)"));
  AddItem(File_ExMM, "Save_ExMM", QStringLiteral("名前をつけて保存(&A)..."),
          [this] { Save_ExMMClick(); });
  GraphSave_ExMM =
      AddItem(File_ExMM, "GraphSave_ExMM", QStringLiteral("グラフのデータを保存(&E)..."),
              [this] { GraphSave_ExMMClick(); });
  GraphSave_ExMM->setEnabled(false);  // until a run has samples
  connect(GraphPanel, &TGraphPanel::HasSamplesChanged, GraphSave_ExMM, &QAction::setEnabled);
  Log_ExMM =
      AddItem(File_ExMM, "Log_ExMM", QStringLiteral("ログ(&L)..."), [this] { Log_ExMMClick(); });
  File_ExMM->addSeparator();
  SaveSetting_INI = AddItem(File_ExMM, "SaveSetting_INI", QStringLiteral("INIファイルに設定保存"));
  SaveSetting_REG = AddItem(File_ExMM, "SaveSetting_REG", QStringLiteral("レジストリに設定保存"));
  auto* store = new QActionGroup(this);
  for (QAction* a : {SaveSetting_INI, SaveSetting_REG}) store->addAction(a)->setCheckable(true);
  SaveSetting_INI->setChecked(true);
  File_ExMM->addSeparator();
  AddItem(File_ExMM, "Exit_ExMM", QStringLiteral("終了(&X)"), [this] { close(); });
  BuildEditMenu();

  Show1 = AddMenu(menuBar(), "Show1", QStringLiteral("表示(&V)"));
  Clear_ChckM = AddItem(Show1, "Clear_ChckM", QStringLiteral("自動消去(&D)"));
  AutoScroll_ChckM = AddItem(Show1, "AutoScroll_ChckM", QStringLiteral("自動スクロール(&S)"));
  PreferIPv6_ChckM = AddItem(Show1, "PreferIPv6_ChckM", QStringLiteral("IPv6を優先(&6)"));
  for (QAction* a : {Clear_ChckM, AutoScroll_ChckM, PreferIPv6_ChckM}) a->setCheckable(true);
  AutoScroll_ChckM->setChecked(true);
  connect(AutoScroll_ChckM, &QAction::toggled, this, &TOstrekForm::AutoScroll_ChckMClick);
  // The panel's own action, so that its close button clears the check mark.
  Graph_ChckM = GraphPanel->toggleViewAction();
  Graph_ChckM->setText(QStringLiteral("グラフ(&G)"));
  Graph_ChckM->setObjectName(QStringLiteral("Graph_ChckM"));
  Show1->addAction(Graph_ChckM);
  connect(Graph_ChckM, &QAction::triggered, this, &TOstrekForm::ShowGraphPanel);
  Show1->addSeparator();
  AddItem(Show1, "Font_ExMM", QStringLiteral("フォント(&F)"), [this] { Font_ExPMClick(); });

  Search_ExMM = AddMenu(menuBar(), "Search_ExMM", QStringLiteral("検索(&S)"));
  AddItem(
      Search_ExMM, "Find_ExMM", QStringLiteral("検索(&F)"), [this] { FindClick(); },
      Qt::CTRL | Qt::Key_F);
  AddItem(
      Search_ExMM, "FindNext_ExMM", QStringLiteral("次を検索(&N)"), [this] { FindDialogFind(); },
      Qt::Key_F3);

  Help_MM = AddMenu(menuBar(), "Help_MM", QStringLiteral("ヘルプ(&H)"));
  AddItem(
      Help_MM, "Help_Contents", QStringLiteral("目次(&C)"), [this] { Help_ContentsClick(); },
      Qt::Key_F1);
  AddItem(Help_MM, "Help_Keyword", QStringLiteral("キーワード(&K)"),
          [this] { Help_KeywordClick(); });
  Help_MM->addSeparator();
  AddItem(Help_MM, "WinsockInfo_MM", QStringLiteral("Winsock情報"),
          [this] { WinsockInfo_MMClick(); });
  AddItem(Help_MM, "About_MM", QStringLiteral("Ostrekonについて(&A)..."),
          [this] { About_MMClick(); });
}

void TOstrekForm::BuildEditMenu() {
  Edit_ExMM = AddMenu(menuBar(), "Edit_ExMM", QStringLiteral("編集(&E)"));
  AddItem(
      Edit_ExMM, "Copy_ExMM", QStringLiteral("コピー(&C)"), [this] { Copy_ExPMClick(); },
      Qt::CTRL | Qt::Key_C);
  AddItem(
      Edit_ExMM, "SelectAll_ExMM", QStringLiteral("すべて選択(&A)"),
      [this] { SelectAll_ExPMClick(); }, Qt::CTRL | Qt::Key_A);
  Edit_ExMM->addSeparator();
  CpAll_ExMM = AddItem(
      Edit_ExMM, "CpAll_ExMM", QStringLiteral("すべてコピー(&L)"), [this] { CpAll_ExMMClick(); },
      Qt::CTRL | Qt::Key_L);
  Edit_ExMM->addSeparator();
  AddItem(Edit_ExMM, "Top_ExMM", QStringLiteral("先頭へ移動(&G)"), [this] { Top_ExPMClick(); });
  AddItem(Edit_ExMM, "End_ExMM", QStringLiteral("最後へ移動(&B)"), [this] { End_ExPMClick(); });
  AddItem(Edit_ExMM, "Jump_ExMM", QStringLiteral("指定した行番号へ移動(&L)"),
          [this] { Jump_ExPMClick(); });
  AddItem(Edit_ExMM, "Mark_ExMM", QStringLiteral("現在位置の記憶(&M)"),
          [this] { Mark_ExPMClick(); });
  AddItem(Edit_ExMM, "ReMark_ExMM", QStringLiteral("記憶した位置への移動(&R)"),
          [this] { ReMark_ExPMClick(); });
  Edit_ExMM->addSeparator();
  DeleteAll_ExMM = AddItem(
      Edit_ExMM, "DeleteAll_ExMM", QStringLiteral("すべて消去(&D)"),
      [this] { DeleteAll_ExMMClick(); }, Qt::SHIFT | Qt::Key_Delete);
}

// The pane's own menu, in place of the toolkit's: twins of the main menu's
// commands, three with captions of their own, no shortcuts.
void TOstrekForm::BuildPopup() {
  ExtMemoPopup = new QMenu(this);
  ExtMemoPopup->setObjectName(QStringLiteral("ExtMemoPopup"));
  QMenu* p = ExtMemoPopup;
  AddItem(p, "Copy_ExPM", QStringLiteral("コピー(&C)"), [this] { Copy_ExPMClick(); });
  AddItem(p, "SelectAll_ExPM", QStringLiteral("すべて選択(&A)"), [this] { SelectAll_ExPMClick(); });
  p->addSeparator();
  AddItem(p, "Find", QStringLiteral("検索(&F)"), [this] { FindClick(); });
  AddItem(p, "FindNext1", QStringLiteral("次を検索(&N)"), [this] { FindDialogFind(); });
  p->addSeparator();
  AddItem(p, "Top_ExPM", QStringLiteral("先頭へ移動(&G)"), [this] { Top_ExPMClick(); });
  AddItem(p, "End_ExPM", QStringLiteral("最後へ移動(&B)"), [this] { End_ExPMClick(); });
  AddItem(p, "Jump_ExPM", QStringLiteral("指定した行番号へ移動(&L)"), [this] { Jump_ExPMClick(); });
  AddItem(p, "Mark_ExPM", QStringLiteral("現在の位置の記憶(&M)"), [this] { Mark_ExPMClick(); });
  AddItem(p, "ReMark_ExPM", QStringLiteral("記憶した位置へ移動(&R)"),
          [this] { ReMark_ExPMClick(); });
  p->addSeparator();
  AddItem(p, "Font_ExPM", QStringLiteral("フォント"), [this] { Font_ExPMClick(); });
  ExtMemo->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(ExtMemo, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { ExtMemoPopup->popup(ExtMemo->viewport()->mapToGlobal(at)); });
}

// The caption is the window's title, which is also what task bars show. The
// application's display name stays unset: Qt would append it to the
// caption of every dialog.
void TOstrekForm::PageControlChange() {
  setWindowTitle(PageControl->tabText(PageControl->currentIndex()) + QStringLiteral(" - ") +
                 AppName);
  PageControl->currentWidget()->update();
  ArrangeActivePage();
}

void TOstrekForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (WindowShown || FClosed) return;
  ApplyOutputFont();
  // The font step may have made the window larger than the place chosen for it.
  KeepOnScreen(this, FCentreOnShow);
  setAcceptDrops(true);
  WindowShown = true;
  FormResize();
  KeepPaneLines();
  FitGraphPanel();
  // A user who opens the window and types a host types into the field.
  ActivePage().MainField->setFocus(Qt::OtherFocusReason);
}

void TOstrekForm::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}

void TOstrekForm::FormClose() {
  if (FClosed) return;
  FClosed = true;
  WindowShown = false;
  if (FBusy) Stop_BtnClick();
  // The stopped run's log entry is written, and a failure shown, while the
  // window is still there to show it. A log that hangs (a dead network
  // mount) holds the close up only so long, and is reported as failed.
  ReportQueryLogFailures(!WaitForQueryLog());
  WSACleanup();
  SaveSettingsOnClose();
  // A stopped worker never reaches the window again; still, let it leave
  // its last socket call before the window goes away.
  TQueryThread::WaitForAll(ShutdownWaitMs);
}

void TOstrekForm::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

// A dropped Internet shortcut fills the active page's target field: the
// whole address on HTTP, its host part elsewhere. Only the first file counts,
// and only with the extension ".url" exactly; also during a run, and without
// touching the page or the histories.
void TOstrekForm::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  event->acceptProposedAction();
  if (urls.isEmpty() || !urls.first().isLocalFile()) return;
  const QString path = urls.first().toLocalFile();
  const QString name = QFileInfo(path).fileName();
  const qsizetype dot = name.lastIndexOf(u'.');
  if (dot < 0 || name.mid(dot) != QStringLiteral(".url")) return;
  const QString url = ReadInternetShortcutUrl(path);
  const TPageEntry& page = ActivePage();
  const QString text = page.DropWholeUrl ? url : ExtractUrlHost(url);
  if (!page.DropWholeUrl && text.isEmpty()) return;
  page.DropTarget->setEditText(text);
}

// The activity picture, right of the tabs between the stop button and the
// pane, drawn after the window's own painting once the window is shown: in
// the colour of the tick or the final frame that asked for this painting,
// otherwise at rest.
//
// The layout follows the client area, not the window: the client area also
// changes, later, when the menu and status bars take a new font.
bool TOstrekForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == centralWidget() && event->type() == QEvent::Resize) FormResize();
  if (watched == centralWidget() && event->type() == QEvent::Paint && WindowShown) {
    QPainter painter(centralWidget());
    DrawActivityPicture(painter, CurrentPictureArea(), palette(), FPictureColour, AnimFrame);
    FPictureColour = PictureRestColour;
  }
  return QMainWindow::eventFilter(watched, event);
}

// Right of the tabs, between the stop button and the pane, as laid out now.
TPictureArea TOstrekForm::CurrentPictureArea() const {
  return PictureArea(PageControl->width(), centralWidget()->width(),
                     Stop_Btn->y() + Stop_Btn->height(), ExtMemo->y());
}

// A tick or the final frame, drawn at once so that the frame counter moves
// only after the drawing has read it.
void TOstrekForm::DrawPicture(const QColor& colour, bool advance) {
  FPictureColour = colour;
  if (WindowShown) centralWidget()->repaint(CurrentPictureArea().Bounds());
  FPictureColour = PictureRestColour;
  if (advance) ++AnimFrame;
}
