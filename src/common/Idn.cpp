#include "common/Idn.h"

#include <QUrl>
#include <algorithm>

QString HostToAce(const QString& host) {
  const bool ascii =
      std::all_of(host.begin(), host.end(), [](QChar c) { return c.unicode() < 0x80; });
  if (ascii) return host;
  const QByteArray ace = QUrl::toAce(host);
  return ace.isEmpty() ? host : QString::fromLatin1(ace);
}
