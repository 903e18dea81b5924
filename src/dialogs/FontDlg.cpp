#include "dialogs/FontDlg.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "common/ToolValues.h"
#include "dialogs/DialogCommon.h"

namespace {

// Every half-width glyph one cell and every full-width glyph two, from the
// family's own glyphs: the Japanese fixed-pitch fonts, which fontconfig
// calls "dual" and Qt's fixed-pitch flag leaves out.
bool KeepsToCells(const QString& family) {
  QFont font(family);
  font.setPixelSize(48);
  font.setStyleStrategy(QFont::NoFontMerging);
  font.setHintingPreference(QFont::PreferNoHinting);
  const QFontMetricsF metrics(font);
  const qreal cell = metrics.horizontalAdvance(u'M');
  const auto spans = [&](const QString& glyphs, qreal width) {
    for (const QChar c : glyphs)
      if (qAbs(metrics.horizontalAdvance(c) - width) > cell / 16) return false;
    return true;
  };
  return cell > 0 && spans(QStringLiteral("il0W"), cell) &&
         spans(QStringLiteral("あア亜"), 2 * cell);
}

bool IsFixedPitch(const QString& family) {
  if (QFontDatabase::isFixedPitch(family)) return true;
  return QFontDatabase::writingSystems(family).contains(QFontDatabase::Japanese) &&
         KeepsToCells(family);
}

// The design font name that the program maps onto family, or family itself.
QString DesignName(const QString& family) {
  for (const QString& name : DesignFontNames())
    if (QFontInfo(QFont(name)).family() == family) return name;
  return family;
}

// The families offered, each once: design names first, in place of the
// families that stand in for them, then the others in the database's order.
QStringList FixedPitchFamilies() {
  QStringList designNames, families;
  for (const QString& family : QFontDatabase::families()) {
    if (QFontDatabase::isPrivateFamily(family) || !IsFixedPitch(family)) continue;
    const QString name = DesignName(family);
    (name == family ? families : designNames) << name;
  }
  return designNames + families;
}

}  // namespace

TFontDialog::TFontDialog(QWidget* owner, const QFont& font) : QDialog(owner) {
  setObjectName(QStringLiteral("FontDialog"));
  setWindowTitle(QStringLiteral("フォント"));
  setFont(DialogFont());
  BuildControls();
  ShowFont(font);
  adjustSize();  // placed by its real size
  PlaceDialog(this, owner);
}

void TFontDialog::BuildControls() {
  Family_CB = Named(new QComboBox(this), "Family_CB");  // only a font that exists
  Family_CB->addItems(FixedPitchFamilies());
  Size_SE = Named(new QSpinBox(this), "Size_SE");
  Size_SE->setRange(FontSizeValue.Min, FontSizeValue.Max);
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
  connect(Family_CB, &QComboBox::currentIndexChanged, this, &TFontDialog::ShowSample);
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

// The pane's font as it is, even one that the list does not offer (a name
// from the settings file): OK without a change must not replace it.
void TFontDialog::ShowFont(const QFont& font) {
  if (Family_CB->findText(font.family()) < 0) Family_CB->addItem(font.family());
  Family_CB->setCurrentIndex(Family_CB->findText(font.family()));
  Size_SE->setValue(font.pointSize() > 0 ? font.pointSize() : FontSizeValue.Default);
  ShowSample();
}

QFont TFontDialog::SelectedFont() const {
  QFont font(Family_CB->currentText());
  font.setPointSize(Size_SE->value());
  return font;
}

void TFontDialog::ShowSample() { Sample_LBL->setFont(SelectedFont()); }
