#include "workers/WhoisThrd.h"

#include "common/QueryText.h"
#include "common/SjisText.h"

namespace {
constexpr int MaxReferrals = 3;
}  // namespace

TWhoisThread::TWhoisThread(std::shared_ptr<TOutputChannel> channel, TLookupSetup lookup,
                           const QString& server, const QString& query, const QString& relay,
                           int port)
    : TTCPThread(std::move(channel), std::move(lookup), RelayRoute(server, query, relay).Host,
                 ToSjis(RelayRoute(server, query, relay).Sent), port),
      FQuery(query),
      FRelay(relay),
      FPort(port) {
  FAsked.insert(WhoisServerKey(server, port));
}

void TWhoisThread::Work() {
  TTCPThread::Work();
  for (int referred = 0; referred < MaxReferrals && FReferral && !Terminated(); ++referred) {
    const TWhoisReferral referral = *FReferral;
    FReferral.reset();
    if (!FollowReferral(referral)) break;
  }
}

// Only the first referral of a reply counts: nothing else of it is kept.
void TWhoisThread::NoteReplyLine(const QByteArray& line) {
  if (!FReferral) FReferral = WhoisReferralOfLine(line);
}

bool TWhoisThread::FollowReferral(const TWhoisReferral& referral) {
  if (referral.Rwhois) {
    SyncAddOutput(QByteArray());
    SyncAddOutput(ToSjis(QStringLiteral("rwhois://") + WhoisReferralName(referral) +
                         QStringLiteral(" - rwhoisの参照先はたどりません")));
    return false;
  }
  const int port = referral.Port ? referral.Port : FPort;
  const QString key = WhoisServerKey(referral.Server, port);
  if (FAsked.contains(key)) return false;
  FAsked.insert(key);
  SyncAddOutput(QByteArray());
  SyncAddOutput(ToSjis(QStringLiteral(">> 参照先: ") + WhoisReferralName(referral)));
  SyncAddOutput(QByteArray());
  const QString query = referral.DomainOnly ? WhoisDomainOfQuery(FQuery) : FQuery;
  const TRelayRoute route = RelayRoute(referral.Server, query, FRelay);
  const std::optional<TTarget> target = ResolveTarget(route.Host);
  if (!target) return false;
  // A relay is asked at its own port: query@server cannot carry another.
  Query(*target, ToSjis(route.Sent) + "\r\n", FRelay.isEmpty() ? port : FPort);
  return true;
}
