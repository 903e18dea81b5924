#include "dialogs/Log.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "common/QueryLog.h"
#include "dialogs/DialogCommon.h"
#include "widgets/PageKit.h"

TLogSetBox::TLogSetBox(QWidget* owner, int mode, const QString& fileName, const QString& prefix)
    : QDialog(owner), FMode(mode), FFileName(fileName), FPrefix(prefix) {
  setObjectName(QStringLiteral("TLogSetBox"));
  setWindowTitle(QStringLiteral("ログの作成"));
  setFont(DialogFont());
  BuildControls();
  BuildLayout();
  FormCreate(owner);
}

void TLogSetBox::BuildControls() {
  SameFile_RB =
      Named(new QRadioButton(QStringLiteral("同じファイルに追加(&A)"), this), "SameFile_RB");
  YMDFile_RB =
      Named(new QRadioButton(QStringLiteral("日別にファイルを作成(&D)"), this), "YMDFile_RB");
  NoLog_RB = Named(new QRadioButton(QStringLiteral("ログを作成しない(&N)"), this), "NoLog_RB");
  LogName_LBL = Named(new QLabel(QStringLiteral("ファイル名"), this), "LogName_LBL");
  LogName_EDT = Named(new QLineEdit(this), "LogName_EDT");
  PreName_LBL = Named(new QLabel(QStringLiteral("接頭語(&P)"), this), "PreName_LBL");
  PreName_EDT = Named(new QLineEdit(this), "PreName_EDT");
  OKButton = Named(new QPushButton(QStringLiteral("OK"), this), "OKButton");
  CancelButton = Named(new QPushButton(QStringLiteral("キャンセル"), this), "CancelButton");
  LogName_LBL->setBuddy(LogName_EDT);
  PreName_LBL->setBuddy(PreName_EDT);
  NoLog_RB->setChecked(true);
  OKButton->setDefault(true);

  auto* group = new QButtonGroup(this);
  for (QRadioButton* button : {SameFile_RB, YMDFile_RB, NoLog_RB}) group->addButton(button);
  connect(group, &QButtonGroup::buttonClicked, this, [this] { CheckColtrols(); });
  // Only a confirm step that succeeds closes the dialog with OK.
  connect(OKButton, &QPushButton::clicked, this, &TLogSetBox::OKButtonClick);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

  // The modes, their names, then the buttons: the daily prefix comes
  // before OK, not after it.
  SetFocusOrder(
      {SameFile_RB, YMDFile_RB, NoLog_RB, LogName_EDT, PreName_EDT, OKButton, CancelButton});
}

void TLogSetBox::BuildLayout() {
  // Each name field stands indented under the mode that uses it.
  auto* fields = new QGridLayout;
  fields->setColumnMinimumWidth(0, 16);
  fields->setColumnStretch(2, 1);
  fields->addWidget(SameFile_RB, 0, 0, 1, 3);
  fields->addWidget(LogName_LBL, 1, 1);
  fields->addWidget(LogName_EDT, 1, 2);
  fields->addWidget(YMDFile_RB, 2, 0, 1, 3);
  fields->addWidget(PreName_LBL, 3, 1);
  fields->addWidget(PreName_EDT, 3, 2);
  fields->addWidget(NoLog_RB, 4, 0, 1, 3);
  fields->setVerticalSpacing(6);

  QHBoxLayout* buttons = OkCancelRow(OKButton, CancelButton);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->addLayout(fields);
  layout->addSpacing(8);
  layout->addLayout(buttons);
  LogName_EDT->setMinimumWidth(220);
  adjustSize();
  setFixedSize(size());
}

void TLogSetBox::FormCreate(QWidget* owner) {
  PlaceDialog(this, owner);
  PreName_EDT->setText(FPrefix);
  LogName_EDT->setText(FFileName);
  CheckModeButton(FMode);
  CheckColtrols();
}

void TLogSetBox::CheckModeButton(int mode) {
  // A mode no button stands for counts as "no log".
  QRadioButton* button = mode == LogDaily     ? YMDFile_RB
                         : mode == LogOneFile ? SameFile_RB
                                              : NoLog_RB;
  button->setChecked(true);
}

void TLogSetBox::CheckColtrols() {
  SetFieldEnabled(LogName_LBL, LogName_EDT, SameFile_RB->isChecked());
  SetFieldEnabled(PreName_LBL, PreName_EDT, YMDFile_RB->isChecked());
}

void TLogSetBox::SetFieldEnabled(QLabel* label, QLineEdit* edit, bool enabled) {
  label->setEnabled(enabled);
  edit->setEnabled(enabled);
  // A field that is out of use takes the button face, as the disabled
  // fields of the system's own dialogs do.
  QPalette colours = edit->palette();
  colours.setColor(QPalette::Base, palette().color(enabled ? QPalette::Base : QPalette::Button));
  edit->setPalette(colours);
}

void TLogSetBox::OKButtonClick() {
  if (OKButtonEnter()) accept();
}

bool TLogSetBox::OKButtonEnter() {
  if (YMDFile_RB->isChecked()) return ConfirmDaily();
  if (SameFile_RB->isChecked()) return ConfirmOneFile();
  // No log: the names are taken unchecked; choosing a mode later checks them.
  TakeResults(LogNone);
  return true;
}

bool TLogSetBox::ConfirmDaily() {
  // An empty prefix gives plain date names.
  if (!FileNameCheck(PreName_EDT->text())) {
    PreName_EDT->setFocus();
    return false;
  }
  TakeResults(LogDaily);
  return true;
}

bool TLogSetBox::ConfirmOneFile() {
  if (LogName_EDT->text().isEmpty()) {
    ShowErrorBox(this, QStringLiteral("ファイル名を入力してください。"));
    LogName_EDT->setFocus();
    return false;
  }
  if (!FileNameCheck(LogName_EDT->text())) {
    LogName_EDT->setFocus();
    return false;
  }
  TakeResults(LogOneFile);
  return true;
}

// The names are taken only together with a mode that passed its check: a
// rejected name must never stand beside a mode that would write with it.
void TLogSetBox::TakeResults(int mode) {
  FMode = mode;
  FFileName = SjisCutText(LogName_EDT->text());
  FPrefix = SjisCutText(PreName_EDT->text());
}

bool TLogSetBox::FileNameCheck(const QString& name) {
  const TFileNameFault fault = FileNameFault(QStringView(name));
  if (fault == TFileNameFault::None) return true;
  ShowErrorBox(this, FaultMessage(fault));
  return false;
}

QString TLogSetBox::FaultMessage(TFileNameFault fault) {
  switch (fault) {
    case TFileNameFault::None:
      return {};
    case TFileNameFault::ForbiddenChar:
      return QStringLiteral("ファイル名に次の文字は使えません。\r\n \\ / : , ; * ? \" < > |");
    case TFileNameFault::ControlChar:
      return QStringLiteral("ファイル名に制御文字は使えません。");
    case TFileNameFault::DotName:
      return QStringLiteral("ファイル名に「.」や「..」だけの名前は使えません。");
    case TFileNameFault::NotSjis:
      return QStringLiteral("ファイル名にShift_JISで表せない文字は使えません。");
  }
  return {};
}
