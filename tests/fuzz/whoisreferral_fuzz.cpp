// The referral a whois reply line names: a server that can be asked, or
// nothing.

#include "FuzzCheck.h"
#include "common/NetAddress.h"
#include "common/WhoisReferral.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArrayView line(reinterpret_cast<const char*>(data), qsizetype(size));
  const std::optional<TWhoisReferral> referral = WhoisReferralOfLine(line);
  if (!referral) return 0;
  CHECK(!referral->Server.isEmpty());
  for (const QChar c : {u' ', u'\t', u'/'}) CHECK(!referral->Server.contains(c));
  const std::optional<TNetAddress> address = TNetAddress::Parse(referral->Server);
  CHECK(!referral->Server.contains(u':') || (address && address->IsIPv6()));  // in brackets
  CHECK(referral->Port >= 0 && referral->Port <= 65535);
  CHECK(line.contains(referral->Server.toLatin1()));
  return 0;
}
