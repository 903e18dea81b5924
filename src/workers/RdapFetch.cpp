// The HTTPS exchange of the RDAP worker: a GET over a TLS session whose
// certificate check must pass, and the refresh of the bootstrap files.
#include <poll.h>

#include <QDeadlineTimer>

#include "common/RdapCache.h"
#include "workers/RdapThrd.h"
#include "workers/TlsLink.h"
#include "workers/TlsReport.h"

namespace {
constexpr int HttpsPort = 443;
constexpr int RefreshLimitMs = 10000;
// Registration data is small; a bigger reply is refused, not held.
constexpr qsizetype MaxReplyBytes = 4 * 1024 * 1024;
constexpr qsizetype ReadBlock = 32768;

int MsecsLeft(const QDeadlineTimer& deadline) {
  return deadline.isForever() ? -1 : int(qMax<qint64>(0, deadline.remainingTime()));
}
}  // namespace

std::optional<THttpReply> TRdapThread::Get(const QUrl& url, const QList<QByteArray>& headers,
                                           int msecs, bool reportLookup, QStringList* failure) {
  const QString host = url.host(QUrl::FullyEncoded);  // a name in its ACE form
  const std::optional<TTarget> target = ResolveTarget(host, reportLookup);
  if (!target) {
    if (!reportLookup && !Terminated()) *failure << host + QStringLiteral(" - 見つかりません");
    return std::nullopt;
  }
  SyncStatus(QStringLiteral("接続中..."));
  TSocketSlot::TToken token = 0;
  const int fd = ConnectAny(target->Addresses, url.port(HttpsPort), &token, msecs);
  if (fd < 0) {
    if (!Terminated()) *failure << host + QStringLiteral(" - 接続できません");
    return std::nullopt;
  }
  std::optional<THttpReply> reply = Exchange(fd, url, headers, msecs, failure);
  CloseSocket(fd, token);
  return reply;
}

std::optional<THttpReply> TRdapThread::Exchange(int fd, const QUrl& url,
                                                const QList<QByteArray>& headers, int msecs,
                                                QStringList* failure) {
  const QString host = url.host(QUrl::FullyEncoded);  // a name in its ACE form
  const QDeadlineTimer deadline(msecs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever)
                                          : QDeadlineTimer(msecs));
  SyncStatus(QStringLiteral("TLS 接続中..."));
  TTlsLink link(fd, host,
                [&](short events) { return WaitFd(fd, events, MsecsLeft(deadline)) > 0; });
  const QString noAnswer = host + QStringLiteral(" - 応答がありません");
  if (const std::optional<QString> reason = link.Handshake()) {
    *failure << host + TlsHandshakeLine(*reason);
    return std::nullopt;
  }
  if (link.Stopped()) {
    if (!Terminated()) *failure << noAnswer;
    return std::nullopt;
  }
  // Unlike a web page, registration data is shown from a verified server only.
  if (const QList<long> problems = link.VerifyProblems(); !problems.isEmpty()) {
    *failure << TlsSessionVerdict(link.Session(), problems)
             << host + QStringLiteral(" - 検証できないサーバの登録情報は表示しません");
    return std::nullopt;
  }
  SyncStatus(QStringLiteral("取得中..."));
  if (!link.Write(RdapGetRequest(url, headers))) {
    if (!Terminated())
      *failure << (link.Stopped() ? noAnswer : host + QStringLiteral(" - 送信できません"));
    return std::nullopt;
  }
  QByteArray bytes;
  QByteArray block(ReadBlock, Qt::Uninitialized);
  while (const qsizetype n = link.Read(block.data(), ReadBlock)) {
    bytes.append(block.constData(), n);
    if (bytes.size() > MaxReplyBytes) {
      *failure << host +
                      QStringLiteral(" - 応答が大きすぎます (%1 MB まで)").arg(MaxReplyBytes >> 20);
      return std::nullopt;
    }
  }
  if (Terminated()) return std::nullopt;
  if (link.Stopped()) {
    *failure << noAnswer;
    return std::nullopt;
  }
  std::optional<THttpReply> reply = ParseHttpReply(bytes);
  if (!reply) *failure << host + QStringLiteral(" - HTTP の応答ではありません");
  return reply;
}

QString TRdapThread::RefreshBootstrap(TBootstrapKind kind) {
  SyncStatus(QStringLiteral("RDAP ブートストラップ更新中..."));
  const QUrl url(RdapBootstrapBaseUrl() + BootstrapFileName(kind));
  QStringList failure;
  const std::optional<THttpReply> reply =
      Get(url, BootstrapRefreshHeaders(kind), RefreshLimitMs, false, &failure);
  if (Terminated()) return QString();
  if (reply && reply->Status == 200 &&
      StoreBootstrap(kind, reply->Body, reply->Header("ETag"), reply->Header("Last-Modified")))
    return QString();
  NoteBootstrapChecked(kind);
  if (reply && reply->Status == 304) return QString();
  if (reply)
    return reply->Status == 200 ? url.toString() + QStringLiteral(" - 読めない形式です")
                                : url.toString() + QStringLiteral(" - HTTP %1").arg(reply->Status);
  return failure.value(0, url.host() + QStringLiteral(" - 接続できません"));
}
