#include <gtest/gtest.h>
#include <openssl/x509_vfy.h>

#include "workers/TlsReport.h"

namespace {

struct TVerdictCase {
  long Result;
  int Sent;
  const char* Line;
};

// The reasons alone; HttpsTest's live servers give whole verdict lines.
const TVerdictCase VerdictCases[] = {
    {X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN, 3, "自己署名"},
    // A leaf sent alone whose issuer is unknown lacks its intermediate; with
    // a chain sent, the top of it is unknown.
    {X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE, 1, "中間証明書が足りません"},
    {X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY, 2, "発行者が不明"},
    {X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT, 2, "発行者が不明"},
    {X509_V_ERR_CERT_SIGNATURE_FAILURE, 2, "検証できません"},
};

TEST(TlsReport, ReasonOfEachVerificationResult) {
  for (const TVerdictCase& c : VerdictCases) {
    SCOPED_TRACE(c.Line);
    EXPECT_EQ(TlsVerifyReason(c.Result, c.Sent), QString::fromUtf8(c.Line));
  }
}

}  // namespace
