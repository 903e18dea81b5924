#include "dialogs/DialogCommon.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>

namespace {

const struct {
  const char16_t* Name;
  const char16_t* StandIns[2];
} DesignFonts[] = {{u"ＭＳ Ｐゴシック", {u"IPAPGothic", u"IPA Pゴシック"}},
                   {u"ＭＳ ゴシック", {u"IPAGothic", u"IPAゴシック"}}};

bool LiesInside(const QPoint& pos, const QSize& size, const QRect& screen) {
  return pos.x() > screen.left() && pos.x() + size.width() < screen.left() + screen.width() &&
         pos.y() > screen.top() && pos.y() + size.height() < screen.top() + screen.height();
}

QPoint ScreenCentre(const QSize& dialog, const QRect& screen) {
  return {screen.left() + (screen.width() - dialog.width()) / 2,
          screen.top() + (screen.height() - dialog.height()) / 2};
}

// Shrinks window where needed so that it, frame included, fits inside area.
// A window that fits is left alone: its layout still gives it its size.
void FitInto(QWidget* window, const QRect& area) {
  const QSize most = area.size() - (window->frameGeometry().size() - window->size());
  if (window->width() > most.width() || window->height() > most.height())
    window->resize(window->size().boundedTo(most));
}

}  // namespace

QStringList DesignFontNames() {
  QStringList names;
  for (const auto& font : DesignFonts) names << QString::fromUtf16(font.Name);
  return names;
}

void SubstituteDesignFonts() {
  for (const auto& font : DesignFonts)
    QFont::insertSubstitutions(
        QString::fromUtf16(font.Name),
        {QString::fromUtf16(font.StandIns[0]), QString::fromUtf16(font.StandIns[1])});
}

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

QRect AvailableArea(const QWidget* window) {
  const QScreen* screen = window ? window->screen() : QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

void KeepOnScreen(QWidget* window, bool centre) {
  const QRect area = AvailableArea(window);
  FitInto(window, area);
  QRect bounds = window->frameGeometry();
  if (centre) bounds.moveCenter(area.center());
  const auto into = [](int pos, int length, int first, int room) {
    return std::clamp(pos, first, first + std::max(0, room - length));
  };
  window->move(into(bounds.x(), bounds.width(), area.x(), area.width()),
               into(bounds.y(), bounds.height(), area.y(), area.height()));
}

void PlaceDialog(QWidget* dialog, QWidget* owner, int verticalDivisor) {
  const QRect screen = AvailableArea(owner);
  FitInto(dialog, screen);
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
  return ChooseFileToSave(owner, folder, QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ (*.txt)"), QStringLiteral("txt"));
}

QString ChooseFileToSave(QWidget* owner, const QString& folder, const QString& filter,
                         const QString& suffix) {
  QFileDialog dialog(owner);
  dialog.setObjectName(QStringLiteral("SaveDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(filter);
  dialog.setDefaultSuffix(suffix);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (!folder.isEmpty()) dialog.setDirectory(folder);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}
