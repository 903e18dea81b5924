// Any answer, whatever carried it: read whole or refused, and what is read
// is printable ASCII only, so no byte of it can act on the pane or a file.

#include "FuzzCheck.h"
#include "common/DnsAsk.h"
#include "common/DnsWire.h"

namespace {
bool Printable(QStringView text) {
  for (const QChar c : text)
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) return false;
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArrayView wire(reinterpret_cast<const char*>(data), qsizetype(size));
  const std::optional<TDnsMessage> message = ParseDnsMessage(wire);
  if (!message) return 0;
  CHECK(size >= 12);
  for (const QList<TDnsRecord>* section : {&message->Answer, &message->Authority})
    for (const TDnsRecord& r : *section)
      for (const char c : r.Name + r.Data) CHECK(c >= 0x20 && c < 0x7F);
  CHECK(Printable(DnsStatusLine(*message)));
  for (const QString& line : DnsAnswerLines(*message)) CHECK(Printable(line));
  return 0;
}
