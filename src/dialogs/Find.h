#pragma once
#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The find dialog of the output pane: modeless, one per window, keeping its
// text and options between uses (also while closed, so that "find next"
// works before it was ever shown: then with an empty text, downward).
class TFindDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TFindDialog(QWidget* owner);

  QString FindText() const;
  bool Down() const;
  bool MatchCase() const;
  bool WholeWord() const;

  QLineEdit* FindText_Edt;
  QCheckBox *WholeWord_ChckB, *MatchCase_ChckB;
  QRadioButton *Up_RBTN, *Down_RBTN;
  QPushButton *FindNext_Btn, *Cancel_Btn;

 signals:
  // The find-next button: search once with the dialog's settings.
  void Find();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildControls();
};
