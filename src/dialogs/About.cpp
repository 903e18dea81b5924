#include "dialogs/About.h"

#include <QDesktopServices>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/ProgramDir.h"
#include "common/Version.h"
#include "dialogs/DialogCommon.h"
#include "settings/SettingsStore.h"

namespace {

// Keep in step with project() in CMakeLists.txt.
const QString ProgramVersion = QString::fromLatin1(OstrekonVersion);
const QString Authorship = QStringLiteral("Copyright (C) 2024 Ostrekon Project");
// The project's home as the package names it (CMakeLists.txt). There is no
// mail address to offer.
const QString WebPage = QString::fromLatin1(OSTREKON_HOME_PAGE);
const QString CannotOpen = QStringLiteral("を開くことができません。");

bool OpenWithDesktop(const QUrl& url) { return QDesktopServices::openUrl(url); }

// A click ends with the left button released over the label itself.
bool IsLeftClick(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::MouseButtonRelease) return false;
  const auto* mouse = static_cast<QMouseEvent*>(event);
  return mouse->button() == Qt::LeftButton &&
         static_cast<QWidget*>(watched)->rect().contains(mouse->position().toPoint());
}

}  // namespace

TAboutBox::TAboutBox(QWidget* owner, TUrlOpener openUrl)
    : QDialog(owner), FOpenUrl(openUrl ? std::move(openUrl) : TUrlOpener(OpenWithDesktop)) {
  setObjectName(QStringLiteral("TAboutBox"));
  setWindowTitle(QStringLiteral("About Ostrekon"));
  setFont(DialogFont());
  BuildControls();
  BuildLayout();
  FormCreate(owner);
}

QString TAboutBox::VersionText() { return QStringLiteral("Ostrekon Ver. ") + ProgramVersion; }
QString TAboutBox::WebAddress() { return WebPage; }

QString TAboutBox::PlacesText() {
  const QString rule = QStringLiteral(
      "設定とログは、プログラムのフォルダに ostrekon.ini があって\n"
      "そこに書き込めるときはプログラムのフォルダに、そうでなければ、\n"
      "だれが実行しても設定は ~/.config/qmzt/Ostrekon/ に、\n"
      "ログは ~/.local/share/qmzt/Ostrekon/ に保存します。\n");
  return rule + QStringLiteral("\n設定ファイル: ") + QDir::toNativeSeparators(SettingsIniPath()) +
         QStringLiteral("\nログ: ") + QDir::toNativeSeparators(LogDir());
}

void TAboutBox::BuildControls() {
  Label1 = new QLabel(VersionText(), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  QFont title = font();
  title.setPixelSize(16);
  title.setBold(true);
  Label1->setFont(title);
  Label2 = new QLabel(Authorship, this);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label5 = NewLinkLabel("Label5", WebPage);
  Places_LBL = new QLabel(PlacesText(), this);
  Places_LBL->setObjectName(QStringLiteral("Places_LBL"));
  Places_LBL->setTextInteractionFlags(Qt::TextSelectableByMouse);
  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setDefault(true);
  OKButton->setMinimumWidth(75);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

QLabel* TAboutBox::NewLinkLabel(const char* name, const QString& text) {
  auto* label = new QLabel(text, this);
  label->setObjectName(QString::fromLatin1(name));
  QFont underlined = font();
  underlined.setUnderline(true);
  label->setFont(underlined);
  QPalette colours = label->palette();
  colours.setColor(QPalette::WindowText, Qt::blue);
  label->setPalette(colours);
  label->setCursor(Qt::PointingHandCursor);
  label->installEventFilter(this);
  return label;
}

void TAboutBox::BuildLayout() {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 18, 24, 14);
  layout->setSpacing(6);
  for (QLabel* label : {Label1, Label2, Label5}) layout->addWidget(label, 0, Qt::AlignHCenter);
  layout->insertSpacing(1, 8);
  layout->addSpacing(10);
  layout->addWidget(Places_LBL, 0, Qt::AlignHCenter);
  layout->addSpacing(14);
  layout->addWidget(OKButton, 0, Qt::AlignHCenter);
  adjustSize();
  setFixedSize(size().expandedTo(QSize(300, 0)));
}

void TAboutBox::FormCreate(QWidget* owner) { PlaceDialog(this, owner); }

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Label5 && IsLeftClick(watched, event)) {
    Label5Click();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

// The box names the page it could not open.
void TAboutBox::Label5Click() { OpenLink(WebPage, WebPage + CannotOpen); }

void TAboutBox::OpenLink(const QString& target, const QString& failureText) {
  if (!FOpenUrl(QUrl(target))) ShowErrorBox(this, failureText);
}
