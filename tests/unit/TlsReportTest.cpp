#include <gtest/gtest.h>
#include <openssl/x509_vfy.h>

#include "workers/TlsReport.h"

namespace {

struct TVerdictCase {
  long Result;
  int Sent;
  const char* Line;
};

// The library's text is passed through; "lib" stands for it here. The live
// servers of HttpsTest give the other results (expired, not yet valid, a
// self-signed leaf, a leaf sent alone, a wrong name or address).
const TVerdictCase VerdictCases[] = {
    {X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN, 3, "検証 NG: 自己署名 (lib)"},
    // A leaf sent alone whose issuer is unknown lacks its intermediate; with
    // a chain sent, the top of it is unknown.
    {X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE, 1, "検証 NG: 中間証明書が足りません (lib)"},
    {X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY, 2, "検証 NG: 発行者が不明 (lib)"},
    {X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT, 2, "検証 NG: 発行者が不明 (lib)"},
    {X509_V_ERR_CERT_SIGNATURE_FAILURE, 2, "検証 NG: 検証できません (lib)"},
};

TEST(TlsReport, VerdictLineOfEachVerificationResult) {
  for (const TVerdictCase& c : VerdictCases) {
    SCOPED_TRACE(c.Line);
    EXPECT_EQ(TlsVerdictLine(c.Result, c.Sent, QStringLiteral("lib")), QString::fromUtf8(c.Line));
  }
}

TEST(TlsReport, DaysLeftCountsDownThenSaysWhenItEnded) {
  EXPECT_EQ(DaysLeftText(30), QStringLiteral("残り 30 日"));
  EXPECT_EQ(DaysLeftText(0), QStringLiteral("残り 0 日"));
  EXPECT_EQ(DaysLeftText(-3), QStringLiteral("3 日前に終了"));
}

}  // namespace
