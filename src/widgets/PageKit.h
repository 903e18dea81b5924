#pragma once
// Small helpers for pages laid out by hand from the sizes of their controls:
// controls made with their component name and design geometry, and the
// arithmetic of the layout rules. Integer pixels throughout.
#include <QString>
#include <utility>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QWidget;
class TUpDown;
struct TToolValue;

// --- Controls ---------------------------------------------------------------------

// A page of tabs, with its component name and caption.
QWidget* MakePage(QTabWidget* tabs, const char* name, const QString& caption);
// An editable history combo box at the first row's design place.
QComboBox* MakeCombo(QWidget* page, const char* name, const QString& hint = {});
// An auto-sized label at the left of its row, tied to the field it names:
// screen readers read it as the field's name.
QLabel* MakeLabel(QWidget* page, const char* name, const QString& text, QWidget* field = nullptr,
                  int top = 12);
// A "削除" button of the first row.
QPushButton* MakeDelete(QWidget* page, const char* name);
QPushButton* MakeButton(QWidget* page, const char* name, const QString& text);
QCheckBox* MakeCheck(QWidget* page, const char* name, const QString& text);
// A number field and its spin control, with the range and design value of
// value; both show hint.
std::pair<QLineEdit*, TUpDown*> MakeSpinField(QWidget* page, const char* editName,
                                              const char* spinName, const TToolValue& value,
                                              const QString& hint = {});
// Tab moves through the controls in the order given.
void SetFocusOrder(std::initializer_list<QWidget*> order);
// Names control, which works on field, for screen readers: the field's own
// name followed by what control does to it.
void NameAfterField(QWidget* control, QWidget* field, const QString& doing);

// --- Layout arithmetic ---------------------------------------------------------------

int Right(const QWidget* c);
// The top of the row below c: one and a half rows down.
int Next(const QWidget* c);
// The top that centres a vertically on c.
int Centre(const QWidget* a, const QWidget* c);
void SetLeft(QWidget* c, int left);
void SetTop(QWidget* c, int top);
void SetWidth(QWidget* c, int width);
void SetHeight(QWidget* c, int height);
// Labels of an input column end 8 pixels left of it.
void AlignLabel(QLabel* label, int x);
// Labels, combo boxes and fields of the page take their natural size in the
// current font.
void AutoSize(QWidget* page);
