#pragma once
#include <QObject>

class QWidget;

// Minimise and restore of a form. The window manager animates both from the
// real window already, so what is left is the rule of one per form and the
// two notifications, fired when the form's window state enters or leaves
// minimised.
class TAnimateWindow : public QObject {
  Q_OBJECT
 public:
  // A child of form. Throws std::runtime_error with the message
  // "AnimateWindowはフォームに一つしか置けません" (UTF-8) when form has one already;
  // that one keeps working.
  explicit TAnimateWindow(QWidget* form);
  ~TAnimateWindow() override;

  QWidget* Form() const { return FForm; }

 signals:
  void OnMinimize();
  void OnRestore();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* const FForm;
};
