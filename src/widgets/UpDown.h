#pragma once
#include <QWidget>

class QLineEdit;
class QToolButton;

// A spin control attached to a number field (its buddy): the arrows and the
// Up/Down keys step the field's number within [min, max] without wrapping.
// The position follows what is typed in the field, clamped to the range.
class TUpDown : public QWidget {
  Q_OBJECT
 public:
  TUpDown(QLineEdit* buddy, int min, int max, int position, QWidget* parent);

  int Position() const;
  void SetPosition(int position);
  int Min() const { return FMin; }
  int Max() const { return FMax; }
  QLineEdit* Buddy() const { return FBuddy; }
  // The width the field needs to show the widest number of the range whole,
  // the cursor after it included, in the field's current font.
  int FieldWidthForRange() const;
  // Writes the position back into the field as a decimal number.
  void WriteBack() { SetPosition(Position()); }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Step(int delta);

  QLineEdit* FBuddy;
  QToolButton* FUp;
  QToolButton* FDown;
  const int FMin;
  const int FMax;
  mutable int FLast;
};
