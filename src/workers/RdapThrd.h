#pragma once
#include <QUrl>
#include <optional>

#include "common/HttpReply.h"
#include "common/RdapBootstrap.h"
#include "workers/WhoisThrd.h"

// Whois over RDAP: the service the bootstrap names for the query is asked
// over HTTPS (verified, or nothing is shown), redirects followed, and the
// JSON reply shown as readable lines; with follow on, a registry's link to
// the registrar's record next. Under "自動" a query the bootstrap has no
// service for goes to port 43 as the Whois page always did.
class TRdapThread : public TWhoisThread {
  Q_OBJECT
 public:
  // strict: RDAP was chosen, never port 43. server, relay and port: where
  // port 43 goes under "自動" (see TWhoisThread); follow: the related link,
  // or on port 43 the referrals.
  TRdapThread(std::shared_ptr<TOutputChannel> channel, TLookupSetup lookup, const QString& server,
              const QString& query, const QString& relay, int port, bool strict, bool follow);

 protected:
  void Work() override;

 private:
  // One GET over a verified TLS session, the whole exchange within msecs.
  // Nothing when it failed, with its lines in failure (none after a stop,
  // or a failed lookup that reported itself).
  std::optional<THttpReply> Get(const QUrl& url, const QList<QByteArray>& headers, int msecs,
                                bool reportLookup, QStringList* failure);
  std::optional<THttpReply> Exchange(int fd, const QUrl& url, const QList<QByteArray>& headers,
                                     int msecs, QStringList* failure);
  // The bootstrap for kind, refreshed first when due.
  std::optional<TRdapBootstrap> Bootstrap(TBootstrapKind kind);
  // The conditional GET of a bootstrap file into the cache: its failure
  // line, empty when it came, was not modified, or the run was stopped.
  QString RefreshBootstrap(TBootstrapKind kind);
  // The record at url, after its redirects; the related link it gives.
  QString ShowRecord(QUrl url);
  QString ShowReply(const THttpReply& reply, const QUrl& url);
  void AddLine(const QString& text);
  void Port43();

  const QString FRdapQuery;
  const bool FStrict;
  const bool FFollow;
};
