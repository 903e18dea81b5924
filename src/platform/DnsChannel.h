#pragma once
#include <poll.h>

#include <QByteArray>
#include <QList>

#include "platform/SockAddr.h"

struct ares_channeldata;

// One query of our own (BuildDnsQuery) to one server over UDP or TCP,
// through a c-ares channel of its own that the caller drives on its own
// thread: it waits on Sockets() for NextWaitMs(), then calls Process(). A
// truncated UDP answer is handed back as it is, and so is an answer of any
// response code, so the caller sees what the server said.
class TDnsChannel {
 public:
  // tryMs: how long the first try waits; the second waits twice as long.
  TDnsChannel(const TAddressPort& server, bool tcp, int tryMs);
  ~TDnsChannel();
  TDnsChannel(const TDnsChannel&) = delete;
  TDnsChannel& operator=(const TDnsChannel&) = delete;

  // False when the channel could not be made or the query not sent.
  bool Send(const QByteArray& query);
  QList<pollfd> Sockets() const;
  int NextWaitMs() const;
  void Process(const QList<pollfd>& polled);

  bool Done() const { return FDone; }
  // After Done: the answer, empty when none came; Refused tells a server
  // that refused the connection (an ICMP port unreachable, a TCP reset).
  const QByteArray& Answer() const { return FAnswer; }
  bool Refused() const { return FRefused; }

  // The servers of the system's resolver (/etc/resolv.conf), in order.
  static QList<TAddressPort> SystemServers();

 private:
  static void OnAnswer(void* arg, int status, int timeouts, unsigned char* answer, int length);

  ares_channeldata* FChannel = nullptr;
  bool FDone = false;
  bool FRefused = false;
  QByteArray FAnswer;
};
