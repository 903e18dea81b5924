#include "workers/TrsCycleThrd.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <mutex>

#include "common/SjisText.h"

// The hop names of a run, each address looked up once, without holding the
// cycles up: the resolver answers on its own thread, and the worker takes
// what has come after each cycle.
class TNameBook : public std::enable_shared_from_this<TNameBook> {
 public:
  explicit TNameBook(std::shared_ptr<TResolver> resolver) : FResolver(std::move(resolver)) {}

  void Ask(const TNetAddress& address) {
    const QString text = address.ToString();
    {
      const std::lock_guard lock(FLock);
      if (!FResolver || FAsked.contains(text)) return;
      FAsked.insert(text);
      FPending.insert(text);
    }
    const std::weak_ptr<TNameBook> weak = weak_from_this();
    const quint64 id = FResolver->LookupByAddr(
        address, [weak, text](quint64, TLookupResult result, const THostEntry& entry) {
          if (const auto book = weak.lock()) book->Found(text, result, entry);
        });
    const std::lock_guard lock(FLock);
    if (id == 0)
      FPending.remove(text);
    else if (FPending.contains(text))
      FIds.insert(text, id);
  }

  // The names found since the last call.
  QHash<QString, QString> Take() {
    const std::lock_guard lock(FLock);
    return std::exchange(FFound, {});
  }

  bool Pending() const {
    const std::lock_guard lock(FLock);
    return !FPending.isEmpty();
  }

  void CancelAll() {
    QList<quint64> ids;
    {
      const std::lock_guard lock(FLock);
      ids = FIds.values();
    }
    for (const quint64 id : ids) FResolver->Cancel(id);
  }

 private:
  void Found(const QString& address, TLookupResult result, const THostEntry& entry) {
    const std::lock_guard lock(FLock);
    FPending.remove(address);
    FIds.remove(address);
    if (result == TLookupResult::Succeeded && !entry.OfficialName.isEmpty())
      FFound.insert(address, FromSjis(entry.OfficialName));
  }

  const std::shared_ptr<TResolver> FResolver;
  mutable std::mutex FLock;
  QSet<QString> FAsked, FPending;
  QHash<QString, quint64> FIds;
  QHash<QString, QString> FFound;
};

namespace {

QString CycleStatus(int cycle, int cycles) {
  return QStringLiteral("サイクル %1/%2").arg(cycle).arg(cycles);
}

double MsSince(std::chrono::steady_clock::time_point at) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - at).count();
}

}  // namespace

TTraceCycleThread::TTraceCycleThread(std::shared_ptr<TOutputChannel> channel,
                                     TLookupSetup lookup, const QString& host,
                                     const TTraceParams& params, bool raw)
    : TIcmpThread(std::move(channel), lookup, host),
      FParams(params),
      FRaw(raw),
      FLookupSetup(lookup),
      FNames(std::make_shared<TNameBook>(params.ResolveNames ? lookup.Resolver : nullptr)) {}

TTraceCycleThread::~TTraceCycleThread() { FNames->CancelAll(); }

void TTraceCycleThread::Work() {
  if (!ReachTarget(TraceAddressWidth, false)) return;
  FLimit = FParams.LastHop;
  if (FRaw)
    RunWithRawSocket(RawTraceDataSize, [this] { RunCycles(); });
  else
    RunWithServiceHandle(ServiceTraceDataSize, ServiceTraceReplySize, [this] { RunCycles(); });
}

void TTraceCycleThread::RunCycles() {
  if (FParams.LastHop < FParams.FirstHop) return;
  SyncStatus(CycleStatus(1, FParams.Cycles));
  for (int cycle = 1; cycle <= FParams.Cycles; ++cycle) {
    const TClock::time_point began = TClock::now();
    const std::optional<std::vector<TCycleProbe>> probes = RunCycle();
    if (!probes) return;
    FStats.AddCycle(*probes);
    ShowTable(cycle);
    if (cycle == FParams.Cycles) break;
    const double left = 1000 - MsSince(began);
    if (left > 0 && PauseMs(int(left))) return;
  }
  AwaitLastNames();
  ShowTable(FParams.Cycles);
  SetClosingStatus(ForwardLossText(FStats.Rows()));
}

std::optional<std::vector<TCycleProbe>> TTraceCycleThread::RunCycle() {
  std::vector<TCycleProbe> probes;
  for (int hop = FParams.FirstHop; hop <= FLimit; ++hop) probes.push_back({hop});
  std::vector<TSent> sent;
  if (!SendCycle(probes, sent)) return std::nullopt;
  const TClock::time_point deadline = sent.back().At + std::chrono::seconds(FParams.TimeoutSec);
  if (!CollectAnswers(probes, sent, deadline)) return std::nullopt;
  const int end = EndHop(probes);
  std::erase_if(probes, [end](const TCycleProbe& p) { return p.Hop > end; });
  const QString target = FTarget.ToString();
  int limit = FParams.LastHop;
  for (TCycleProbe& p : probes) {
    if (p.State == TProbeState::InFlight) p.State = TProbeState::TimedOut;
    if (p.State != TProbeState::Answered) continue;
    if (p.Address == target) FTargetHop = FTargetHop ? std::min(FTargetHop, p.Hop) : p.Hop;
    // Beyond an unreachable destination nothing is asked until it clears.
    if (p.Mark != THopMark::None) limit = p.Hop;
  }
  FLimit = std::min(limit, FTargetHop ? FTargetHop : FParams.LastHop);
  return probes;
}

bool TTraceCycleThread::SendCycle(std::vector<TCycleProbe>& probes, std::vector<TSent>& sent) {
  for (TCycleProbe& p : probes) {
    const TSent request{FNextSequence++, TClock::now()};
    const TLinkResult result = PostRequest(request.Sequence, p.Hop);
    if (result == TLinkResult::Lost || Terminated()) return false;
    if (result == TLinkResult::Failed) p.State = TProbeState::TimedOut;
    sent.push_back(request);
  }
  return true;
}

// Until every request up to the cycle's end hop is answered, or the last
// request's time-out has passed.
bool TTraceCycleThread::CollectAnswers(std::vector<TCycleProbe>& probes,
                                       const std::vector<TSent>& sent,
                                       TClock::time_point deadline) {
  const auto open = [&] {
    const int end = EndHop(probes);
    return std::any_of(probes.begin(), probes.end(), [end](const TCycleProbe& p) {
      return p.Hop <= end && p.State == TProbeState::InFlight;
    });
  };
  while (open()) {
    const double left = -MsSince(deadline);
    if (left <= 0) break;
    const TAnyAnswer answer = AwaitAnyAnswer(int(std::ceil(left)));
    if (answer.Verdict == TEchoVerdict::Stopped) return false;
    if (answer.Verdict == TEchoVerdict::NoAnswer) break;
    for (size_t i = 0; i < sent.size(); ++i)
      if (sent[i].Sequence == answer.Sequence) TakeAnswer(probes[i], sent[i], answer);
  }
  return !Terminated();
}

// An answer after its request's time-out counts as none.
void TTraceCycleThread::TakeAnswer(TCycleProbe& probe, const TSent& sent,
                                   const TAnyAnswer& answer) {
  if (probe.State != TProbeState::InFlight) return;
  const double ms = answer.ElapsedUs ? double(*answer.ElapsedUs) / 1000 : MsSince(sent.At);
  if (ms > FParams.TimeoutSec * 1000.0) {
    probe.State = TProbeState::TimedOut;
    return;
  }
  probe.State = TProbeState::Answered;
  probe.Address = Known(answer.Source) ? answer.Source.ToString() : QString();
  probe.Ms = ms;
  if (Known(answer.Source)) FNames->Ask(answer.Source);
  if (answer.Verdict == TEchoVerdict::Unreachable)
    probe.Mark = UnreachableMark(TargetIsIPv6(), answer.Code);
}

int TTraceCycleThread::EndHop(const std::vector<TCycleProbe>& probes) const {
  const QString target = FTarget.ToString();
  for (const TCycleProbe& p : probes)
    if (p.State == TProbeState::Answered && (p.Mark != THopMark::None || p.Address == target))
      return p.Hop;
  return FLimit;
}

void TTraceCycleThread::ShowTable(int cycle) {
  const QHash<QString, QString> names = FNames->Take();
  for (auto it = names.begin(); it != names.end(); ++it) FStats.SetName(it.key(), it.value());
  std::vector<THopRow> rows = FStats.Rows();
  SyncStatus(CycleStatus(cycle, FParams.Cycles) + QStringLiteral(": ") + ForwardLossText(rows));
  SyncHopTable(std::move(rows));
}

// The names still under way get the lookup's time-out, or until Stop.
void TTraceCycleThread::AwaitLastNames() {
  for (int waited = 0; FNames->Pending() && waited < FLookupSetup.TimeoutMs; waited += 50)
    if (PauseMs(50)) return;
}
