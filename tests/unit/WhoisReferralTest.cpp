// Which server a whois reply names as the holder of the real record.
#include <gtest/gtest.h>

#include "common/WhoisReferral.h"

namespace {

TWhoisReferral Plain(const char* server, int port = 0) { return {server, port, false, false}; }

TEST(WhoisReferral, FirstReferralOfAReply) {
  const struct {
    const char* Name;
    QList<QByteArray> Lines;
    std::optional<TWhoisReferral> Want;
  } cases[] = {
      {"iana refer",
       {"% IANA WHOIS server", "", "refer:        whois.nic.test"},
       Plain("whois.nic.test")},
      {"iana whois", {"domain: TEST", "whois:  whois.nic.test  "}, Plain("whois.nic.test")},
      {"keys in any case", {"  REFER: Whois.Nic.Test"}, Plain("Whois.Nic.Test")},
      {"arin whois url with port",
       {"ReferralServer:  whois://whois.rir.test:4343/"},
       Plain("whois.rir.test", 4343)},
      {"ipv6 server in brackets", {"ReferralServer: whois://[::1]:4343"}, Plain("::1", 4343)},
      {"arin rwhois is named only",
       {"ReferralServer: rwhois://rwhois.isp.test:4321"},
       TWhoisReferral{"rwhois.isp.test", 4321, false, true}},
      {"registrar asks for the domain alone",
       {"   Registrar WHOIS Server: whois.reg.test"},
       TWhoisReferral{"whois.reg.test", 0, true, false}},
      {"registrar as whois url",
       {"Registrar WHOIS Server: whois://whois.reg.test"},
       TWhoisReferral{"whois.reg.test", 0, true, false}},
      {"the first one counts",
       {"refer: first.test", "ReferralServer: whois://second.test", "whois: third.test"},
       Plain("first.test")},
      {"an unusable one is passed over", {"refer:", "whois: second.test"}, Plain("second.test")},
      // Not whois servers, or not referrals at all.
      {"ldap url", {"ReferralServer: ldap://ldap.rir.test"}, std::nullopt},
      {"web address", {"Registrar WHOIS Server: https://reg.test/whois"}, std::nullopt},
      {"port out of range", {"ReferralServer: whois://w.test:70000"}, std::nullopt},
      {"port 0", {"ReferralServer: whois://w.test:0"}, std::nullopt},
      {"port on a plain referral", {"refer: w.test:43"}, std::nullopt},
      {"blank in the name", {"refer: not a host"}, std::nullopt},
      {"key inside a line", {"% see refer: w.test"}, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(FindWhoisReferral(c.Lines), c.Want);
  }
}

TEST(WhoisReferral, RegistrarIsAskedForTheDomainAlone) {
  EXPECT_EQ(WhoisDomainOfQuery("domain example.test"), "example.test");
  EXPECT_EQ(WhoisDomainOfQuery("=example.test"), "example.test");
}

}  // namespace
