// The commands of the output pane that belong to no run: copy, select all,
// caret to the top, the end, a line or the remembered position, find, the two
// view switches and help. Positions are the pane's own character positions.
#include <QAction>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

#include "dialogs/Find.h"
#include "dialogs/HelpView.h"
#include "main/OstrekMain.h"
#include "widgets/ExtMemo.h"

void TOstrekForm::Copy_ExPMClick() { ExtMemo->copy(); }

void TOstrekForm::SelectAll_ExPMClick() { ExtMemo->selectAll(); }

void TOstrekForm::Top_ExPMClick() { ExtMemo->SetCaret(0); }

// One before the length, as the pane counts it: on a text that ends with a
// line end, the start of the last line.
void TOstrekForm::End_ExPMClick() { ExtMemo->SetCaret(ExtMemo->TextLength() - 1); }

void TOstrekForm::Jump_ExPMClick() {
  const int current = ExtMemo->LineFromChar(ExtMemo->SelStart()) + 1;
  QInputDialog box(this);
  box.setObjectName(QStringLiteral("JumpBox"));
  box.setWindowTitle(QStringLiteral("Ostrekon"));
  box.setLabelText(QStringLiteral("行番号"));
  box.setTextValue(QString::number(current));
  if (auto* edit = box.findChild<QLineEdit*>()) edit->setMaxLength(255);
  if (box.exec() != QDialog::Accepted) return;
  bool ok = false;
  const int line = box.textValue().toInt(&ok, 10);
  if (!ok) {
    QMessageBox::warning(this, QStringLiteral("Ostrekon"),
                         QStringLiteral("入力値が正しくありません"));
    return;
  }
  // 0 asks for line -1: the caret's own line. Past the end the pane answers
  // -1, which goes on unchecked.
  ExtMemo->SetCaret(ExtMemo->LineIndex(line - 1));
}

void TOstrekForm::Mark_ExPMClick() { MarkPosition = ExtMemo->SelStart(); }

void TOstrekForm::ReMark_ExPMClick() { ExtMemo->SetCaret(MarkPosition); }

// Opens at the window's left + 64, top + 57, and keeps what it held.
void TOstrekForm::FindClick() {
  FindDialog->move(frameGeometry().topLeft() + QPoint(64, 57));
  FindDialog->show();
  FindDialog->raise();
  FindDialog->activateWindow();
}

void TOstrekForm::FindDialogFind() {
  // While a run goes the pane is disabled and cannot take the focus: the
  // search fails before it starts.
  if (!ExtMemo->isEnabled()) {
    ShowError(QStringLiteral("無効/非表示ｳｨﾝﾄﾞｳにはﾌｫｰｶｽを設定できません"));
    return;
  }
  ExtMemo->setFocus(Qt::OtherFocusReason);
  const int found = FindDialog->Down() ? FindDown() : FindUp();
  if (found >= 0) ExtMemo->SetSelection(found, int(FindDialog->FindText().size()));
  FindDialog->close();
}

// From the end of the selection to the end of the text: a report of many
// megabytes is searched whole, not only its next million characters.
int TOstrekForm::FindDown() const {
  const int from = ExtMemo->SelStart() + ExtMemo->SelLength();
  return ExtMemo->FindText(FindDialog->FindText(), from, ExtMemo->TextLength(),
                           FindDialog->MatchCase(), FindDialog->WholeWord());
}

// Candidates from one text length before the selection down to 0, each
// matching only where it starts: the last match that starts there or before.
int TOstrekForm::FindUp() const {
  const QString text = FindDialog->FindText();
  return ExtMemo->FindTextBackward(text, ExtMemo->SelStart() - int(text.size()),
                                   FindDialog->MatchCase(), FindDialog->WholeWord());
}

// The selection stays visible with auto-scroll on, so that appended output,
// which moves the caret to the end, keeps the end in view.
void TOstrekForm::AutoScroll_ChckMClick() {
  ExtMemo->SetHideSelection(!AutoScroll_ChckM->isChecked());
}

void TOstrekForm::Help_ContentsClick() { THelpViewer::ShowHelpContents(this); }

void TOstrekForm::Help_KeywordClick() { THelpViewer::ShowHelpIndex(this); }
