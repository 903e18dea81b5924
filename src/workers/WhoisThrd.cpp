#include "workers/WhoisThrd.h"

#include "common/QueryText.h"
#include "common/SjisText.h"

namespace {
constexpr int MaxReferrals = 3;

// Where a query for server goes, and what is sent there.
QString HostFor(const QString& server, const QString& relay) {
  return relay.isEmpty() ? server : relay;
}
QString QueryFor(const QString& server, const QString& query, const QString& relay) {
  return relay.isEmpty() ? query : RelayQuery(query, server);
}

// Names in any case are one server.
QString AskedKey(const QString& server, int port) {
  return server.toLower() + u':' + QString::number(port);
}
}  // namespace

TWhoisThread::TWhoisThread(std::shared_ptr<TOutputChannel> channel, TLookupSetup lookup,
                           const QString& server, const QString& query, const QString& relay,
                           int port)
    : TTCPThread(std::move(channel), std::move(lookup), HostFor(server, relay),
                 ToSjis(QueryFor(server, query, relay)), port),
      FQuery(query),
      FRelay(relay),
      FPort(port) {
  FAsked.insert(AskedKey(server, port));
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
    const QString port = referral.Port ? u':' + QString::number(referral.Port) : QString();
    SyncAddOutput(QByteArray());
    SyncAddOutput(ToSjis(QStringLiteral("rwhois://") + referral.Server + port +
                         QStringLiteral(" - rwhoisの参照先はたどりません")));
    return false;
  }
  const int port = referral.Port ? referral.Port : FPort;
  const QString key = AskedKey(referral.Server, port);
  if (FAsked.contains(key)) return false;
  FAsked.insert(key);
  SyncAddOutput(QByteArray());
  SyncAddOutput(ToSjis(QStringLiteral(">> 参照先: ") + referral.Server));
  SyncAddOutput(QByteArray());
  const QString query = referral.DomainOnly ? WhoisDomainOfQuery(FQuery) : FQuery;
  const std::optional<TTarget> target = ResolveTarget(HostFor(referral.Server, FRelay));
  if (!target) return false;
  // A relay is asked at its own port: query@server cannot carry another.
  Query(*target, ToSjis(QueryFor(referral.Server, query, FRelay)) + "\r\n",
        FRelay.isEmpty() ? port : FPort);
  return true;
}
