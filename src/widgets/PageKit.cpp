#include "widgets/PageKit.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include "common/ToolValues.h"
#include "dialogs/DialogCommon.h"
#include "widgets/UpDown.h"

QWidget* MakePage(QTabWidget* tabs, const char* name, const QString& caption) {
  auto* page = Named(new QWidget, name);
  tabs->addTab(page, caption);
  return page;
}

QComboBox* MakeCombo(QWidget* page, const char* name, const QString& hint) {
  auto* box = Named(new QComboBox(page), name);
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  // Qt completes within the field, and Enter would run the history entry it
  // put there: the entries that begin with what was typed, letter case
  // included, are offered in a list below the field instead.
  box->completer()->setCompletionMode(QCompleter::PopupCompletion);
  box->completer()->setCaseSensitivity(Qt::CaseSensitive);
  box->setMaxVisibleItems(16);
  box->setGeometry(96, 8, 200, 20);
  box->setToolTip(hint);
  return box;
}

QLabel* MakeLabel(QWidget* page, const char* name, const QString& text, QWidget* field, int top) {
  auto* label = Named(new QLabel(text, page), name);
  label->setBuddy(field);
  label->adjustSize();
  label->move(8, top);
  return label;
}

QPushButton* MakeDelete(QWidget* page, const char* name) {
  QPushButton* button = MakeButton(page, name, QStringLiteral("削除"));
  button->setGeometry(400, 7, 60, 22);
  return button;
}

QPushButton* MakeButton(QWidget* page, const char* name, const QString& text) {
  auto* button = Named(new QPushButton(text, page), name);
  button->setAutoDefault(false);
  button->adjustSize();
  return button;
}

QCheckBox* MakeCheck(QWidget* page, const char* name, const QString& text) {
  auto* box = Named(new QCheckBox(text, page), name);
  box->adjustSize();
  return box;
}

std::pair<QLineEdit*, TUpDown*> MakeSpinField(QWidget* page, const char* editName,
                                              const char* spinName, const TToolValue& value,
                                              const QString& hint) {
  auto* edit = Named(new QLineEdit(page), editName);
  edit->setGeometry(96, 40, 40, 20);
  edit->setToolTip(hint);
  auto* ud = Named(new TUpDown(edit, value.Min, value.Max, value.Design, page), spinName);
  ud->setGeometry(edit->geometry().right() + 1, edit->y(), 15, edit->height());
  ud->setToolTip(hint);
  return {edit, ud};
}

void SetFocusOrder(std::initializer_list<QWidget*> order) {
  QWidget* previous = nullptr;
  for (QWidget* w : order) {
    if (previous) QWidget::setTabOrder(previous, w);
    previous = w;
  }
}

void NameAfterField(QWidget* control, QWidget* field, const QString& doing) {
  QAccessibleInterface* named = QAccessible::queryAccessibleInterface(field);
  control->setAccessibleName((named ? named->text(QAccessible::Name) : QString()) + doing);
}

int Right(const QWidget* c) { return c->x() + c->width(); }
int Next(const QWidget* c) { return c->y() + c->height() + c->height() / 2; }
int Centre(const QWidget* a, const QWidget* c) {
  return c->y() + c->height() / 2 - a->height() / 2;
}
void SetLeft(QWidget* c, int left) { c->move(left, c->y()); }
void SetTop(QWidget* c, int top) { c->move(c->x(), top); }
void SetWidth(QWidget* c, int width) { c->resize(width, c->height()); }
void SetHeight(QWidget* c, int height) { c->resize(c->width(), height); }
void AlignLabel(QLabel* label, int x) { SetLeft(label, x - 8 - label->width()); }

void AutoSize(QWidget* page) {
  for (QObject* child : page->children()) {
    if (auto* label = qobject_cast<QLabel*>(child)) label->adjustSize();
    if (auto* box = qobject_cast<QComboBox*>(child)) SetHeight(box, box->sizeHint().height());
    if (auto* edit = qobject_cast<QLineEdit*>(child)) SetHeight(edit, edit->sizeHint().height());
  }
}
