#pragma once
#include <QApplication>
#include <QTimer>
#include <functional>

// Runs fn on the next modal dialog of type T as soon as it is shown (a
// modal dialog's exec() would otherwise hold the test up).
template <class T>
void WhenModal(QObject* context, std::function<void(T*)> fn, int triesLeft = 250) {
  QTimer::singleShot(20, context, [=] {
    if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget()))
      fn(dialog);
    else if (triesLeft > 0)
      WhenModal<T>(context, fn, triesLeft - 1);
  });
}
