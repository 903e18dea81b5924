#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/utsname.h>

#include <cstring>

#include "platform/SocketLayer.h"

namespace {

// Sets the open-file limit for one test and puts the old one back.
class TNoFileLimit {
 public:
  TNoFileLimit() { getrlimit(RLIMIT_NOFILE, &FSaved); }
  ~TNoFileLimit() { setrlimit(RLIMIT_NOFILE, &FSaved); }
  // Raising the hard limit needs CAP_SYS_RESOURCE.
  bool Set(rlim_t soft, rlim_t hard) {
    const rlimit limit{soft, hard};
    return setrlimit(RLIMIT_NOFILE, &limit) == 0;
  }
  rlim_t Hard() const { return FSaved.rlim_max; }

 private:
  rlimit FSaved{};
};

TEST(SocketLayer, StartUpFillsTheRecord) {
  TWsaData data;
  ASSERT_EQ(WSAStartup(MakeVersion(1, 1), &data), 0);
  EXPECT_EQ(data.Version, 0x0101);
  EXPECT_EQ(data.HighVersion, 0x0202);
  EXPECT_EQ(data.MaxUdpDg, 65507);
  utsname name{};
  ASSERT_EQ(uname(&name), 0);
  const QByteArray description = WsaRecordText(data.Description);
  EXPECT_TRUE(description.contains("Linux")) << description.constData();
  EXPECT_TRUE(description.contains(name.release)) << description.constData();
  EXPECT_EQ(WsaRecordText(data.SystemStatus), "Running");
  EXPECT_EQ(WSACleanup(), 0);
}

TEST(SocketLayer, RefusesWhatItCannotServe) {
  TWsaData data;
  data.MaxUdpDg = 7;
  EXPECT_EQ(WSAStartup(MakeVersion(1, 0), &data), WsaVerNotSupported);
  EXPECT_EQ(WSAStartup(MakeVersion(0, 9), &data), WsaVerNotSupported);
  EXPECT_EQ(data.MaxUdpDg, 7);  // untouched
  EXPECT_EQ(WSAStartup(MakeVersion(1, 1), nullptr), WsaEFault);
  // A newer request gets the highest version there is.
  ASSERT_EQ(WSAStartup(MakeVersion(3, 0), &data), 0);
  EXPECT_EQ(data.Version, 0x0202);
}

TEST(SocketLayer, MaxSocketsFollowsTheOpenFileLimit) {
  TNoFileLimit limit;
  TWsaData data;
  ASSERT_TRUE(limit.Set(100, limit.Hard()));
  ASSERT_EQ(WSAStartup(MakeVersion(1, 1), &data), 0);
  EXPECT_EQ(data.MaxSockets, 100);
}

TEST(SocketLayer, MaxSocketsIsCappedAt16Bits) {
  TNoFileLimit limit;
  TWsaData data;
  if (!limit.Set(70000, 70000)) GTEST_SKIP() << "cannot raise the open-file limit above 65535";
  ASSERT_EQ(WSAStartup(MakeVersion(1, 1), &data), 0);
  EXPECT_EQ(data.MaxSockets, 65535);
}

TEST(SocketLayer, RecordTextEndsAtZeroOrAtTheFieldEnd) {
  char full[257];
  std::memset(full, 'x', sizeof full);
  EXPECT_EQ(WsaRecordText(full).size(), 257);
  full[5] = '\0';
  EXPECT_EQ(WsaRecordText(full), QByteArray("xxxxx"));
}

}  // namespace
