// Ping and TraceRoute: the worker class follows the echo method chosen at
// start-up (raw sockets, or the ICMP echo service).
#include <QCheckBox>
#include <QComboBox>
#include <shared_mutex>

#include "main/OstrekMain.h"
#include "widgets/UpDown.h"
#include "workers/PngThrd.h"
#include "workers/RawPngThrd.h"
#include "workers/RawTrsRteThrd.h"
#include "workers/TrsRteThrd.h"

namespace {
const QString ColumnHeader = QStringLiteral("  #  アドレス            応答時間  ホスト名");
}

// Lets a trace-route worker use the window's lookups only while the window
// lives: the window closes the gate (waiting for a lookup in progress, which
// Stop has woken) before it goes away.
struct TOstrekForm::TLookupGate {
  std::shared_mutex Lock;
  bool Open = true;
};

void TOstrekForm::GoPing() {
  for (TUpDown* ud : {PngTout_UD, PngReqNum_UD, PngDelay_UD, PngPSize_UD, PngTTL_UD})
    ud->WriteBack();
  if (PngServ_CB->currentText().isEmpty()) return;
  if (!CutHostField(PngServ_CB, QStringLiteral("Ping"))) return;
  AddToHistory(PngServ_CB);
  const QString host = PngServ_CB->currentText();
  StartQuery(QStringLiteral("Ping - %1 - %2 バイトデータ").arg(host).arg(PngPSize_UD->Position()));
  quint32 addr = 0;
  if (!ResolveTarget(host, &addr)) return;
  AddOutput(ColumnHeader);
  const TPingParams params{PngTout_UD->Position(),  PngReqNum_UD->Position(),
                           PngDelay_UD->Position(), PngPSize_UD->Position(),
                           PngTTL_UD->Position(),   PngDntFrg_ChckB->isChecked()};
  FChannel = std::make_shared<TOutputChannel>();
  if (FIcmpServiceMode)
    StartWorker(new TPingThread(FChannel, addr, FHostEntry.OfficialName, params));
  else
    StartWorker(new TRawPingThread(FChannel, addr, FHostEntry.OfficialName, params));
}

void TOstrekForm::GoTraceRoute() {
  for (TUpDown* ud : {TRTout_UD, TRStHop_UD, TRMaxHop_UD}) ud->WriteBack();
  if (TRServ_CB->currentText().isEmpty()) return;
  if (!CutHostField(TRServ_CB, QStringLiteral("TraceRoute"))) return;
  AddToHistory(TRServ_CB);
  const QString host = TRServ_CB->currentText();
  const int first = TRStHop_UD->Position();
  const int last = TRMaxHop_UD->Position();
  StartQuery(
      QStringLiteral("TraceRoute - %1 - ホップ%2 ～ ホップ%3").arg(host).arg(first).arg(last));
  quint32 addr = 0;
  if (!ResolveTarget(host, &addr)) return;
  AddOutput(ColumnHeader);
  const TTraceParams params{TRTout_UD->Position(), first, last, TRReslvHost_ChckB->isChecked()};
  Resolver();  // made here, on the main thread, before a worker may look up
  FChannel = std::make_shared<TOutputChannel>();
  if (FIcmpServiceMode)
    StartWorker(
        new TTraceRouteThread(FChannel, addr, FHostEntry.OfficialName, params, HopLookup()));
  else
    StartWorker(
        new TRawTraceRouteThread(FChannel, addr, FHostEntry.OfficialName, params, HopLookup()));
}

THopLookup TOstrekForm::HopLookup() {
  if (!FLookupGate) FLookupGate = std::make_shared<TLookupGate>();
  return [this, gate = FLookupGate](const QString& dotted, THostEntry* entry) {
    std::shared_lock lock(gate->Lock);
    return gate->Open && LookupHost(dotted, false, entry);
  };
}

void TOstrekForm::CloseLookupGate() {
  if (!FLookupGate) return;
  std::unique_lock lock(FLookupGate->Lock);
  FLookupGate->Open = false;
}
