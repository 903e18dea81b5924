#include "widgets/AnimWnd.h"

#include <QEvent>
#include <QWidget>
#include <QWindowStateChangeEvent>
#include <set>
#include <stdexcept>

namespace {
// Forms that have their TAnimateWindow; UI thread only.
std::set<const QWidget*>& Forms() {
  static std::set<const QWidget*> forms;
  return forms;
}

QWidget* Admitted(QWidget* form) {
  if (Forms().count(form)) throw std::runtime_error("AnimateWindowはフォームに一つしか置けません");
  return form;
}
}  // namespace

TAnimateWindow::TAnimateWindow(QWidget* form) : QObject(Admitted(form)), FForm(form) {
  Forms().insert(form);
  form->installEventFilter(this);
}

// Also runs as a child while the form is destroyed: the form leaves the list.
TAnimateWindow::~TAnimateWindow() {
  FForm->removeEventFilter(this);
  Forms().erase(FForm);
}

bool TAnimateWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched != FForm || event->type() != QEvent::WindowStateChange) return false;
  const bool was = static_cast<QWindowStateChangeEvent*>(event)->oldState() & Qt::WindowMinimized;
  const bool is = FForm->windowState() & Qt::WindowMinimized;
  if (is && !was) emit OnMinimize();
  if (was && !is) emit OnRestore();
  return false;
}
