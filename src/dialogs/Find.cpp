#include "dialogs/Find.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "dialogs/DialogCommon.h"

TFindDialog::TFindDialog(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("FindDialog"));
  setWindowTitle(QStringLiteral("検索"));
  setFont(DialogFont());
  setModal(false);
  BuildControls();
}

void TFindDialog::BuildControls() {
  FindText_Edt = Named(new QLineEdit(this), "FindText_Edt");
  auto* label = new QLabel(QStringLiteral("検索する文字列(&N):"), this);
  label->setBuddy(FindText_Edt);
  WholeWord_ChckB =
      Named(new QCheckBox(QStringLiteral("単語単位で探す(&W)"), this), "WholeWord_ChckB");
  MatchCase_ChckB =
      Named(new QCheckBox(QStringLiteral("大文字と小文字を区別する(&C)"), this), "MatchCase_ChckB");
  auto* direction = new QGroupBox(QStringLiteral("方向"), this);
  Up_RBTN = Named(new QRadioButton(QStringLiteral("上へ(&U)"), direction), "Up_RBTN");
  Down_RBTN = Named(new QRadioButton(QStringLiteral("下へ(&D)"), direction), "Down_RBTN");
  Down_RBTN->setChecked(true);
  auto* directionRow = new QHBoxLayout(direction);
  directionRow->addWidget(Up_RBTN);
  directionRow->addWidget(Down_RBTN);
  FindNext_Btn = Named(new QPushButton(QStringLiteral("次を検索(&F)"), this), "FindNext_Btn");
  FindNext_Btn->setDefault(true);
  Cancel_Btn = Named(new QPushButton(QStringLiteral("キャンセル"), this), "Cancel_Btn");
  connect(FindNext_Btn, &QPushButton::clicked, this, &TFindDialog::Find);
  connect(Cancel_Btn, &QPushButton::clicked, this, &QDialog::reject);

  auto* grid = new QGridLayout(this);
  grid->addWidget(label, 0, 0);
  grid->addWidget(FindText_Edt, 0, 1, 1, 2);
  grid->addWidget(FindNext_Btn, 0, 3);
  grid->addWidget(WholeWord_ChckB, 1, 0, 1, 2);
  grid->addWidget(Cancel_Btn, 1, 3);
  grid->addWidget(MatchCase_ChckB, 2, 0, 1, 2);
  grid->addWidget(direction, 1, 2, 2, 1);
  FindText_Edt->setMinimumWidth(180);
  adjustSize();
  setFixedSize(size());
}

// Each opening starts on the text, ready to be typed over, wherever the
// focus was left last time (an option's access key moves it there).
void TFindDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FindText_Edt->setFocus(Qt::OtherFocusReason);
  FindText_Edt->selectAll();
}

QString TFindDialog::FindText() const { return FindText_Edt->text(); }
bool TFindDialog::Down() const { return Down_RBTN->isChecked(); }
bool TFindDialog::MatchCase() const { return MatchCase_ChckB->isChecked(); }
bool TFindDialog::WholeWord() const { return WholeWord_ChckB->isChecked(); }
