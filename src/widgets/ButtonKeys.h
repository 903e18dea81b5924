#pragma once
#include <QKeySequence>
#include <QList>
#include <QObject>

class QAbstractButton;
class QKeyEvent;
class QPushButton;
class QWidget;

// The keys of a window whose buttons behave as on the platform the design
// comes from: Enter (the keypad's too) presses the focused push button, and
// elsewhere whichever of the two default buttons is enabled; Alt with a key
// is a command, never text, so it is not typed into a field even when the
// button whose access key it is happens to be disabled. An enabled button's
// access key presses it at once, also where a menu has the same key. The
// menu keys given stay the window's while a field has the focus. In a
// field's completion list Enter picks the entry moved to, and with none it
// acts as in the field. Installed on the application, it acts on its
// window's keys only.
class TButtonKeys : public QObject {
  Q_OBJECT
 public:
  TButtonKeys(QWidget* window, QPushButton* first, QPushButton* second,
              const QList<QKeySequence>& menuKeys = {});

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool OverrideShortcut(QKeyEvent* key) const;
  QAbstractButton* EnabledButtonFor(const QKeyEvent* key) const;
  bool PressButtonFor(const QKeyEvent* key, QWidget* focus);
  bool EnterInCompletionList(QObject* watched, const QKeyEvent* key);

  QWidget* const FWindow;
  QPushButton* const FFirst;
  QPushButton* const FSecond;
  const QList<QKeySequence> FMenuKeys;
};
