#include "workers/NsThrd.h"

#include "common/Common.h"
#include "common/QueryText.h"
#include "common/SjisText.h"

namespace {

// The lines of a found host: its name, each address (at most 256, the IPv4
// ones first), and the first alias when there is one.
QList<QByteArray> HostEntryLines(const THostEntry& entry) {
  QList<QByteArray> lines{ToSjis(u"    ホスト名: ") + entry.OfficialName};
  const QByteArray label = ToSjis(u"ＩＰアドレス: ");
  for (qsizetype i = 0; i < entry.Addresses.size() && i < 256; ++i)
    lines.append(label + entry.Addresses[i].ToLatin1());
  if (!entry.Aliases.isEmpty()) lines.append(ToSjis(u"  エイリアス: ") + entry.Aliases.first());
  return lines;
}

}  // namespace

TNsLookupThread::TNsLookupThread(std::shared_ptr<TOutputChannel> channel, TLookupSetup lookup,
                                 const QString& name)
    : TQueryThread(std::move(channel), std::move(lookup)), FName(name) {}

void TNsLookupThread::Work() {
  THostEntry entry;
  if (!LookupHost(FName, true, &entry)) return;
  for (const QByteArray& line : HostEntryLines(entry)) SyncAddOutput(line);
}

TIpScanThread::TIpScanThread(std::shared_ptr<TOutputChannel> channel, TLookupSetup lookup,
                             const QString& prefix, int first, int last, bool onlyFound)
    : TQueryThread(std::move(channel), std::move(lookup)),
      FPrefix(prefix),
      FFirst(first),
      FLast(last),
      FOnlyFound(onlyFound) {}

void TIpScanThread::Work() {
  quint32 probe = 0;
  const bool valid = IsIPv6ScanPrefix(FPrefix)
                         ? !ScanAddressText(FPrefix, 1).isEmpty()
                         : ParseDottedAddress(FPrefix + QStringLiteral(".1"), &probe);
  if (!valid) {
    SyncAddOutput(ToSjis(u"有効なアドレスではありません。"));
    return;
  }
  for (int n = FFirst; n <= FLast && !Terminated(); ++n) ScanOne(n);
}

// A found host's lines and an empty line; for an address without a name the
// lookup's own line and an empty line, or nothing at all with onlyFound.
void TIpScanThread::ScanOne(int n) {
  THostEntry entry;
  if (LookupHost(ScanAddressText(FPrefix, n), !FOnlyFound, &entry)) {
    for (const QByteArray& line : HostEntryLines(entry)) SyncAddOutput(line);
    SyncAddOutput(QByteArray());
  } else if (!FOnlyFound) {
    SyncAddOutput(QByteArray());
  }
}
