#pragma once
// One search as F3 makes it, timed.
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRadioButton>

#include "dialogs/Find.h"
#include "main/OstrekMain.h"
#include "widgets/ExtMemo.h"

// Milliseconds for one search from the caret at from.
inline double TimeFind(TOstrekForm& form, const QString& text, bool down, int from) {
  form.FindDialog->FindText_Edt->setText(text);
  (down ? form.FindDialog->Down_RBTN : form.FindDialog->Up_RBTN)->setChecked(true);
  form.ExtMemo->SetCaret(from);
  QElapsedTimer t;
  t.start();
  form.FindDialogFind();
  return t.nsecsElapsed() / 1e6;
}
