#pragma once
#include <QSet>
#include <optional>

#include "common/WhoisReferral.h"
#include "workers/TCPThrd.h"

// Whois that follows referrals: after each reply, the first server the
// reply names is asked next (at most three times a run), each reply after
// a line that names its server. A server asked before ends the chain.
class TWhoisThread : public TTCPThread {
  Q_OBJECT
 public:
  // relay: the relay host, empty when none is used; each query then goes to
  // it as query@server. port: the whois port (also the relay's).
  TWhoisThread(std::shared_ptr<TOutputChannel> channel, TLookupSetup lookup, const QString& server,
               const QString& query, const QString& relay, int port);

 protected:
  void Work() override;
  void NoteReplyLine(const QByteArray& line) override;

 private:
  // False when the chain ends here.
  bool FollowReferral(const TWhoisReferral& referral);

  const QString FQuery;
  const QString FRelay;
  const int FPort;
  std::optional<TWhoisReferral> FReferral;  // the first one of the current reply
  QSet<QString> FAsked;                     // WhoisServerKey of each server asked
};
