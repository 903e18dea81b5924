#include "dialogs/Information.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/Cp932.h"
#include "dialogs/DialogCommon.h"

namespace {

// The client area of the box's design.
constexpr QSize DesignSize(372, 223);

QLabel* NewLabel(QWidget* parent, const char* name, const QString& text = {}) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

}  // namespace

TWinsockInfoBox::TWinsockInfoBox(QWidget* owner, const TWsaData& wsaData, bool icmpServiceMode,
                                 const QString& echoReason, const QString& icmp6Report,
                                 bool serviceUsable)
    : QDialog(owner) {
  setObjectName(QStringLiteral("TWinsockInfoBox"));
  setWindowTitle(QStringLiteral("Winsock情報"));
  setFont(DialogFont());
  BuildControls();
  FillValues(wsaData, icmpServiceMode, echoReason, icmp6Report, serviceUsable);
  BuildLayout();
  PlaceDialog(this, owner);
}

void TWinsockInfoBox::BuildControls() {
  Info_Lbl2 = NewLabel(this, "Info_Lbl2", QStringLiteral("Winsockバージョン"));
  Info_Lbl3 = NewLabel(this, "Info_Lbl3", QStringLiteral("最大ソケット数"));
  Info_Lbl4 = NewLabel(this, "Info_Lbl4", QStringLiteral("最大データグラムサイズ"));
  Version_LBL1 = NewLabel(this, "Version_LBL1");
  Version_LBL2 = NewLabel(this, "Version_LBL2");
  MaxSock_LBL = NewLabel(this, "MaxSock_LBL");
  MaxSize_LBL = NewLabel(this, "MaxSize_LBL");
  Status_LBL1 = NewLabel(this, "Status_LBL1");
  Status_LBL2 = NewLabel(this, "Status_LBL2");
  Status_LBL3 = NewLabel(this, "Status_LBL3");
  EchoReason_LBL = NewLabel(this, "EchoReason_LBL");
  EchoReason_LBL->setWordWrap(true);
  EchoReason_LBL->setTextInteractionFlags(Qt::TextSelectableByMouse);
  Icmp6_LBL = NewLabel(this, "Icmp6_LBL");
  Icmp6_LBL->setWordWrap(true);
  Icmp6_LBL->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // A long description wraps rather than widening the box off the screen.
  Status_LBL1->setWordWrap(true);
  Status_LBL2->setWordWrap(true);
  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setDefault(true);
  OKButton->setMinimumWidth(75);
  // Escape closes the box through reject() as well: OK is also the cancel button.
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TWinsockInfoBox::BuildLayout() {
  auto* values = new QGridLayout;
  values->setHorizontalSpacing(16);
  values->setColumnStretch(1, 1);
  values->addWidget(Info_Lbl2, 0, 0);
  values->addWidget(Version_LBL1, 0, 1);
  values->addWidget(Version_LBL2, 1, 1);
  values->addWidget(Info_Lbl3, 2, 0);
  values->addWidget(MaxSock_LBL, 2, 1);
  values->addWidget(Info_Lbl4, 3, 0);
  values->addWidget(MaxSize_LBL, 3, 1);

  auto* button = new QHBoxLayout;
  button->addStretch();
  button->addWidget(OKButton);
  button->addStretch();

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 14, 16, 12);
  layout->addLayout(values);
  layout->addSpacing(10);
  layout->addWidget(Status_LBL1);
  layout->addWidget(Status_LBL2);
  layout->addWidget(Status_LBL3);
  layout->addWidget(EchoReason_LBL);
  layout->addWidget(Icmp6_LBL);
  layout->addStretch();
  layout->addLayout(button);
  setMinimumWidth(DesignSize.width());
  resize(DesignSize.expandedTo(sizeHint()));
  setFixedSize(size());
}

void TWinsockInfoBox::FillValues(const TWsaData& wsaData, bool icmpServiceMode,
                                 const QString& echoReason, const QString& icmp6Report,
                                 bool serviceUsable) {
  Version_LBL1->setText(VersionText(wsaData.Version));
  Version_LBL2->setText(VersionText(wsaData.HighVersion) + QStringLiteral(" (Highest)"));
  MaxSock_LBL->setText(QString::number(wsaData.MaxSockets));
  MaxSize_LBL->setText(QString::number(wsaData.MaxUdpDg));
  Status_LBL1->setText(SjisToUnicode(WsaRecordText(wsaData.Description)));
  Status_LBL2->setText(SjisToUnicode(WsaRecordText(wsaData.SystemStatus)));
  Status_LBL3->setText(EchoMethodText(icmpServiceMode, serviceUsable));
  EchoReason_LBL->setText(echoReason);
  EchoReason_LBL->setVisible(!echoReason.isEmpty());
  Icmp6_LBL->setText(icmp6Report);
  Icmp6_LBL->setVisible(!icmp6Report.isEmpty());
}

QString TWinsockInfoBox::VersionText(quint16 version) {
  return QStringLiteral("%1.%2").arg(VersionMajor(version)).arg(VersionMinor(version));
}

QString TWinsockInfoBox::EchoMethodText(bool icmpServiceMode, bool serviceUsable) {
  if (!icmpServiceMode) return QStringLiteral("RAWソケットがサポートされています。");
  return serviceUsable ? QStringLiteral("ICMP.DLLがロードされています。")
                       : QStringLiteral("ICMP.DLL Load Error");
}
