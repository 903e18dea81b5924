#include "main/NsLookupPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "common/DnsAsk.h"
#include "settings/Settings.h"
#include "widgets/PageKit.h"

TNsLookupPage::TNsLookupPage(QWidget* page) {
  Type_CB = MakeCombo(page, "NSType_CB");
  Type_CB->setEditable(false);
  Type_CB->addItems(DnsTypeChoices());
  Type_CB->setMaxVisibleItems(Type_CB->count());
  DnsServ_CB = MakeCombo(page, "NSDnsServ_CB",
                         QStringLiteral("空欄: システムの設定  例: 192.0.2.53:53、tls://dns.example、"
                                        "https://dns.example/dns-query"));
  DnsServ_Del = MakeDelete(page, "NSDnsServ_Del");
  Tcp_ChckB = MakeCheck(page, "NSTcp_ChckB", QStringLiteral("TCP"));
  Dnssec_ChckB = MakeCheck(page, "NSDnssec_ChckB", QStringLiteral("DNSSEC"));
  Type_LBL = MakeLabel(page, "NSType_LBL", QStringLiteral("種類"), Type_CB);
  DnsServ_LBL = MakeLabel(page, "NSDnsServ_LBL", QStringLiteral("DNSサーバ"), DnsServ_CB);
}

bool TNsLookupPage::Documented() const {
  return Choice() == DnsDefaultChoice && DnsServ_CB->currentText().trimmed().isEmpty() &&
         !Tcp_ChckB->isChecked() && !Dnssec_ChckB->isChecked();
}

QString TNsLookupPage::Choice() const { return Type_CB->currentText(); }

void TNsLookupPage::Arrange(const QWidget* timeoutEdit, const QWidget* timeoutUd, int x, int u) {
  Type_LBL->move(Right(timeoutUd) + 3 * u, Centre(Type_LBL, timeoutEdit));
  Type_CB->adjustSize();
  Type_CB->move(Right(Type_LBL) + 8, Centre(Type_CB, timeoutEdit));
  SetLeft(DnsServ_CB, x);
  SetTop(DnsServ_CB, Next(timeoutEdit));
  AlignLabel(DnsServ_LBL, x);
  SetTop(DnsServ_LBL, Centre(DnsServ_LBL, DnsServ_CB));
  DnsServ_Del->setGeometry(DnsServ_Del->x(), DnsServ_CB->y() - 1, DnsServ_Del->width(),
                           DnsServ_CB->height() + 2);
  Tcp_ChckB->adjustSize();
  Dnssec_ChckB->adjustSize();
  Tcp_ChckB->move(x, Next(DnsServ_CB));
  Dnssec_ChckB->move(Right(Tcp_ChckB) + 2 * u, Tcp_ChckB->y());
}

void TNsLookupPage::Apply(const TSettings& settings) {
  Type_CB->setCurrentText(KnownDnsChoice(settings.FNsRecordType));
}

void TNsLookupPage::Collect(TSettings& settings) const { settings.FNsRecordType = Choice(); }
