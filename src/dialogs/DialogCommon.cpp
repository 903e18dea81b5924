#include "dialogs/DialogCommon.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>

namespace {

bool LiesInside(const QPoint& pos, const QSize& size, const QRect& screen) {
  return pos.x() > screen.left() && pos.x() + size.width() < screen.left() + screen.width() &&
         pos.y() > screen.top() && pos.y() + size.height() < screen.top() + screen.height();
}

QPoint ScreenCentre(const QSize& dialog, const QRect& screen) {
  return {screen.left() + (screen.width() - dialog.width()) / 2,
          screen.top() + (screen.height() - dialog.height()) / 2};
}

QRect ScreenOf(QWidget* owner) {
  QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
  return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

}  // namespace

QFont DialogFont() {
  QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
  font.setPixelSize(12);
  return font;
}

QPoint DialogPosition(const QRect& owner, const QSize& dialog, const QRect& screen,
                      int verticalDivisor) {
  const QPoint pos(owner.left() + (owner.width() - dialog.width()) / 2,
                   owner.top() + (owner.height() - dialog.height()) / verticalDivisor);
  return LiesInside(pos, dialog, screen) ? pos : ScreenCentre(dialog, screen);
}

void PlaceDialog(QWidget* dialog, QWidget* owner, int verticalDivisor) {
  const QRect screen = ScreenOf(owner);
  const QSize size = dialog->frameGeometry().size();
  if (!owner) {
    dialog->move(ScreenCentre(size, screen));
    return;
  }
  dialog->move(DialogPosition(owner->window()->frameGeometry(), size, screen, verticalDivisor));
}

void ShowErrorBox(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Ostrekon"), text, QMessageBox::Ok, parent);
  box.setObjectName(QStringLiteral("ErrorBox"));
  box.exec();
}

QHBoxLayout* OkCancelRow(QWidget* ok, QWidget* cancel) {
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(ok);
  row->addWidget(cancel);
  return row;
}

QString ChooseTextFileToSave(QWidget* owner, const QString& folder) {
  QFileDialog dialog(owner);
  dialog.setObjectName(QStringLiteral("SaveDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ (*.txt)"));
  dialog.setDefaultSuffix(QStringLiteral("txt"));
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (!folder.isEmpty()) dialog.setDirectory(folder);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}
