#include "dialogs/HelpView.h"

#include <QFont>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "dialogs/DialogCommon.h"

// The pages live in a static library: nothing pulls their resource object in
// unless it is named. Q_INIT_RESOURCE must not stand inside a namespace.
static void InitHelpResources() { Q_INIT_RESOURCE(help); }

namespace {

const QSize InitialSize(680, 600);

QPointer<THelpViewer>& TheViewer() {
  static QPointer<THelpViewer> viewer;
  return viewer;
}

QUrl HelpPage(const char* fileName) {
  return QUrl(QStringLiteral("qrc:/help/") + QString::fromLatin1(fileName));
}

// The manual's body text: the design font, larger for reading.
QFont ReadingFont() {
  QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
  font.setPixelSize(14);
  return font;
}

}  // namespace

QUrl THelpViewer::ContentsUrl() { return HelpPage("index.html"); }
QUrl THelpViewer::IndexUrl() { return HelpPage("keywords.html"); }

void THelpViewer::ShowHelpContents(QWidget* owner) { Open(owner, ContentsUrl()); }
void THelpViewer::ShowHelpIndex(QWidget* owner) { Open(owner, IndexUrl()); }

THelpViewer* THelpViewer::Instance() { return TheViewer(); }

// Made on the first request, as a window of its own over the owner's window,
// so that it closes with the program; later requests bring it back.
void THelpViewer::Open(QWidget* owner, const QUrl& page) {
  static const bool resourcesReady = (InitHelpResources(), true);
  Q_UNUSED(resourcesReady);
  QPointer<THelpViewer>& viewer = TheViewer();
  if (!viewer) {
    viewer = new THelpViewer(owner ? owner->window() : nullptr);
    PlaceDialog(viewer, owner);
  }
  viewer->ShowPage(page);
  viewer->setWindowState(viewer->windowState() & ~Qt::WindowMinimized);
  viewer->show();
  viewer->raise();
  viewer->activateWindow();
}

THelpViewer::THelpViewer(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("HelpViewer"));
  setWindowTitle(QStringLiteral("Ostrekon ヘルプ"));
  // Closing help only hides it; it never ends the program.
  setAttribute(Qt::WA_QuitOnClose, false);
  setFont(DialogFont());
  BuildControls();
  // Room is left for a frame, which is not known before the first show.
  resize(InitialSize.boundedTo(AvailableArea(parent).size() * 9 / 10));
  new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &QWidget::close);
}

QPushButton* THelpViewer::AddButton(const char* name, const QString& caption) {
  auto* button = Named(new QPushButton(caption, this), name);
  button->setAutoDefault(false);
  return button;
}

void THelpViewer::BuildControls() {
  Contents_Btn = AddButton("Contents_Btn", QStringLiteral("目次(&C)"));
  Keyword_Btn = AddButton("Keyword_Btn", QStringLiteral("キーワード(&K)"));
  Back_Btn = AddButton("Back_Btn", QStringLiteral("戻る(&B)"));
  Forward_Btn = AddButton("Forward_Btn", QStringLiteral("進む(&F)"));
  Back_Btn->setEnabled(false);
  Forward_Btn->setEnabled(false);

  FBrowser = Named(new QTextBrowser(this), "HelpBrowser");
  FBrowser->setFont(ReadingFont());
  FBrowser->setOpenExternalLinks(true);

  connect(Contents_Btn, &QPushButton::clicked, this, [this] { ShowPage(ContentsUrl()); });
  connect(Keyword_Btn, &QPushButton::clicked, this, [this] { ShowPage(IndexUrl()); });
  connect(Back_Btn, &QPushButton::clicked, FBrowser, &QTextBrowser::backward);
  connect(Forward_Btn, &QPushButton::clicked, FBrowser, &QTextBrowser::forward);
  connect(FBrowser, &QTextBrowser::backwardAvailable, Back_Btn, &QWidget::setEnabled);
  connect(FBrowser, &QTextBrowser::forwardAvailable, Forward_Btn, &QWidget::setEnabled);

  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {Contents_Btn, Keyword_Btn, Back_Btn, Forward_Btn}) buttons->addWidget(b);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addLayout(buttons);
  layout->addWidget(FBrowser);
}

void THelpViewer::ShowPage(const QUrl& page) {
  FBrowser->setSource(page);
  FBrowser->setFocus(Qt::OtherFocusReason);
}
