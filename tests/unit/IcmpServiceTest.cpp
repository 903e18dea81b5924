// The parts of the echo service that need no network: the status of each
// ICMP error, the handle slot, and calls on handles that are not open. The
// exchanges themselves are tested in tests/net (they need a namespace).
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "platform/EchoMethod.h"
#include "platform/IcmpService.h"
#include "platform/RawIcmpHelper.h"

namespace {

TEST(IcmpErrorStatusTest, EveryErrorMapsToItsStatus) {
  struct TCase {
    quint8 Type, Code;
    quint32 Status;
  };
  const TCase cases[] = {
      {3, 0, IpDestNetUnreachable},
      {3, 1, IpDestHostUnreachable},
      {3, 2, IpDestProtUnreachable},
      {3, 3, IpDestPortUnreachable},
      {3, 4, IpPacketTooBig},
      {3, 13, IpDestHostUnreachable},
      {3, 99, IpDestHostUnreachable},
      {11, 0, IpTtlExpiredTransit},
      {11, 1, IpTtlExpiredReassem},
      // No answer: the request went on (redirect) or the kind is unknown.
      {5, 1, IpSuccess},
      {0, 0, IpSuccess},
      {42, 0, IpSuccess},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(IcmpErrorStatus(c.Type, c.Code), c.Status) << int(c.Type) << "/" << int(c.Code);
  EXPECT_EQ(IpTtlExpiredTransit, 11013u);
}

TEST(IcmpServiceTest, HandlesThatAreNotOpenGiveNoReply) {
  alignas(TIcmpEchoReply) quint8 reply[128] = {};
  const quint8 data[16] = {};
  for (TIcmpHandle handle : {InvalidHandleValue, TIcmpHandle(0), TIcmpHandle(1) << 40}) {
    EXPECT_EQ(IcmpSendEcho(handle, inet_addr("127.0.0.1"), data, sizeof data, nullptr, reply,
                           sizeof reply, 10),
              0u);
    EXPECT_FALSE(IcmpCloseHandle(handle));
  }
}

// A failure names its cause and, where a privilege or setting is missing,
// the one that would fix it: for raw sockets the helper's capability, never
// the program's.
TEST(EchoMethodTest, FailuresSayWhyAndWhatWouldFixThem) {
  QTemporaryDir dir;
  QFile helper(dir.filePath(IcmpHelperName));
  ASSERT_TRUE(helper.open(QIODevice::WriteOnly) && helper.setPermissions(QFile::ExeOwner));
  SetIcmpHelperPath(helper.fileName());
  const QString setcap = "sudo setcap cap_net_raw+ep " + helper.fileName();
  const struct {
    QString Text;
    const char* Cause;
    QString Fix;  // empty: no hint
  } cases[] = {
      {RawIcmpFailure(EPERM), "EPERM", setcap},
      {RawIcmpFailure(EACCES), "EACCES", setcap},
      {RawIcmpFailure(EMFILE), "EMFILE", {}},
      {IcmpServiceFailure(EACCES), "EACCES", "net.ipv4.ping_group_range"},
      {IcmpServiceFailure(EAFNOSUPPORT), "EAFNOSUPPORT",
       "ICMP データグラムソケットに対応していません"},
      {IcmpServiceFailure(ENOBUFS), "ENOBUFS", {}},
  };
  SetIcmpHelperPath({});
  for (const auto& c : cases) {
    EXPECT_TRUE(c.Text.contains(QLatin1StringView(c.Cause))) << c.Text.toStdString();
    const bool hinted = c.Text.contains(u"CAP_NET_RAW") || c.Text.contains(u"ping_group_range") ||
                        c.Text.contains(u"対応していません");
    EXPECT_EQ(hinted, !c.Fix.isEmpty()) << c.Text.toStdString();
    EXPECT_TRUE(c.Text.contains(c.Fix)) << c.Text.toStdString();
  }
}

}  // namespace
