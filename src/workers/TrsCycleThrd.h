#pragma once
#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include "common/HopStats.h"
#include "workers/IcmpThread.h"

class TNameBook;

// TraceRoute again and again: each cycle asks every hop at once, from the
// first hop up to where the target answered (the last hop until it has),
// and waits up to the time-out for the answers; a cycle starts a second
// after the one before began, or when that one is done, whichever is later.
// After each cycle the window gets the per-hop table and the status bar the
// verdict on forwarding loss. Over its own raw link (or the helper) or
// the echo service's datagram sockets, IPv4 or IPv6.
class TTraceCycleThread : public TIcmpThread {
  Q_OBJECT
 public:
  TTraceCycleThread(std::shared_ptr<TOutputChannel> channel, TLookupSetup lookup,
                    const QString& host, const TTraceParams& params, bool raw);
  ~TTraceCycleThread() override;

 protected:
  void Work() override;

 private:
  using TClock = std::chrono::steady_clock;
  // One request of the cycle under way.
  struct TSent {
    quint16 Sequence = 0;
    TClock::time_point At;
  };

  void RunCycles();
  // One cycle's requests; nothing when the run was stopped or its link lost.
  std::optional<std::vector<TCycleProbe>> RunCycle();
  bool SendCycle(std::vector<TCycleProbe>& probes, std::vector<TSent>& sent);
  bool CollectAnswers(std::vector<TCycleProbe>& probes, const std::vector<TSent>& sent,
                      TClock::time_point deadline);
  void TakeAnswer(TCycleProbe& probe, const TSent& sent, const TAnyAnswer& answer);
  // The hop where this cycle's probing ends: the lowest at which the target
  // or an unreachable destination answered.
  int EndHop(const std::vector<TCycleProbe>& probes) const;
  void ShowTable(int cycle);
  void AwaitLastNames();

  const TTraceParams FParams;
  const bool FRaw;
  const TLookupSetup FLookupSetup;
  std::shared_ptr<TNameBook> FNames;
  THopStats FStats;
  int FLimit = 0;  // the highest hop the next cycle asks
  int FTargetHop = 0;  // where the target answered; 0 until it has
  quint16 FNextSequence = 1;
};
