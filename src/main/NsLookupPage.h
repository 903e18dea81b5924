#pragma once
#include <QString>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QWidget;
struct TSettings;

// The controls NS Lookup has beyond its documented ones: the record type,
// the DNS server (with its history) and the TCP and DNSSEC check boxes.
// The window's page table keeps the server history and the check boxes;
// this class keeps the type and knows which run the page starts.
class TNsLookupPage {
 public:
  explicit TNsLookupPage(QWidget* page);

  // The documented lookup of the system's resolver: type 既定, no server,
  // neither box checked.
  bool Documented() const;
  QString Choice() const;

  // Places the controls: the type after the time-out's spin control, the
  // server on the row below it, the check boxes below that; x is the
  // page's input column, u the width of a spin control.
  void Arrange(const QWidget* timeoutEdit, const QWidget* timeoutUd, int x, int u);

  void Apply(const TSettings& settings);
  void Collect(TSettings& settings) const;

  QComboBox* Type_CB;
  QLabel* Type_LBL;
  QComboBox* DnsServ_CB;
  QPushButton* DnsServ_Del;
  QLabel* DnsServ_LBL;
  QCheckBox* Tcp_ChckB;
  QCheckBox* Dnssec_ChckB;
};
