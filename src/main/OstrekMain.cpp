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
  qApp->installEventFilter(this);

  connect(FngrWall_Btn, &QPushButton::clicked, this, &TOstrekForm::FireWall_BtnClick);
  connect(WhoisWall_Btn, &QPushButton::clicked, this, &TOstrekForm::FireWall_BtnClick);
  setMinimumSize(400, 300);
  resize(608, 345 + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
  FormCreate();
  if (FStartFailed) QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

TOstrekForm::~TOstrekForm() {
  qApp->removeEventFilter(this);
  if (FBusy) Stop_BtnClick();
  if (FChannel) FChannel->Close();
  TQueryThread::WaitForAll(ShutdownWaitMs);
}

void TOstrekForm::BuildMenus() {
  File_ExMM = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
  File_ExMM->setObjectName(QStringLiteral("File_ExMM"));
  Save_ExMM = File_ExMM->addAction(QStringLiteral("名前をつけて保存(&A)..."), this,
                                   &TOstrekForm::Save_ExMMClick);
  Save_ExMM->setObjectName(QStringLiteral("Save_ExMM"));
  Log_ExMM = File_ExMM->addAction(QStringLiteral("ログ(&L)..."), this, &TOstrekForm::Log_ExMMClick);
  Log_ExMM->setObjectName(QStringLiteral("Log_ExMM"));
  File_ExMM->addSeparator();
  auto* store = new QActionGroup(this);
  SaveSetting_INI = File_ExMM->addAction(QStringLiteral("INIファイルに設定保存"));
  SaveSetting_INI->setObjectName(QStringLiteral("SaveSetting_INI"));
  SaveSetting_REG = File_ExMM->addAction(QStringLiteral("レジストリに設定保存"));
  SaveSetting_REG->setObjectName(QStringLiteral("SaveSetting_REG"));
  for (QAction* a : {SaveSetting_INI, SaveSetting_REG}) {
    a->setCheckable(true);
    store->addAction(a);
  }
  SaveSetting_INI->setChecked(true);
  File_ExMM->addSeparator();
  Exit_ExMM = File_ExMM->addAction(QStringLiteral("終了(&X)"), this, &QWidget::close);
  Exit_ExMM->setObjectName(QStringLiteral("Exit_ExMM"));

  Edit_ExMM = menuBar()->addMenu(QStringLiteral("編集(&E)"));
  Edit_ExMM->setObjectName(QStringLiteral("Edit_ExMM"));
  CpAll_ExMM =
      Edit_ExMM->addAction(QStringLiteral("すべてコピー(&L)"), this, &TOstrekForm::CpAll_ExMMClick);
  CpAll_ExMM->setObjectName(QStringLiteral("CpAll_ExMM"));
  CpAll_ExMM->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
  Edit_ExMM->addSeparator();
  DeleteAll_ExMM = Edit_ExMM->addAction(QStringLiteral("すべて消去(&D)"), this,
                                        &TOstrekForm::DeleteAll_ExMMClick);
  DeleteAll_ExMM->setObjectName(QStringLiteral("DeleteAll_ExMM"));
  DeleteAll_ExMM->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Delete));

  Show1 = menuBar()->addMenu(QStringLiteral("表示(&V)"));
  Show1->setObjectName(QStringLiteral("Show1"));
  Clear_ChckM = Show1->addAction(QStringLiteral("自動消去(&D)"));
  Clear_ChckM->setObjectName(QStringLiteral("Clear_ChckM"));
  Clear_ChckM->setCheckable(true);
  Clear_ChckM->setChecked(false);
  AutoScroll_ChckM = Show1->addAction(QStringLiteral("自動スクロール(&S)"));
  AutoScroll_ChckM->setObjectName(QStringLiteral("AutoScroll_ChckM"));
  AutoScroll_ChckM->setCheckable(true);
  AutoScroll_ChckM->setChecked(true);

  Help_MM = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
  Help_MM->setObjectName(QStringLiteral("Help_MM"));
  WinsockInfo_MM =
      Help_MM->addAction(QStringLiteral("Winsock情報"), this, &TOstrekForm::WinsockInfo_MMClick);
  WinsockInfo_MM->setObjectName(QStringLiteral("WinsockInfo_MM"));
  About_MM = Help_MM->addAction(QStringLiteral("Ostrekonについて(&A)..."), this,
                                &TOstrekForm::About_MMClick);
  About_MM->setObjectName(QStringLiteral("About_MM"));
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
