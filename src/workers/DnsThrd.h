#pragma once
#include <QDeadlineTimer>

#include "common/DnsAsk.h"
#include "platform/SockAddr.h"
#include "workers/TCPThrd.h"

class TTlsLink;

// What an NS Lookup run asks beyond the documented lookup.
struct TDnsAsk {
  QString Name;          // as typed; its ACE form is asked
  QList<quint16> Types;  // one after another; none: PTR for an address, else A and AAAA
  TDnsServer Server;
  bool Dnssec = false;
  int TimeoutMs = 5000;  // per type: a server silent that long gives the time-out line
};

// NS Lookup of record types of a chosen server (or the system's) over UDP,
// TCP, TLS or HTTPS. Every answer, whatever carried it, is read by
// ParseDnsMessage and shown as the server line, the status line and its
// records. A truncated UDP answer is asked again over TCP. Stop ends the
// query at once on every transport: each wait is the worker's own.
class TDnsQueryThread : public TTCPThread {
  Q_OBJECT
 public:
  TDnsQueryThread(std::shared_ptr<TOutputChannel> channel, TLookupSetup lookup, TDnsAsk ask);

 protected:
  void Work() override;

 private:
  struct TReply;
  std::optional<QList<TAddressPort>> Servers();
  QByteArray AskedName(quint16 type) const;
  void Ask(quint16 type, const QList<TAddressPort>& servers);
  TReply Exchange(const QByteArray& query, TDnsTransport transport,
                  const QList<TAddressPort>& servers);
  TReply ExchangePlain(const QByteArray& query, const TAddressPort& server, bool tcp, int waitMs);
  TReply ExchangeTls(const QByteArray& query, const QList<TAddressPort>& servers);
  void TalkTls(TTlsLink& link, const QByteArray& query, TReply& reply);
  bool TalkHttps(TTlsLink& link, const QByteArray& query, TReply& reply);
  void Show(const TReply& reply, TDnsTransport transport);
  int LeftMs() const;

  const TDnsAsk FAsk;
  const QString FAce;  // the name as it is asked
  QDeadlineTimer FDeadline;  // of the exchange under way
};
