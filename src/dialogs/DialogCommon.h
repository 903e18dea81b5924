#pragma once
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

class QHBoxLayout;
class QWidget;

// Gives a control its component name and returns it.
template <class W>
W* Named(W* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

// The design font of every dialog; the program maps it onto the IPA fonts.
QFont DialogFont();

// Where a dialog of the given size opens: centred over its owner, horizontally
// by half the spare width and vertically by spare height / verticalDivisor.
// A dialog that would touch or cross an edge of the screen is centred on the
// screen instead. Divisions round toward zero.
QPoint DialogPosition(const QRect& owner, const QSize& dialog, const QRect& screen,
                      int verticalDivisor = 2);

// Moves dialog to its opening place over owner (on owner's screen); without
// an owner it is centred on the primary screen.
void PlaceDialog(QWidget* dialog, QWidget* owner, int verticalDivisor = 2);

// The row of OK and Cancel at the right of a dialog's foot.
QHBoxLayout* OkCancelRow(QWidget* ok, QWidget* cancel);

// The save dialog of the output: a text file, starting in folder. The file
// chosen, or empty when cancelled; whether to overwrite is the caller's
// question.
QString ChooseTextFileToSave(QWidget* owner, const QString& folder);

// An error box with a single OK button over parent.
void ShowErrorBox(QWidget* parent, const QString& text);
