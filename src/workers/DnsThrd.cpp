#include "workers/DnsThrd.h"

#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QRandomGenerator>

#include "common/Idn.h"
#include "common/QueryText.h"
#include "common/SjisText.h"
#include "platform/DnsChannel.h"
#include "workers/DohExchange.h"
#include "workers/TlsLink.h"
#include "workers/TlsReport.h"

// How one exchange with a server ended.
struct TDnsQueryThread::TReply {
  enum TEnd { Answered, TimedOut, Stopped, Unreachable, Failed };
  TEnd End = TimedOut;
  QString Server;   // "127.0.0.1#53"
  qint64 Ms = 0;    // from sending (or connecting) to the answer
  QByteArray Wire;  // the answer as it came
  std::optional<TDnsMessage> Message;
  QString Verdict;  // TLS: the certificate verdict
  QString Failure;  // Failed: the line that says why
};

namespace {

constexpr qsizetype MaxMessage = 65535;

QString TruncatedLine() {
  return QStringLiteral("応答が切り詰められていたため、TCP で問い合わせ直します");
}

// The server as the connected socket has it.
QString PeerText(int fd) {
  const std::optional<TAddressPort> at = PeerOf(fd);
  return at ? DnsServerText(at->Address.ToString(), at->Port) : QString();
}

// The number of certificates the server sent, which the verdict's wording
// of a missing issuer depends on.
int CertificatesSent(SSL* ssl) {
  const STACK_OF(X509)* chain = SSL_get_peer_cert_chain(ssl);
  return chain ? sk_X509_num(chain) : 0;
}

// Reads exactly size bytes; false on a failure, the time-out or Stop.
bool ReadExact(TTlsLink& link, char* into, qsizetype size) {
  for (qsizetype got = 0; got < size;) {
    const qsizetype n = link.Read(into + got, size - got);
    if (n <= 0) return false;
    got += n;
  }
  return true;
}

// DNS over TCP and TLS: each message after its length in two bytes.
QByteArray Framed(const QByteArray& message) {
  QByteArray out(2, '\0');
  out[0] = char(message.size() >> 8);
  out[1] = char(message.size() & 0xFF);
  return out + message;
}

QByteArray ReadFramed(TTlsLink& link) {
  char length[2];
  if (!ReadExact(link, length, 2)) return {};
  QByteArray message(quint8(length[0]) << 8 | quint8(length[1]), Qt::Uninitialized);
  return ReadExact(link, message.data(), message.size()) ? message : QByteArray();
}

}  // namespace

TDnsQueryThread::TDnsQueryThread(std::shared_ptr<TOutputChannel> channel, TLookupSetup lookup,
                                 TDnsAsk ask)
    : TTCPThread(std::move(channel), std::move(lookup), QString(), QByteArray(), 0),
      FAsk(std::move(ask)),
      FAce(HostToAce(FAsk.Name)) {}

void TDnsQueryThread::Work() {
  const std::optional<QList<TAddressPort>> servers = Servers();
  if (!servers) return;
  QList<quint16> types = FAsk.Types;
  if (types.isEmpty())
    types = ParseHostAddress(FAsk.Name) ? QList<quint16>{DnsType::PTR}
                                        : QList<quint16>{DnsType::A, DnsType::AAAA};
  for (qsizetype i = 0; i < types.size() && !Terminated(); ++i) {
    if (types.size() > 1) {
      if (i > 0) SyncAddOutput(QByteArray());
      SyncAddOutput(ToSjis(u"種類: ") + DnsTypeName(types[i]));
    }
    Ask(types[i], *servers);
  }
}

// The chosen server's addresses, or the system resolver's servers; nothing
// (after a line) when there are none.
std::optional<QList<TAddressPort>> TDnsQueryThread::Servers() {
  const TDnsServer& server = FAsk.Server;
  QList<TAddressPort> servers;
  if (server.Host.isEmpty()) {
    servers = TDnsChannel::SystemServers();
    if (servers.isEmpty()) SyncAddOutput(ToSjis(u"DNS サーバが設定されていません"));
  } else if (const std::optional<TTarget> target = ResolveTarget(server.Host)) {
    for (const TNetAddress& address : target->Addresses)
      servers.append({address, quint16(server.Port)});
  }
  if (servers.isEmpty()) return std::nullopt;
  return servers;
}

// PTR of an address asks for its reverse name, as NS Lookup does.
QByteArray TDnsQueryThread::AskedName(quint16 type) const {
  const std::optional<TNetAddress> address = ParseHostAddress(FAsk.Name);
  if (type == DnsType::PTR && address) return address->ReverseName();
  return FAce.toLatin1();
}

void TDnsQueryThread::Ask(quint16 type, const QList<TAddressPort>& servers) {
  TDnsTransport transport = FAsk.Server.Transport;
  // DNS over HTTPS asks with id 0, so that caches can share answers.
  const quint16 id = transport == TDnsTransport::Https ? 0 : quint16(QRandomGenerator::global()->generate());
  const QByteArray query = BuildDnsQuery(id, AskedName(type), type, FAsk.Dnssec);
  if (query.isEmpty()) {
    SyncAddOutput(ToSjis(FAsk.Name + QStringLiteral(" - ホスト名が正しくありません。")));
    return;
  }
  TReply reply = Exchange(query, transport, servers);
  if (transport == TDnsTransport::Udp && reply.Message && reply.Message->Truncated()) {
    SyncAddOutput(ToSjis(TruncatedLine()));
    transport = TDnsTransport::Tcp;
    reply = Exchange(query, transport, servers);
  }
  Show(reply, transport);
}

int TDnsQueryThread::LeftMs() const { return int(std::max<qint64>(0, FDeadline.remainingTime())); }

TDnsQueryThread::TReply TDnsQueryThread::Exchange(const QByteArray& query,
                                                  TDnsTransport transport,
                                                  const QList<TAddressPort>& servers) {
  FDeadline.setRemainingTime(FAsk.TimeoutMs);
  TReply reply;
  if (transport == TDnsTransport::Tls || transport == TDnsTransport::Https) {
    reply = ExchangeTls(query, servers);
  } else {
    // Each server in turn, with an equal share of what time is left.
    for (qsizetype i = 0; i < servers.size(); ++i) {
      const int share = LeftMs() / int(servers.size() - i);
      reply = ExchangePlain(query, servers[i], transport == TDnsTransport::Tcp, share);
      if (reply.End == TReply::Answered || reply.End == TReply::Stopped) break;
    }
  }
  if (reply.End == TReply::Answered) reply.Message = ParseDnsMessage(reply.Wire);
  // c-ares sends with an id of its own and matches the answer itself; over
  // TLS and HTTPS the answer must carry ours.
  const quint16 id = quint16(quint8(query[0]) << 8 | quint8(query[1]));
  const bool ownId = transport == TDnsTransport::Tls || transport == TDnsTransport::Https;
  if (reply.Message && ownId && reply.Message->Id != id) reply.Message.reset();
  return reply;
}

TDnsQueryThread::TReply TDnsQueryThread::ExchangePlain(const QByteArray& query,
                                                       const TAddressPort& server, bool tcp,
                                                       int waitMs) {
  TReply reply;
  reply.Server = DnsServerText(server.Address.ToString(), server.Port);
  QElapsedTimer clock;
  clock.start();
  // Two tries: the second waits twice as long as the first.
  TDnsChannel channel(server, tcp, waitMs / 3);
  if (!channel.Send(query)) {
    reply.End = TReply::Unreachable;
    return reply;
  }
  while (!channel.Done()) {
    const int left = waitMs - int(clock.elapsed());
    if (left <= 0) return reply;
    QList<pollfd> fds = channel.Sockets();
    const int next = channel.NextWaitMs();
    if (WaitFds(fds, next < 0 ? left : std::min(next, left)) < 0) {
      reply.End = TReply::Stopped;
      return reply;
    }
    channel.Process(fds);
  }
  reply.Ms = clock.elapsed();
  reply.Wire = channel.Answer();
  if (!reply.Wire.isEmpty()) reply.End = TReply::Answered;
  else if (channel.Refused()) reply.End = TReply::Unreachable;
  return reply;
}

TDnsQueryThread::TReply TDnsQueryThread::ExchangeTls(const QByteArray& query,
                                                     const QList<TAddressPort>& servers) {
  TReply reply;
  reply.Server = FAsk.Server.Host;
  QList<TNetAddress> addresses;
  for (const TAddressPort& server : servers) addresses << server.Address;
  QElapsedTimer clock;
  clock.start();
  TSocketSlot::TToken token = 0;
  const int fd = ConnectAny(addresses, FAsk.Server.Port, &token, LeftMs());
  if (fd < 0) {
    reply.End = Terminated() ? TReply::Stopped
                             : (LeftMs() > 0 ? TReply::Unreachable : TReply::TimedOut);
    return reply;
  }
  reply.Server = PeerText(fd);
  {
    TTlsLink link(fd, FAsk.Server.Host, [this, fd](short events) {
      const int left = LeftMs();
      return left > 0 && WaitFd(fd, events, left) > 0;
    });
    if (FAsk.Server.Transport == TDnsTransport::Https && link.Session())
      SSL_set_alpn_protos(link.Session(), DohAlpn, sizeof DohAlpn);
    link.ResumeSessions();
    TalkTls(link, query, reply);
  }
  CloseSocket(fd, token);
  reply.Ms = clock.elapsed();
  return reply;
}

// The handshake, the verdict on the certificate, and the exchange: the
// message framed as over TCP (DNS over TLS) or an HTTP/2 POST (over HTTPS).
void TDnsQueryThread::TalkTls(TTlsLink& link, const QByteArray& query, TReply& reply) {
  const auto interrupted = [&] {
    reply.End = Terminated() ? TReply::Stopped : TReply::TimedOut;
  };
  if (const std::optional<QString> failure = link.Handshake()) {
    reply.End = TReply::Failed;
    reply.Failure = FAsk.Server.Host + TlsHandshakeLine(*failure);
    return;
  }
  if (link.Stopped()) return interrupted();
  reply.Verdict = TlsVerdictLine(link.VerifyProblems(), CertificatesSent(link.Session()));
  if (FAsk.Server.Transport == TDnsTransport::Tls) {
    if (!link.Write(Framed(query)) || (reply.Wire = ReadFramed(link)).isEmpty())
      return link.Stopped() ? interrupted() : void(reply.End = TReply::Unreachable);
  } else if (!TalkHttps(link, query, reply)) {
    return;
  }
  reply.End = TReply::Answered;
}

// False (the reply says why) unless a DNS message came back.
bool TDnsQueryThread::TalkHttps(TTlsLink& link, const QByteArray& query, TReply& reply) {
  const unsigned char* protocol = nullptr;
  unsigned int length = 0;
  SSL_get0_alpn_selected(link.Session(), &protocol, &length);
  reply.End = TReply::Failed;
  if (QByteArrayView(protocol, length) != "h2") {
    reply.Failure = FAsk.Server.Host + QStringLiteral(" - HTTP/2 で応答しません");
    return false;
  }
  const QByteArray authority = HostHeaderValue(FAsk.Server.Host, FAsk.Server.Port, 443).toLatin1();
  const TDohAnswer answer = DohExchange(link, authority, FAsk.Server.Path.toUtf8(), query);
  if (!answer.Complete && link.Stopped()) {
    reply.End = Terminated() ? TReply::Stopped : TReply::TimedOut;
  } else if (!answer.Complete) {
    reply.Failure = FAsk.Server.Host + QStringLiteral(" - 応答が途中で終わりました");
  } else if (answer.Status != 200) {
    reply.Failure = FAsk.Server.Host + QStringLiteral(" - HTTP 状態 %1").arg(answer.Status);
  } else {
    reply.Wire = answer.Body;
    return true;
  }
  return false;
}

void TDnsQueryThread::Show(const TReply& reply, TDnsTransport transport) {
  switch (reply.End) {
    case TReply::Stopped:
      return;
    case TReply::TimedOut:
      return SyncAddOutput(ToSjis(FAsk.Name + QStringLiteral(" - 探索タイムアウト")));
    case TReply::Unreachable:
      return SyncAddOutput(ToSjis(reply.Server + QStringLiteral(" - 接続できません")));
    case TReply::Failed:
      return SyncAddOutput(ToSjis(reply.Failure));
    case TReply::Answered:
      break;
  }
  SyncAddOutput(ToSjis(DnsServerLine(reply.Server, transport, reply.Ms)));
  if (!reply.Verdict.isEmpty()) SyncAddOutput(ToSjis(reply.Verdict));
  if (!reply.Message) {
    SyncAddOutput(ToSjis(u"応答を解釈できません"));
    return;
  }
  SyncAddOutput(ToSjis(DnsStatusLine(*reply.Message)));
  for (const QString& line : DnsAnswerLines(*reply.Message)) SyncAddOutput(ToSjis(line));
}
