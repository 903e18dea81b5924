// URL splitting and dotted addresses of typed text.

#include "FuzzCheck.h"
#include "common/Common.h"
#include "common/NetAddress.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
  const bool blank = text.contains(u' ');

  // A host keeps a ":" only as an IPv6 address: bracketed, or bare with two
  // or more of them.
  const QString host = ExtractUrlHost(text);
  CHECK(!host.contains(u'/'));
  CHECK(!host.contains(u':') || text.contains(u'[' + host + u']') || host.count(u':') >= 2);
  CHECK(text.contains(host));
  CHECK(!blank || host.isEmpty());

  const QString path = ExtractUrlPath(text);
  if (blank) {
    CHECK(path.isEmpty());
  } else {
    CHECK(path.startsWith(u'/'));
    CHECK(!path.contains(u'#'));
    CHECK(path == u"/" || text.contains(path) || (path[1] == u'?' && text.contains(path.mid(1))));
  }

  const QString scheme = ExtractUrlScheme(text);
  CHECK(!blank || scheme.isEmpty());
  if (!scheme.isEmpty())
    CHECK(text.startsWith(scheme + QStringLiteral("://")) && !scheme.contains(u"://"));

  // A port is read only from a ":" between the scheme mark and the path.
  const qsizetype mark = text.indexOf(u"://");
  QString hostPort = mark < 0 ? text : text.mid(mark + 3);
  const qsizetype slash = hostPort.indexOf(u'/');
  if (slash >= 0) hostPort.truncate(slash);
  const int port7 = ExtractUrlPort(text, 7);
  const int port8 = ExtractUrlPort(text, 8);
  if (!hostPort.contains(u':')) CHECK(port7 == 7 && port8 == 8);
  // A port that was read does not depend on the default.
  CHECK((port7 == 7 && port8 == 8) || port7 == port8);

  // A dotted address is nothing but digits, dots and the hex form's letters,
  // and its own text reads back as the same address.
  quint32 addr = 0, again = 0;
  if (ParseDottedAddress(text, &addr)) {
    for (QChar c : text) CHECK(QStringView(u"0123456789abcdefABCDEFxX.").contains(c));
    CHECK(ParseDottedAddress(QString::fromLatin1(FormatDottedAddress(addr)), &again));
    CHECK(again == addr);
  }

  // Any address reads back from its own text as the same address, and IPv4
  // as the dotted parser has it.
  if (const auto address = TNetAddress::Parse(text)) {
    CHECK(!address->IsNull());
    CHECK(TNetAddress::Parse(address->ToString()) == address);
    CHECK(address->ToString() == address->ToString().toLower());
    CHECK(!address->IsIPv4() || !ParseDottedAddress(text, &again) ||
          again == address->IPv4NetOrder());
  }
  return 0;
}
