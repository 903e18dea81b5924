#include "widgets/ButtonKeys.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

namespace {
bool IsAltCommand(const QKeyEvent* key) {
  const Qt::KeyboardModifiers mods = key->modifiers();
  return (mods & Qt::AltModifier) && !(mods & Qt::ControlModifier) && !key->text().isEmpty();
}
}  // namespace

TButtonKeys::TButtonKeys(QWidget* window, QPushButton* first, QPushButton* second,
                         const QList<QKeySequence>& menuKeys)
    : QObject(window), FWindow(window), FFirst(first), FSecond(second), FMenuKeys(menuKeys) {
  qApp->installEventFilter(this);
}

bool TButtonKeys::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress &&
      EnterInCompletionList(watched, static_cast<const QKeyEvent*>(event)))
    return true;
  auto* target = qobject_cast<QWidget*>(watched);
  if (!target || target->window() != FWindow) return false;
  if (event->type() == QEvent::ShortcutOverride)
    return OverrideShortcut(static_cast<QKeyEvent*>(event));
  if (event->type() != QEvent::KeyPress) return false;
  const auto* key = static_cast<const QKeyEvent*>(event);
  if (IsAltCommand(key)) {
    if (QAbstractButton* button = EnabledButtonFor(key)) button->click();
    return true;
  }
  // Once, for the focus widget itself (a combo box hands its keys on to its
  // field).
  QWidget* focus = QApplication::focusWidget();
  return watched == focus && PressButtonFor(key, focus);
}

// Asked before the window's shortcuts are looked up. A field would claim a
// menu key (Shift+Del is its cut): the menu keeps it. A menu with the access
// key of an enabled button would make the key ambiguous, so that the first
// press only moved the focus: the button takes the key press instead.
bool TButtonKeys::OverrideShortcut(QKeyEvent* key) const {
  // The keypad's Del is the same key, as it is to the window's shortcuts.
  if (FMenuKeys.contains(QKeySequence((key->modifiers() & ~Qt::KeypadModifier) | key->key()))) {
    key->ignore();
    return true;
  }
  if (!IsAltCommand(key) || !EnabledButtonFor(key)) return false;
  key->accept();
  return true;
}

QAbstractButton* TButtonKeys::EnabledButtonFor(const QKeyEvent* key) const {
  if (key->modifiers() != Qt::AltModifier) return nullptr;
  const QKeySequence pressed(Qt::ALT | Qt::Key(key->key()));
  for (QAbstractButton* button : FWindow->findChildren<QAbstractButton*>())
    if (button->isVisible() && button->isEnabled() && button->window() == FWindow &&
        QKeySequence::mnemonic(button->text()) == pressed)
      return button;
  return nullptr;
}

// True when the key was Enter and has been used.
bool TButtonKeys::PressButtonFor(const QKeyEvent* key, QWidget* focus) {
  const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
  if (!enter || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
  if (auto* button = qobject_cast<QPushButton*>(focus)) {
    if (button->isEnabled()) button->click();
    return true;
  }
  // An open drop-down list takes Enter itself, to pick its entry.
  if (auto* box = qobject_cast<QComboBox*>(focus->parentWidget()); box && box->view()->isVisible())
    return false;
  QPushButton* target = FFirst->isEnabled() ? FFirst : FSecond;
  if (target->isEnabled()) target->click();
  return true;
}

// A field's completion list is a window of its own, which has the keys
// while it is open. Without an entry moved to, Enter closes it and does
// what it does in the field: the run takes the text as typed.
bool TButtonKeys::EnterInCompletionList(QObject* watched, const QKeyEvent* key) {
  auto* list = qobject_cast<QAbstractItemView*>(watched);
  if (!list || list->currentIndex().isValid()) return false;
  for (const QComboBox* box : FWindow->findChildren<QComboBox*>()) {
    if (!box->completer() || box->completer()->popup() != list) continue;
    if (!PressButtonFor(key, box->lineEdit())) return false;
    list->hide();
    return true;
  }
  return false;
}
