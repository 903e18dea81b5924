#pragma once
#include <QDialog>
#include <QFont>

class QFontComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

// The font of the output pane: fixed-pitch fonts that exist on this system,
// sizes 1 to 99 points, no effects. Apply hands the font over while the
// dialog stays open; a later Cancel does not take that back.
class TFontDialog : public QDialog {
  Q_OBJECT
 public:
  TFontDialog(QWidget* owner, const QFont& font);

  QFont SelectedFont() const;

  QFontComboBox* Family_CB;
  QSpinBox* Size_SE;
  QLabel* Sample_LBL;
  QPushButton *OKButton, *CancelButton, *ApplyButton;

 signals:
  void Apply(const QFont& font);

 private:
  void BuildControls();
  void ShowSample();
};
