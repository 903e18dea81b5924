#pragma once
#include <QDialog>
#include <QString>

#include "common/FileNameCheck.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// Chooses how finished query runs are logged: not at all (mode 0), appended
// to one named file (1), or one file a day named from a prefix (2). The
// results are read through Mode(), FileName() and Prefix() once exec() has
// returned Accepted; until then they hold what the dialog was given.
class TLogSetBox : public QDialog {
  Q_OBJECT
 public:
  TLogSetBox(QWidget* owner, int mode, const QString& fileName, const QString& prefix);

  int Mode() const { return FMode; }
  QString FileName() const { return FFileName; }
  QString Prefix() const { return FPrefix; }

  // Enables the fields of the chosen mode.
  void CheckColtrols();
  // The confirm step of OK: true when the input is good and the results are
  // taken; otherwise an error box has been shown or the focus moved to the
  // field at fault.
  bool OKButtonEnter();
  // Shows the error box for a name that may not be used; true when it is fine.
  bool FileNameCheck(const QString& name);
  // The error box text for a fault of a name.
  static QString FaultMessage(TFileNameFault fault);

  QRadioButton *SameFile_RB, *YMDFile_RB, *NoLog_RB;
  QLabel *LogName_LBL, *PreName_LBL;
  QLineEdit *LogName_EDT, *PreName_EDT;
  QPushButton *OKButton, *CancelButton;

 private:
  void BuildControls();
  void BuildLayout();
  void FormCreate(QWidget* owner);
  void CheckModeButton(int mode);
  void OKButtonClick();
  void SetFieldEnabled(QLabel* label, QLineEdit* edit, bool enabled);
  bool ConfirmDaily();
  bool ConfirmOneFile();
  void TakeResults(int mode);

  int FMode;
  QString FFileName;
  QString FPrefix;
};
