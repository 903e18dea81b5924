// Menu commands and buttons that open the small dialogs.
#include <QCheckBox>
#include <QTabWidget>

#include "dialogs/About.h"
#include "dialogs/FireWall.h"
#include "dialogs/Information.h"
#include "dialogs/Log.h"
#include "main/OstrekMain.h"

void TOstrekForm::Log_ExMMClick() {
  TLogSetBox box(this, FLogMode, FLogFileName, FLogPrefix);
  if (box.exec() != QDialog::Accepted) return;
  FLogMode = box.Mode();
  FLogFileName = box.FileName();
  FLogPrefix = box.Prefix();
}

// Edits the relay of the active tab (Finger or Whois).
void TOstrekForm::FireWall_BtnClick() {
  const bool whois = PageControl->currentWidget() == Whois;
  QString& relay = whois ? FWhoisRelay : FFingerRelay;
  TFireWallForm form(this, relay);
  if (form.exec() != QDialog::Accepted) return;
  relay = form.Relay();
  (whois ? WhoisWall_ChckB : FngrWall_ChckB)->setEnabled(form.RelayEnabled());
}

void TOstrekForm::WinsockInfo_MMClick() {
  TWinsockInfoBox box(this, FWsaData, FIcmpServiceMode, FEchoReason, ProbeIcmp6Sockets(),
                      FIcmpServiceUsable);
  box.exec();
}

void TOstrekForm::About_MMClick() {
  TAboutBox box(this);
  box.exec();
}
