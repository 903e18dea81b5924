#include "workers/TlsReport.h"

#include <arpa/inet.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include "common/QueryText.h"

namespace {
constexpr int MaxAltNames = 10;
constexpr qint64 SecondsPerDay = 86400;
// Every text a certificate carries is shown as RFC 2253 escapes it (control
// characters as "\0D", separators as "\,"), UTF-8 kept: a name can then
// neither break a line of the report nor pass for two names.
constexpr unsigned long CertStringFlags = ASN1_STRFLGS_RFC2253 & ~ASN1_STRFLGS_ESC_MSB;
constexpr unsigned long CertNameFlags = XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB;

QString BioText(BIO* bio) {
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio, &data);
  return QString::fromUtf8(data, size);
}

// A name as RFC 2253 writes it (most specific part first), UTF-8 kept.
QString NameText(const X509_NAME* name) {
  BIO* bio = BIO_new(BIO_s_mem());
  X509_NAME_print_ex(bio, name, 0, CertNameFlags);
  const QString text = BioText(bio);
  BIO_free(bio);
  return text;
}

QString TimeText(const ASN1_TIME* time) {
  tm t{};
  if (!ASN1_TIME_to_tm(time, &t)) return QStringLiteral("?");
  const QDateTime utc(QDate(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday),
                      QTime(t.tm_hour, t.tm_min, t.tm_sec), Qt::UTC);
  return HeaderTime(utc.toLocalTime());
}

// The days and the seconds beyond them: neither alone says which side of
// the time now is.
qint64 SecondsUntil(const ASN1_TIME* time) {
  int days = 0, seconds = 0;
  ASN1_TIME_diff(&days, &seconds, nullptr, time);
  return days * SecondsPerDay + seconds;
}

// Where now stands in the validity period: "N 日後に開始" before it, "残り
// N 日" within it, "N 日前に終了" after it; N counts whole days.
QString ValidityLeftText(const ASN1_TIME* notBefore, const ASN1_TIME* notAfter) {
  const qint64 untilStart = SecondsUntil(notBefore);
  const qint64 untilEnd = SecondsUntil(notAfter);
  if (untilStart > 0) return QStringLiteral("%1 日後に開始").arg(untilStart / SecondsPerDay);
  if (untilEnd >= 0) return QStringLiteral("残り %1 日").arg(untilEnd / SecondsPerDay);
  return QStringLiteral("%1 日前に終了").arg(-untilEnd / SecondsPerDay);
}

QString StringText(const ASN1_STRING* s) {
  BIO* bio = BIO_new(BIO_s_mem());
  ASN1_STRING_print_ex(bio, s, CertStringFlags);
  const QString text = BioText(bio);
  BIO_free(bio);
  return text;
}

QString AltNameText(const GENERAL_NAME* name) {
  int type = 0;
  const void* value = GENERAL_NAME_get0_value(name, &type);
  const auto* s = static_cast<const ASN1_STRING*>(value);
  if (type == GEN_DNS) return QStringLiteral("DNS:") + StringText(s);
  if (type == GEN_EMAIL) return QStringLiteral("email:") + StringText(s);
  if (type == GEN_URI) return QStringLiteral("URI:") + StringText(s);
  if (type == GEN_IPADD) {
    const int length = ASN1_STRING_length(s);
    char text[INET6_ADDRSTRLEN] = "?";
    if (length == 4 || length == 16)
      inet_ntop(length == 4 ? AF_INET : AF_INET6, ASN1_STRING_get0_data(s), text, sizeof text);
    return QStringLiteral("IP:") + QString::fromLatin1(text);
  }
  return QStringLiteral("その他");
}

// "DNS:a, DNS:b (ほか N 件)"; empty without the extension.
QString AltNamesText(X509* cert) {
  auto* names =
      static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(cert, NID_subject_alt_name, nullptr, nullptr));
  if (!names) return QString();
  const int count = sk_GENERAL_NAME_num(names);
  QStringList shown;
  for (int i = 0; i < count && i < MaxAltNames; ++i)
    shown << AltNameText(sk_GENERAL_NAME_value(names, i));
  GENERAL_NAMES_free(names);
  QString text = shown.join(QStringLiteral(", "));
  if (count > MaxAltNames) text += QStringLiteral(" (ほか %1 件)").arg(count - MaxAltNames);
  return text;
}

void AddCertificate(QStringList& lines, X509* cert, int number, bool own) {
  lines << QStringLiteral("証明書 %1: ").arg(number) + NameText(X509_get_subject_name(cert));
  lines << QStringLiteral("  発行者: ") + NameText(X509_get_issuer_name(cert));
  const ASN1_TIME* notBefore = X509_get0_notBefore(cert);
  const ASN1_TIME* notAfter = X509_get0_notAfter(cert);
  lines << QStringLiteral("  有効期間: ") + TimeText(notBefore) + QStringLiteral(" ～ ") +
               TimeText(notAfter) + QStringLiteral(" (") + ValidityLeftText(notBefore, notAfter) +
               u')';
  if (!own) return;
  const QString altNames = AltNamesText(cert);
  if (!altNames.isEmpty()) lines << QStringLiteral("  別名: ") + altNames;
  if (EVP_PKEY* key = X509_get0_pubkey(cert))
    lines << QStringLiteral("  公開鍵: ") + QString::fromLatin1(EVP_PKEY_get0_type_name(key)) +
                 QStringLiteral(" %1 ビット").arg(EVP_PKEY_get_bits(key));
  lines << QStringLiteral("  署名アルゴリズム: ") +
               QString::fromLatin1(OBJ_nid2ln(X509_get_signature_nid(cert)));
}
}  // namespace

QString TlsVerifyReason(long result, int sent) {
  switch (result) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
      return QStringLiteral("有効期限切れ");
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return QStringLiteral("有効期間の開始前");
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
      return QStringLiteral("自己署名");
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
      return sent == 1 ? QStringLiteral("中間証明書が足りません") : QStringLiteral("発行者が不明");
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return QStringLiteral("名前が一致しません");
    default:
      return QStringLiteral("検証できません");
  }
}

QString TlsVerdictLine(const QList<long>& results, int sent) {
  if (results.isEmpty()) return QStringLiteral("検証 OK");
  QStringList reasons, problems;
  for (const long result : results) {
    const QString reason = TlsVerifyReason(result, sent);
    // One missing issuer comes as several results: each reason is named once.
    if (reasons.contains(reason)) continue;
    reasons << reason;
    problems << reason + QStringLiteral(" (") +
                    QString::fromUtf8(X509_verify_cert_error_string(result)) + u')';
  }
  return QStringLiteral("検証 NG: ") + problems.join(u'、');
}

QString TlsHandshakeReason(int reasonCode) {
  switch (reasonCode) {
    case 0:
    case SSL_R_UNEXPECTED_EOF_WHILE_READING:
      return QStringLiteral("相手が接続を閉じました");
    case SSL_R_UNSUPPORTED_PROTOCOL:
    case SSL_R_NO_PROTOCOLS_AVAILABLE:
    case SSL_R_TLSV1_ALERT_PROTOCOL_VERSION:
    case SSL_R_WRONG_VERSION_NUMBER:
    case SSL_R_PACKET_LENGTH_TOO_LONG:
      return QStringLiteral("TLS のバージョンが合いません");
    case SSL_R_SSLV3_ALERT_HANDSHAKE_FAILURE:
    case SSL_R_NO_SHARED_CIPHER:
    case SSL_R_NO_CIPHERS_AVAILABLE:
    case SSL_R_NO_SUITABLE_SIGNATURE_ALGORITHM:
      return QStringLiteral("共通の暗号スイートがありません");
    default:
      return QStringLiteral("TLS の接続に失敗しました");
  }
}

QString TlsHandshakeLine(const QString& reason) {
  return QStringLiteral(" - TLS ハンドシェイク失敗: ") + reason;
}

QString TlsSetupReason(TTlsSetupFault fault) {
  return fault == TTlsSetupFault::Name ? QStringLiteral("このホスト名は TLS で使えません")
                                       : QStringLiteral("接続先のアドレスを証明書と照合できません");
}

QString TlsSessionVerdict(SSL* ssl, const QList<long>& problems) {
  STACK_OF(X509)* chain = SSL_get_peer_cert_chain(ssl);
  return TlsVerdictLine(problems, chain ? sk_X509_num(chain) : 0);
}

QStringList TlsSessionReport(SSL* ssl, const QList<long>& problems) {
  QStringList lines;
  lines << QStringLiteral("TLS: ") + QString::fromLatin1(SSL_get_version(ssl)) +
               QStringLiteral("  暗号スイート: ") +
               QString::fromLatin1(SSL_CIPHER_get_name(SSL_get_current_cipher(ssl)));
  STACK_OF(X509)* chain = SSL_get_peer_cert_chain(ssl);
  const int sent = chain ? sk_X509_num(chain) : 0;
  for (int i = 0; i < sent; ++i) AddCertificate(lines, sk_X509_value(chain, i), i + 1, i == 0);
  if (sent == 0) lines << QStringLiteral("証明書: なし");
  lines << TlsSessionVerdict(ssl, problems);
  return lines;
}
