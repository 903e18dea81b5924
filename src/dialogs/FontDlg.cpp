#include "dialogs/FontDlg.h"

#include <QFontComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "dialogs/DialogCommon.h"

TFontDialog::TFontDialog(QWidget* owner, const QFont& font) : QDialog(owner) {
  setObjectName(QStringLiteral("FontDialog"));
  setWindowTitle(QStringLiteral("フォント"));
  setFont(DialogFont());
  BuildControls();
  Family_CB->setCurrentFont(font);
  Size_SE->setValue(font.pointSize() > 0 ? font.pointSize() : 9);
  ShowSample();
  PlaceDialog(this, owner);
}

void TFontDialog::BuildControls() {
  Family_CB = Named(new QFontComboBox(this), "Family_CB");
  Family_CB->setFontFilters(QFontComboBox::MonospacedFonts);
  Family_CB->setEditable(false);  // only a font that exists
  Size_SE = Named(new QSpinBox(this), "Size_SE");
  Size_SE->setRange(1, 99);
  Sample_LBL = Named(new QLabel(QStringLiteral("AaBbＡａあア亜"), this), "Sample_LBL");
  Sample_LBL->setMinimumSize(220, 48);
  Sample_LBL->setFrameShape(QFrame::StyledPanel);
  OKButton = Named(new QPushButton(QStringLiteral("OK"), this), "OKButton");
  OKButton->setDefault(true);
  CancelButton = Named(new QPushButton(QStringLiteral("キャンセル"), this), "CancelButton");
  ApplyButton = Named(new QPushButton(QStringLiteral("適用(&A)"), this), "ApplyButton");
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(ApplyButton, &QPushButton::clicked, this, [this] { emit Apply(SelectedFont()); });
  connect(Family_CB, &QFontComboBox::currentFontChanged, this, &TFontDialog::ShowSample);
  connect(Size_SE, &QSpinBox::valueChanged, this, &TFontDialog::ShowSample);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("フォント名(&F):"), Family_CB);
  form->addRow(QStringLiteral("サイズ(&S):"), Size_SE);
  form->addRow(QStringLiteral("サンプル"), Sample_LBL);
  QHBoxLayout* buttons = OkCancelRow(OKButton, CancelButton);
  buttons->addWidget(ApplyButton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(buttons);
}

QFont TFontDialog::SelectedFont() const {
  QFont font(Family_CB->currentFont().family());
  font.setPointSize(Size_SE->value());
  return font;
}

void TFontDialog::ShowSample() { Sample_LBL->setFont(SelectedFont()); }
