#include "main/OstrekMain.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>

#include "widgets/ButtonKeys.h"
#include "widgets/ExtMemo.h"
#include "workers/QueryThread.h"

static void InitResources() { Q_INIT_RESOURCE(ostrekon); }

namespace {
const QString AppName = QStringLiteral("Ostrekon");
// How long closing waits for stopped workers to leave their last call.
constexpr int ShutdownWaitMs = 3000;

// The design fonts are Windows fonts; the IPA fonts stand in for them.
void SubstituteDesignFonts() {
  QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"),
                             {QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック")});
  QFont::insertSubstitutions(QStringLiteral("ＭＳ ゴシック"),
                             {QStringLiteral("IPAGothic"), QStringLiteral("IPAゴシック")});
}

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

QFont DesignFont(const char* family) {
  QFont font(QString::fromUtf8(family));
  font.setPixelSize(12);
  return font;
}
}  // namespace

TOstrekForm::TOstrekForm(TFormDeps deps, QWidget* parent)
    : QMainWindow(parent), FDeps(std::move(deps)) {
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
  ExtMemo->setFont(DesignFont("ＭＳ ゴシック"));
  QWidget::setTabOrder(PageControl, Go_Btn);
  QWidget::setTabOrder(Go_Btn, Stop_Btn);
  QWidget::setTabOrder(Stop_Btn, ExtMemo);

  StatusPanel = new QLabel(this);
  StatusPanel->setObjectName(QStringLiteral("StatusBar"));
  StatusPanel->setFixedWidth(400);
  statusBar()->addWidget(StatusPanel);
  statusBar()->setSizeGripEnabled(true);

  BuildMenus();
  ConnectHistoryButtons();
  connect(Go_Btn, &QPushButton::clicked, this, &TOstrekForm::Go_BtnClick);
  connect(Stop_Btn, &QPushButton::clicked, this, &TOstrekForm::Stop_BtnClick);
  connect(PageControl, &QTabWidget::currentChanged, this, &TOstrekForm::PageControlChange);
  new TButtonKeys(this, Go_Btn, Stop_Btn);

  connect(FngrWall_Btn, &QPushButton::clicked, this, &TOstrekForm::FireWall_BtnClick);
  connect(WhoisWall_Btn, &QPushButton::clicked, this, &TOstrekForm::FireWall_BtnClick);
  setMinimumSize(400, 300);
  resize(608, 345 + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
  FormCreate();
  if (FStartFailed) QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

TOstrekForm::~TOstrekForm() {
  if (FBusy) Stop_BtnClick();
  if (FChannel) FChannel->Close();
  TQueryThread::WaitForAll(ShutdownWaitMs);
}

void TOstrekForm::BuildMenus() {
  File_ExMM = AddMenu(menuBar(), "File_ExMM", QStringLiteral("ファイル(&F)"));
  Save_ExMM = AddItem(File_ExMM, "Save_ExMM", QStringLiteral("名前をつけて保存(&A)..."),
                      [this] { Save_ExMMClick(); });
  Log_ExMM =
      AddItem(File_ExMM, "Log_ExMM", QStringLiteral("ログ(&L)..."), [this] { Log_ExMMClick(); });
  File_ExMM->addSeparator();
  SaveSetting_INI = AddItem(File_ExMM, "SaveSetting_INI", QStringLiteral("INIファイルに設定保存"));
  SaveSetting_REG = AddItem(File_ExMM, "SaveSetting_REG", QStringLiteral("レジストリに設定保存"));
  auto* store = new QActionGroup(this);
  for (QAction* a : {SaveSetting_INI, SaveSetting_REG}) store->addAction(a)->setCheckable(true);
  SaveSetting_INI->setChecked(true);
  File_ExMM->addSeparator();
  Exit_ExMM = AddItem(File_ExMM, "Exit_ExMM", QStringLiteral("終了(&X)"), [this] { close(); });

  Edit_ExMM = AddMenu(menuBar(), "Edit_ExMM", QStringLiteral("編集(&E)"));
  CpAll_ExMM = AddItem(
      Edit_ExMM, "CpAll_ExMM", QStringLiteral("すべてコピー(&L)"), [this] { CpAll_ExMMClick(); },
      Qt::CTRL | Qt::Key_L);
  Edit_ExMM->addSeparator();
  DeleteAll_ExMM = AddItem(
      Edit_ExMM, "DeleteAll_ExMM", QStringLiteral("すべて消去(&D)"),
      [this] { DeleteAll_ExMMClick(); }, Qt::SHIFT | Qt::Key_Delete);

  Show1 = AddMenu(menuBar(), "Show1", QStringLiteral("表示(&V)"));
  Clear_ChckM = AddItem(Show1, "Clear_ChckM", QStringLiteral("自動消去(&D)"));
  AutoScroll_ChckM = AddItem(Show1, "AutoScroll_ChckM", QStringLiteral("自動スクロール(&S)"));
  for (QAction* a : {Clear_ChckM, AutoScroll_ChckM}) a->setCheckable(true);
  AutoScroll_ChckM->setChecked(true);

  Help_MM = AddMenu(menuBar(), "Help_MM", QStringLiteral("ヘルプ(&H)"));
  WinsockInfo_MM = AddItem(Help_MM, "WinsockInfo_MM", QStringLiteral("Winsock情報"),
                           [this] { WinsockInfo_MMClick(); });
  About_MM = AddItem(Help_MM, "About_MM", QStringLiteral("Ostrekonについて(&A)..."),
                     [this] { About_MMClick(); });
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
  WindowShown = true;
  FormResize();
}

void TOstrekForm::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FormResize();
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
  WSACleanup();
  SaveSettingsOnClose();
  // A stopped worker never reaches the window again; still, let it leave
  // its last socket call before the window goes away.
  TQueryThread::WaitForAll(ShutdownWaitMs);
}
