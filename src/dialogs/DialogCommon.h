#pragma once
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

class QHBoxLayout;
class QWidget;

// Gives a control its component name and returns it.
template <class W>
W* Named(W* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

// The design's fonts are Windows fonts ("ＭＳ Ｐゴシック" for the window and
// the dialogs, "ＭＳ ゴシック" for the pane); the IPA fonts stand in for them
// once SubstituteDesignFonts has run. Their names, in that order:
QStringList DesignFontNames();
void SubstituteDesignFonts();

// The design font of every dialog.
QFont DialogFont();

// Where a dialog of the given size opens: centred over its owner, horizontally
// by half the spare width and vertically by spare height / verticalDivisor.
// A dialog that would touch or cross an edge of the screen is centred on the
// screen instead. Divisions round toward zero.
QPoint DialogPosition(const QRect& owner, const QSize& dialog, const QRect& screen,
                      int verticalDivisor = 2);

// Moves dialog to its opening place over owner (in the available area of
// owner's screen); without an owner it is centred on the primary screen. A
// dialog larger than the area is first made to fit it.
void PlaceDialog(QWidget* dialog, QWidget* owner, int verticalDivisor = 2);

// The area of window's screen (the primary screen without a window) that
// the desktop's panels leave to windows.
QRect AvailableArea(const QWidget* window);

// Makes a top-level window fit the available area of its screen, its frame
// as far as known included, and moves it in where it sticks out; centre
// puts it in the middle of the area.
void KeepOnScreen(QWidget* window, bool centre = false);

// The row of OK and Cancel at the right of a dialog's foot.
QHBoxLayout* OkCancelRow(QWidget* ok, QWidget* cancel);

// The save dialog of the output: a text file, starting in folder. The file
// chosen, or empty when cancelled; whether to overwrite is the caller's
// question.
QString ChooseTextFileToSave(QWidget* owner, const QString& folder);
// The same for a file of the given filter ("CSV (*.csv)") and suffix.
QString ChooseFileToSave(QWidget* owner, const QString& folder, const QString& filter,
                         const QString& suffix);

// An error box with a single OK button over parent.
void ShowErrorBox(QWidget* parent, const QString& text);
