#include "dialogs/FireWall.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/DialogCommon.h"

TFireWallForm::TFireWallForm(QWidget* owner, const QString& relay) : QDialog(owner), FRelay(relay) {
  setObjectName(QStringLiteral("TFireWallForm"));
  setWindowTitle(QStringLiteral("ファイアウォール設定"));
  setFont(DialogFont());
  BuildControls();
  FormCreate(owner);
}

void TFireWallForm::BuildControls() {
  FireWall_Edt = new QLineEdit(this);
  FireWall_Edt->setObjectName(QStringLiteral("FireWall_Edt"));
  FireWall_Edt->setMinimumWidth(280);
  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setDefault(true);
  CancelButton = new QPushButton(QStringLiteral("キャンセル"), this);
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  connect(OKButton, &QPushButton::clicked, this, [this] {
    OKButtonClick();
    accept();
  });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

  QHBoxLayout* buttons = OkCancelRow(OKButton, CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->addWidget(FireWall_Edt);
  layout->addSpacing(6);
  layout->addLayout(buttons);
  adjustSize();
  setFixedSize(size());
}

void TFireWallForm::FormCreate(QWidget* owner) {
  // A third of the spare height above, so it opens a little high.
  PlaceDialog(this, owner, 3);
  FireWall_Edt->setText(FRelay);
}

// The host is kept exactly as typed, blanks and all.
void TFireWallForm::OKButtonClick() { FRelay = FireWall_Edt->text(); }
