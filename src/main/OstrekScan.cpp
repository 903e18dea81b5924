// NS Lookup and IP Scan: no worker; the lookups run on the main thread while
// its event loop keeps going.
#include <arpa/inet.h>

#include <QCheckBox>
#include <QComboBox>

#include "common/Common.h"
#include "common/SjisText.h"
#include "main/OstrekMain.h"
#include "widgets/UpDown.h"

void TOstrekForm::GoNsLookup() {
  if (NSServ_CB->currentText().isEmpty()) return;
  if (!CutHostField(NSServ_CB, QStringLiteral("NS Lookup"))) return;
  AddToHistory(NSServ_CB);
  const QString text = NSServ_CB->currentText();
  StartQuery(QStringLiteral("NS Lookup - ") + text);
  if (LookupHost(text, true)) WriteHostEntry(FHostEntry);
  if (FBusy) FinishQuery();
}

void TOstrekForm::GoIpScan() {
  if (Ex_UD1->Position() > Ex_UD2->Position()) Ex_UD2->SetPosition(Ex_UD1->Position());
  Ex_UD1->WriteBack();
  Ex_UD2->WriteBack();
  if (Ex_CB->currentText().isEmpty()) return;
  AddToHistory(Ex_CB);
  const QString prefix = Ex_CB->currentText();
  const int first = Ex_UD1->Position();
  const int last = Ex_UD2->Position();
  StartQuery(QStringLiteral("IP Scan - %1.%2 ～ %3").arg(prefix).arg(first).arg(last));
  quint32 probe = 0;
  if (!ParseDottedAddress(prefix + QStringLiteral(".1"), &probe)) {
    AddOutput(QStringLiteral("有効なアドレスではありません。"));
    return FinishQuery();
  }
  for (int n = first; n <= last && FBusy; ++n) {
    const bool onlyFound = ExAll_ChckB->isChecked();
    if (LookupHost(prefix + QLatin1Char('.') + QString::number(n), !onlyFound)) {
      WriteHostEntry(FHostEntry);
      AddOutput(QByteArray());
    } else if (!onlyFound) {
      AddOutput(QByteArray());
    }
  }
  if (FBusy) FinishQuery();
}

void TOstrekForm::WriteHostEntry(const THostEntry& entry) {
  AddOutput(ToSjis(u"    ホスト名: ") + entry.OfficialName);
  const QByteArray label = ToSjis(u"ＩＰアドレス: ");
  for (qsizetype i = 0; i < entry.Addresses.size() && i < 256 && FBusy; ++i) {
    in_addr a{};
    a.s_addr = entry.Addresses[i];
    AddOutput(label + ::inet_ntoa(a));
  }
  if (!entry.Aliases.isEmpty()) AddOutput(ToSjis(u"  エイリアス: ") + entry.Aliases.first());
}

// Cuts a host field down to its host part. A text without one (it has a
// blank in it) would start a run with an empty host: refuse it with a line
// of its own and leave the field as typed.
bool TOstrekForm::CutHostField(QComboBox* box, const QString& tool) {
  const QString typed = box->currentText();
  const QString host = ExtractUrlHost(typed);
  if (host.isEmpty()) {
    StartQuery(tool + QStringLiteral(" - ") + typed);
    AddOutput(typed + QStringLiteral(" - ホスト名が正しくありません。"));
    FinishQuery();
    return false;
  }
  box->setEditText(host);
  return true;
}

bool TOstrekForm::ParseDottedAddress(const QString& text, quint32* addr) {
  const QByteArray latin = text.toLatin1();
  if (text.isEmpty() || latin.contains('\0') || latin.contains('?')) return false;
  in_addr a{};
  if (::inet_aton(latin.constData(), &a) == 0) return false;
  *addr = a.s_addr;
  return true;
}
