#include "workers/RdapThrd.h"

#include "common/QueryText.h"
#include "common/RdapCache.h"
#include "common/RdapReply.h"
#include "common/SjisText.h"

namespace {
constexpr int MaxRedirects = 5;
constexpr int QueryLimitMs = 60000;

// Characters Shift_JIS lacks become U+3013, as in UTF-8 replies of port 43.
QByteArray ReplySjis(const QString& text) { return UnicodeToSjis(text, "\x81\xAC"); }

QString NoServiceLine(const QString& typed, const TRdapQuery& query) {
  const QString where = query.Kind == TRdapKind::Domain
                            ? u'.' + query.Domain.section(u'.', -1) + QStringLiteral(" には")
                            : QStringLiteral("この番号には");
  return typed + QStringLiteral(" - ") + where +
         QStringLiteral(" RDAP のサービスがありません。方式を whois にして問い合わせてください");
}

// "429": when the server says the next query may come.
QString TooManyLine(const QString& host, const QByteArray& retryAfter) {
  const QString line = host + QStringLiteral(" - 問い合わせが多すぎます (HTTP 429)。");
  const QString value = RdapSafeText(QString::fromLatin1(retryAfter));
  bool seconds = false;
  value.toUInt(&seconds);
  if (value.isEmpty()) return line + QStringLiteral("しばらく待ってから問い合わせてください");
  return line + (seconds ? value + QStringLiteral(" 秒後に") : value + QStringLiteral(" 以降に")) +
         QStringLiteral("問い合わせてください");
}
}  // namespace

TRdapThread::TRdapThread(std::shared_ptr<TOutputChannel> channel, TLookupSetup lookup,
                         const QString& server, const QString& query, const QString& relay,
                         int port, bool strict, bool follow)
    : TWhoisThread(std::move(channel), std::move(lookup), server, query, relay, port),
      FRdapQuery(query.trimmed()),
      FStrict(strict),
      FFollow(follow) {}

void TRdapThread::AddLine(const QString& text) { SyncAddOutput(ReplySjis(text)); }

void TRdapThread::Port43() {
  if (FFollow)
    TWhoisThread::Work();
  else
    TTCPThread::Work();
}

void TRdapThread::Work() {
  const TRdapQuery query = ParseRdapQuery(FRdapQuery);
  if (query.Kind == TRdapKind::None) {
    if (!FStrict) return Port43();
    return AddLine(RdapSafeText(FRdapQuery) +
                   QStringLiteral(" - RDAP ではドメイン名、IP アドレス (プレフィックス)、"
                                  "AS 番号 (AS64500 の形) だけを問い合わせられます"));
  }
  const std::optional<TRdapBootstrap> bootstrap = Bootstrap(BootstrapKindOf(query));
  if (Terminated()) return;
  const QStringList urls = bootstrap ? RdapServiceUrls(*bootstrap, query) : QStringList();
  if (urls.isEmpty()) {
    if (!FStrict) return Port43();
    return AddLine(NoServiceLine(RdapSafeText(FRdapQuery), query));
  }
  const QUrl url(urls.first() + query.Path());
  AddLine(QStringLiteral(">> RDAP: ") + RdapSafeText(url.toString()));
  const QString related = ShowRecord(url);
  if (related.isEmpty() || !FFollow || Terminated() || QUrl(related) == url) return;
  AddLine(QString());
  AddLine(QStringLiteral(">> 参照先: ") + related);
  ShowRecord(QUrl(related));
}

std::optional<TRdapBootstrap> TRdapThread::Bootstrap(TBootstrapKind kind) {
  const QString failure =
      BootstrapRefreshDue(kind, QDateTime::currentDateTime()) ? RefreshBootstrap(kind) : QString();
  if (Terminated()) return std::nullopt;
  const TBootstrapChoice choice = ChooseBootstrap(kind);
  for (const QString& line : choice.Lines) AddLine(RdapSafeText(line));
  if (!failure.isEmpty() && choice.Bootstrap)
    AddLine(QStringLiteral("RDAP ブートストラップを更新できません (") + failure +
            QStringLiteral(") - ") + HeaderTime(choice.Bootstrap->Publication.toLocalTime()) +
            QStringLiteral(" 発行の版を使います"));
  if (!choice.Bootstrap)
    AddLine(BootstrapFileName(kind) + QStringLiteral(" - RDAP ブートストラップがありません"));
  return choice.Bootstrap;
}

QString TRdapThread::ShowRecord(QUrl url) {
  for (int redirects = 0;; ++redirects) {
    QStringList failure;
    const std::optional<THttpReply> reply = Get(url, {}, QueryLimitMs, true, &failure);
    for (const QString& line : failure) AddLine(line);
    if (!reply || Terminated()) return QString();
    if (!IsRedirectStatus(reply->Status)) return ShowReply(*reply, url);
    const std::optional<QUrl> next = RedirectTarget(url, reply->Header("Location"));
    if (redirects == MaxRedirects || !next) {
      AddLine(url.host() +
              (next ? QStringLiteral(" - 転送が多すぎます (%1 回まで)").arg(MaxRedirects)
                    : QStringLiteral(" - 転送先が https の URL ではありません")));
      return QString();
    }
    url = *next;
    AddLine(QStringLiteral(">> 転送: ") + RdapSafeText(url.toString()));
  }
}

QString TRdapThread::ShowReply(const THttpReply& reply, const QUrl& url) {
  const QString host = url.host();
  if (reply.Status == 404) {
    AddLine(RdapSafeText(FRdapQuery) + QStringLiteral(" - 見つかりません"));
  } else if (reply.Status == 429) {
    AddLine(TooManyLine(host, reply.Header("Retry-After")));
  } else if (reply.Status != 200) {
    AddLine(host + QStringLiteral(" - HTTP %1 ").arg(reply.Status) +
            RdapSafeText(QString::fromLatin1(reply.Reason)));
  } else {
    const TRdapReport report = RdapReport(reply.Body);
    if (report.Kind == TRdapReplyKind::NotJson)
      AddLine(host + QStringLiteral(" - 応答が JSON ではありません"));
    if (report.Kind == TRdapReplyKind::NotRdap)
      AddLine(host + QStringLiteral(" - 応答は RDAP のデータではありません"));
    if (report.Kind != TRdapReplyKind::Object) return QString();
    AddLine(QString());
    for (const QString& line : report.Lines) {
      if (Terminated()) break;
      AddLine(line);
    }
    return report.Related;
  }
  return QString();
}
