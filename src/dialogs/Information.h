#pragma once
#include <QDialog>
#include <QString>

#include "platform/EchoMethod.h"
#include "platform/SocketLayer.h"

class QLabel;
class QPushButton;

// Shows what the socket layer reported at start-up, how Ping and TraceRoute
// reach ICMP and, when raw sockets cannot be used, why and what would fix it;
// and which ICMPv6 sockets can be opened, asked when the box opens. It
// changes nothing.
class TWinsockInfoBox : public QDialog {
  Q_OBJECT
 public:
  // serviceUsable: whether the echo service could open its socket at start-up.
  TWinsockInfoBox(QWidget* owner, const TWsaData& wsaData, bool icmpServiceMode,
                  const QString& echoReason = {}, const QString& icmp6Report = ProbeIcmp6Sockets(),
                  bool serviceUsable = true);

  // "major.minor" of a version word.
  static QString VersionText(quint16 version);
  // Which way ICMP echo requests go; in service mode, the load error when
  // the service cannot open its socket either.
  static QString EchoMethodText(bool icmpServiceMode, bool serviceUsable = true);

  QLabel *Info_Lbl2, *Info_Lbl3, *Info_Lbl4;
  QLabel *Version_LBL1, *Version_LBL2, *MaxSock_LBL, *MaxSize_LBL;
  QLabel *Status_LBL1, *Status_LBL2, *Status_LBL3;
  QLabel* EchoReason_LBL;  // empty and hidden while raw sockets work
  QLabel* Icmp6_LBL;       // raw and datagram ICMPv6 sockets
  QPushButton* OKButton;

 private:
  void BuildControls();
  void BuildLayout();
  void FillValues(const TWsaData& wsaData, bool icmpServiceMode, const QString& echoReason,
                  const QString& icmp6Report, bool serviceUsable);
};
