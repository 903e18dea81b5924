#pragma once
#include <QDialog>
#include <QFont>

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

// The font of the output pane: fixed-pitch fonts that exist on this system,
// sizes 1 to 99 points, no effects. Apply hands the font over while the
// dialog stays open; a later Cancel does not take that back.
class TFontDialog : public QDialog {
  Q_OBJECT
 public:
  // Opens on font, the pane's: OK without a change gives it back as it was.
  TFontDialog(QWidget* owner, const QFont& font);

  QFont SelectedFont() const;

  QComboBox* Family_CB;
  QSpinBox* Size_SE;
  QLabel* Sample_LBL;
  QPushButton *OKButton, *CancelButton, *ApplyButton;

 signals:
  void Apply(const QFont& font);

 private:
  void BuildControls();
  void ShowFont(const QFont& font);
  void ShowSample();
};
