// An RDAP exchange's outside bytes: the HTTP reply, the JSON record shown
// as lines, and a bootstrap file. No control character may reach a line,
// nor a byte below a blank its Shift_JIS form; a bootstrap names https
// services only.

#include "FuzzCheck.h"
#include "common/Cp932.h"
#include "common/HttpReply.h"
#include "common/RdapBootstrap.h"
#include "common/RdapReply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  if (const std::optional<THttpReply> reply = ParseHttpReply(bytes))
    CHECK(reply->Status >= 0 && reply->Status <= 999 && bytes.endsWith(reply->Body));
  const TRdapReport report = RdapReport(bytes);
  CHECK(report.Related.isEmpty() || report.Related.startsWith(QStringLiteral("https://")));
  for (const QString& line : report.Lines) {
    CHECK(line == RdapSafeText(line));
    for (const char c : UnicodeToSjis(line, "\x81\xAC")) CHECK(uchar(c) >= 0x20 && c != 0x7F);
  }
  for (const TBootstrapKind kind : BootstrapKinds) {
    const std::optional<TRdapBootstrap> bootstrap = ParseRdapBootstrap(bytes, kind);
    if (!bootstrap) continue;
    CHECK(bootstrap->Publication.isValid());
    for (const TRdapBootstrap::TService& service : bootstrap->Services)
      for (const QString& url : service.Urls)
        CHECK(url.startsWith(QStringLiteral("https://"), Qt::CaseInsensitive) &&
              url.endsWith(u'/'));
  }
  return 0;
}
