#include "widgets/ButtonKeys.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>

TButtonKeys::TButtonKeys(QWidget* window, QPushButton* first, QPushButton* second)
    : QObject(window), FWindow(window), FFirst(first), FSecond(second) {
  qApp->installEventFilter(this);
}

bool TButtonKeys::eventFilter(QObject* watched, QEvent* event) {
  auto* target = qobject_cast<QWidget*>(watched);
  if (event->type() != QEvent::KeyPress || !target || target->window() != FWindow) return false;
  const auto* key = static_cast<const QKeyEvent*>(event);
  const Qt::KeyboardModifiers mods = key->modifiers();
  if ((mods & Qt::AltModifier) && !(mods & Qt::ControlModifier) && !key->text().isEmpty())
    return true;
  // Once, for the focus widget itself (a combo box hands its keys on to its
  // field).
  QWidget* focus = QApplication::focusWidget();
  return watched == focus && PressButtonFor(key, focus);
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
