#include "common/DnsAsk.h"

#include "common/Common.h"
#include "common/NetAddress.h"

namespace {

const QString AllChoice = QStringLiteral("すべて");
constexpr quint16 AskedTypes[] = {DnsType::A,     DnsType::AAAA,   DnsType::CNAME, DnsType::MX,
                                  DnsType::NS,    DnsType::SOA,    DnsType::TXT,   DnsType::SRV,
                                  DnsType::CAA,   DnsType::PTR,    DnsType::DS,    DnsType::DNSKEY,
                                  DnsType::HTTPS};
constexpr quint16 CommonTypes[] = {DnsType::A,  DnsType::AAAA, DnsType::CNAME, DnsType::MX,
                                   DnsType::NS, DnsType::SOA,  DnsType::TXT,   DnsType::CAA};

// The scheme and its transport and port; "" is a plain server.
struct TScheme {
  const char16_t* Name;
  TDnsTransport Transport;
  int Port;
};
constexpr TScheme Schemes[] = {{u"", TDnsTransport::Udp, 53},
                               {u"tls", TDnsTransport::Tls, 853},
                               {u"https", TDnsTransport::Https, 443}};

// The Japanese meaning of a response code.
QString RcodeMeaning(int rcode) {
  switch (rcode) {
    case 0:
      return QStringLiteral("正常");
    case 1:
      return QStringLiteral("問い合わせの形式が正しくありません");
    case 2:
      return QStringLiteral("サーバで失敗しました");
    case 3:
      return QStringLiteral("名前が存在しません");
    case 4:
      return QStringLiteral("サーバが対応していません");
    case 5:
      return QStringLiteral("拒否されました");
    default:
      return QStringLiteral("エラー");
  }
}

bool IsNoAnswer(const TDnsMessage& m) { return m.Rcode == 3 || (m.Rcode == 0 && m.Answer.isEmpty()); }

}  // namespace

std::optional<TDnsServer> ParseDnsServer(const QString& typed, bool tcp) {
  const QString text = typed.trimmed();
  TDnsServer server;
  server.Transport = tcp ? TDnsTransport::Tcp : TDnsTransport::Udp;
  if (text.isEmpty()) return server;
  const QString scheme = ExtractUrlScheme(text).toLower();
  const auto known = std::find_if(std::begin(Schemes), std::end(Schemes),
                                  [&](const TScheme& s) { return scheme == s.Name; });
  if (known == std::end(Schemes)) return std::nullopt;
  if (known->Transport != TDnsTransport::Udp) server.Transport = known->Transport;
  server.Host = ExtractUrlHost(text);
  server.Port = ExtractUrlPort(text, known->Port);
  const QString path = ExtractUrlPath(text);
  // Only a URL of DNS over HTTPS has a path; without one it asks the path
  // most servers use.
  if (server.Transport == TDnsTransport::Https)
    server.Path = path == u"/" && !text.endsWith(u'/') ? QStringLiteral("/dns-query") : path;
  else if (path != u"/" || text.endsWith(u'/')) return std::nullopt;
  if (server.Host.isEmpty() || server.Port < 1 || server.Port > 65535) return std::nullopt;
  return server;
}

QString DnsTransportName(TDnsTransport transport) {
  static const char* const names[] = {"UDP", "TCP", "TLS", "HTTPS"};
  return QString::fromLatin1(names[int(transport)]);
}

QStringList DnsTypeChoices() {
  QStringList choices{DnsDefaultChoice};
  for (const quint16 type : AskedTypes) choices << QString::fromLatin1(DnsTypeName(type));
  return choices << AllChoice;
}

QList<quint16> DnsTypesOfChoice(const QString& choice) {
  if (choice == AllChoice) return {std::begin(CommonTypes), std::end(CommonTypes)};
  if (const quint16 type = DnsTypeOfName(choice); type && choice != DnsDefaultChoice)
    return {type};
  return {};
}

QString KnownDnsChoice(const QString& choice) {
  return DnsTypeChoices().contains(choice) ? choice : DnsDefaultChoice;
}

QString NsLookupTitle(const QString& name, const QString& ace, const QString& choice) {
  QString title = QStringLiteral("NS Lookup - ") + name;
  if (ace != name) title += QStringLiteral(" (") + ace + u')';
  if (choice != DnsDefaultChoice) title += QStringLiteral(" - ") + choice;
  return title;
}

QString DnsServerText(const QString& address, int port) {
  return address + u'#' + QString::number(port);
}

QString DnsServerLine(const QString& server, TDnsTransport transport, qint64 ms) {
  return QStringLiteral("サーバ: ") + server + QStringLiteral(" (") + DnsTransportName(transport) +
         QStringLiteral(")  応答時間: ") + QString::number(ms) + QStringLiteral(" ms");
}

QString DnsStatusLine(const TDnsMessage& message) {
  return QStringLiteral("状態: ") + RcodeMeaning(message.Rcode) + QStringLiteral(" (") +
         QString::fromLatin1(DnsRcodeName(message.Rcode)) + QStringLiteral(")  フラグ: ") +
         QString::fromLatin1(DnsFlagNames(message.Flags));
}

QStringList DnsAnswerLines(const TDnsMessage& message) {
  const auto text = [](const QList<QByteArray>& lines) {
    QStringList out;
    for (const QByteArray& line : lines) out << QString::fromLatin1(line);
    return out;
  };
  if (!IsNoAnswer(message)) return text(DnsRecordLines(message.Answer));
  QList<TDnsRecord> soa;
  for (const TDnsRecord& r : message.Authority)
    if (r.Type == DnsType::SOA || (r.Type == DnsType::RRSIG && r.Data.startsWith("SOA ")))
      soa << r;
  if (soa.isEmpty()) return {};
  return QStringList{QStringLiteral("権威:")} + text(DnsRecordLines(soa));
}
