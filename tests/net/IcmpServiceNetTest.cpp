// The ICMP echo service and the raw ICMP socket helpers against real routers:
// runs inside chain_netns.sh (client - router1 - router2 - target), whose
// addresses arrive in CHAIN_* variables.
#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "SlowResponder.h"
#include "common/Common.h"
#include "platform/IcmpLink.h"
#include "platform/IcmpService.h"
#include "platform/RawIcmp.h"
#include "workers/IcmpPacket.h"

namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;
using TBytes = std::vector<quint8>;

const char* Env(const char* name) { return std::getenv(name); }
quint32 EnvAddr(const char* name) { return inet_addr(Env(name)); }

std::string Dotted(quint32 addr) {
  in_addr a{addr};
  return inet_ntoa(a);
}

int OpenDescriptors() {
  int count = 0;
  DIR* dir = opendir("/proc/self/fd");
  while (dirent* e = readdir(dir)) count += e->d_name[0] != '.';
  closedir(dir);
  return count - 1;  // the directory's own
}

long long MsSince(TClock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - start).count();
}

// One echo through the service, with the reply record and echoed data.
struct TEcho {
  quint32 Count = 0;
  TIcmpEchoReply Reply;
  TBytes Data;
};

TEcho Echo(TIcmpHandle handle, quint32 dest, quint8 ttl, quint32 timeoutMs, int dataSize = 32,
           quint8 fill = 0xAA, quint8 flags = 0) {
  const TBytes request(size_t(dataSize), fill);
  std::vector<quint8> buffer(size_t(dataSize) + 44 + sizeof(TIcmpEchoReply));
  TIpOptionInformation options;
  options.Ttl = ttl;
  options.Flags = flags;
  TEcho echo;
  echo.Count = IcmpSendEcho(handle, dest, request.data(), quint16(dataSize), &options,
                            buffer.data(), quint32(buffer.size()), timeoutMs);
  std::memcpy(&echo.Reply, buffer.data(), sizeof echo.Reply);
  if (echo.Count == 1) {
    const auto* data = static_cast<const quint8*>(echo.Reply.Data);
    EXPECT_EQ(data, buffer.data() + sizeof(TIcmpEchoReply));
    echo.Data.assign(data, data + echo.Reply.DataSize);
  }
  return echo;
}

class TChainTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!Env("CHAIN_TARGET")) GTEST_SKIP() << "needs the namespaces of chain_netns.sh";
    FTarget = EnvAddr("CHAIN_TARGET");
    FHandle = IcmpCreateFile();
    ASSERT_NE(FHandle, InvalidHandleValue) << "ICMP datagram socket: " << std::strerror(errno);
  }
  void TearDown() override {
    if (FHandle != InvalidHandleValue) IcmpCloseHandle(FHandle);
  }
  quint32 FTarget = 0;
  TIcmpHandle FHandle = InvalidHandleValue;
};

// --- Echo service ------------------------------------------------------------

TEST_F(TChainTest, EchoToTheTarget) {
  const TEcho echo = Echo(FHandle, FTarget, 64, 5000, 100, 0x5C);
  ASSERT_EQ(echo.Count, 1u);
  EXPECT_EQ(echo.Reply.Status, IpSuccess);
  EXPECT_EQ(Dotted(echo.Reply.Address), Env("CHAIN_TARGET"));
  EXPECT_LT(echo.Reply.RoundTripTime, 5000u);
  EXPECT_EQ(echo.Data, TBytes(100, 0x5C));
  EXPECT_EQ(echo.Reply.Options.Ttl, 62);  // sent with 64, two routers on the way back

  const TEcho loopback = Echo(FHandle, inet_addr("127.0.0.1"), 64, 5000);
  ASSERT_EQ(loopback.Count, 1u);
  EXPECT_EQ(loopback.Reply.Status, IpSuccess);
  EXPECT_EQ(Dotted(loopback.Reply.Address), "127.0.0.1");
}

TEST_F(TChainTest, TimeToLiveNamesEachHop) {
  const struct {
    quint8 Ttl;
    const char* Answerer;
    quint32 Status;
  } hops[] = {
      {1, "CHAIN_ROUTER1", IpTtlExpiredTransit},
      {2, "CHAIN_ROUTER2", IpTtlExpiredTransit},
      {3, "CHAIN_TARGET", IpSuccess},
      {255, "CHAIN_TARGET", IpSuccess},
  };
  for (const auto& hop : hops) {
    const TEcho echo = Echo(FHandle, FTarget, hop.Ttl, 5000);
    ASSERT_EQ(echo.Count, 1u) << "ttl " << int(hop.Ttl);
    EXPECT_EQ(echo.Reply.Status, hop.Status) << "ttl " << int(hop.Ttl);
    EXPECT_EQ(Dotted(echo.Reply.Address), Env(hop.Answerer)) << "ttl " << int(hop.Ttl);
  }
}

TEST_F(TChainTest, UnreachableDestinations) {
  // Routers send these at most about once a second after a burst of five, so
  // every address is asked once.
  const struct {
    const char* Dest;
    quint32 Status;
  } cases[] = {
      {"CHAIN_HOST_UNREACHABLE", IpDestHostUnreachable},
      {"CHAIN_NET_UNREACHABLE", IpDestNetUnreachable},
      {"CHAIN_PROHIBITED", IpDestHostUnreachable},
  };
  for (const auto& c : cases) {
    const TEcho echo = Echo(FHandle, EnvAddr(c.Dest), 64, 5000);
    ASSERT_EQ(echo.Count, 1u) << c.Dest;
    EXPECT_EQ(echo.Reply.Status, c.Status) << c.Dest;
    EXPECT_EQ(Dotted(echo.Reply.Address), Env("CHAIN_ROUTER2")) << c.Dest;
  }
}

TEST_F(TChainTest, DontFragmentFollowsTheFlag) {
  const int size = std::atoi(Env("CHAIN_SMALL_MTU")) + 100;
  const TEcho fragmented = Echo(FHandle, FTarget, 64, 5000, size, 0x33, 0);
  ASSERT_EQ(fragmented.Count, 1u);
  EXPECT_EQ(fragmented.Reply.Status, IpSuccess);
  EXPECT_EQ(fragmented.Data, TBytes(size_t(size), 0x33));

  // The first time router1 says so; once the system knows the path, the send
  // itself is refused. Both are "too big".
  for (int i = 0; i < 2; ++i) {
    const TEcho whole = Echo(FHandle, FTarget, 64, 5000, size, 0x33, IpFlagDontFragment);
    ASSERT_EQ(whole.Count, 1u) << i;
    EXPECT_EQ(whole.Reply.Status, IpPacketTooBig) << i;
  }
}

TEST_F(TChainTest, NoAnswerGivesNoReplyAfterTheTimeOut) {
  const auto start = TClock::now();
  const TEcho echo = Echo(FHandle, EnvAddr("CHAIN_BLACKHOLE"), 64, 300);
  const long long waited = MsSince(start);
  EXPECT_EQ(echo.Count, 0u);
  EXPECT_GE(waited, 290);
  EXPECT_LT(waited, 5000);
}

TEST_F(TChainTest, CloseFromAnotherThreadWakesThePendingSend) {
  const quint32 blackhole = EnvAddr("CHAIN_BLACKHOLE");
  const auto start = TClock::now();
  auto pending =
      std::async(std::launch::async, [&] { return Echo(FHandle, blackhole, 64, 30000); });
  std::this_thread::sleep_for(200ms);
  EXPECT_TRUE(IcmpCloseHandle(FHandle));  // Stop
  ASSERT_EQ(pending.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(pending.get().Count, 0u);
  EXPECT_LT(MsSince(start), 10000);
  EXPECT_EQ(Echo(FHandle, FTarget, 64, 5000).Count, 0u);  // closed stays closed
  EXPECT_FALSE(IcmpCloseHandle(FHandle));
  FHandle = InvalidHandleValue;
}

// Every way a handle is used and closed, the close racing the send at
// different moments among them, leaves no descriptor behind.
TEST_F(TChainTest, CloseRacingTheSendLeaksNothing) {
  const quint32 blackhole = EnvAddr("CHAIN_BLACKHOLE");
  IcmpCloseHandle(FHandle);
  FHandle = InvalidHandleValue;
  const int before = OpenDescriptors();
  for (int i = 0; i < 20; ++i) {
    const TIcmpHandle handle = IcmpCreateFile();
    ASSERT_NE(handle, InvalidHandleValue);
    EXPECT_EQ(Echo(handle, FTarget, 64, 5000).Count, 1u);
    EXPECT_EQ(Echo(handle, FTarget, 1, 5000).Count, 1u);
    EXPECT_EQ(Echo(handle, blackhole, 64, 20).Count, 0u);
    auto pending =
        std::async(std::launch::async, [&] { return Echo(handle, blackhole, 64, 30000); });
    std::this_thread::sleep_for(std::chrono::microseconds(i * 100));
    EXPECT_TRUE(IcmpCloseHandle(handle));
    ASSERT_EQ(pending.wait_for(10s), std::future_status::ready) << i;
    EXPECT_EQ(pending.get().Count, 0u) << i;
  }
  EXPECT_TRUE(OpenRawLink(TAddressFamily::IPv4));
  EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(TChainTest, LateAnswersOfEarlierRequestsAreSkipped) {
  TSlowResponder responder(600ms);
  ASSERT_TRUE(responder.WaitReady());
  // Each late answer arrives while the next request waits for its own.
  for (quint8 earlier : {quint8(0x11), quint8(0xEE)}) {
    EXPECT_EQ(Echo(FHandle, FTarget, 64, 100, 32, earlier).Count, 0u) << int(earlier);
    const TEcho current = Echo(FHandle, FTarget, 64, 10000, 32, 0x22);
    ASSERT_EQ(current.Count, 1u) << int(earlier);
    EXPECT_EQ(current.Reply.Status, IpSuccess) << int(earlier);
    EXPECT_EQ(current.Data, TBytes(32, 0x22)) << int(earlier);
    EXPECT_GE(current.Reply.RoundTripTime, 500u) << int(earlier);  // its own, late, answer
  }
}

// --- Raw ICMP sockets -------------------------------------------------------------

class TRawTest : public TChainTest {
 protected:
  void SetUp() override {
    TChainTest::SetUp();
    if (IsSkipped()) return;
    FFd = OpenRawIcmp();
    ASSERT_GE(FFd, 0) << "raw ICMP socket: " << std::strerror(errno);
    ASSERT_TRUE(SetReceiveTimeout(FFd, 5000));
  }
  void TearDown() override {
    if (FFd >= 0) ::close(FFd);
    TChainTest::TearDown();
  }
  // Sends echo request `sequence` with dataSize bytes and decodes what comes
  // back first.
  TIcmpDatagram Exchange(quint32 dest, int dataSize, quint16 sequence, int fd = -1) {
    fd = fd < 0 ? FFd : fd;
    TBytes request(size_t(EchoRequestSize(dataSize)));
    EXPECT_TRUE(BuildEchoRequest(request, dataSize, sequence));
    if (!SendIcmp(fd, dest, request)) return {};
    TBytes reply(size_t(ReceiveBufferSize(dataSize)));
    const int n = ReceiveIcmp(fd, reply);
    return n > 0 ? DecodeIcmpReply(std::span(reply).first(size_t(n))) : TIcmpDatagram{};
  }
  int FFd = -1;
};

TEST_F(TRawTest, LoopbackGivesTheReplyNotOurOwnRequest) {
  const quint32 loopback = inet_addr("127.0.0.1");
  // The kernel answers only requests whose checksum is right, odd sizes too.
  for (int dataSize : {16, 17, 4096}) {
    const TIcmpDatagram d = Exchange(loopback, dataSize, quint16(dataSize));
    ASSERT_TRUE(d.FValid) << dataSize;
    EXPECT_EQ(d.FType, IcmpEchoReply) << dataSize;
    EXPECT_TRUE(IsEchoReplyFor(d, EchoIdentifier())) << dataSize;
    EXPECT_EQ(d.FSequence, dataSize);
    EXPECT_EQ(d.FSourceAddr, loopback);
  }
  // Control: without the filter the first datagram is our own request.
  const int unfiltered = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  ASSERT_GE(unfiltered, 0);
  SetReceiveTimeout(unfiltered, 5000);
  EXPECT_EQ(Exchange(loopback, 16, 1, unfiltered).FType, IcmpEchoRequest);
  ::close(unfiltered);
}

TEST_F(TRawTest, TimeExceededQuotesOurRequest) {
  ASSERT_TRUE(SetTtl(FFd, 1));
  const TIcmpDatagram d = Exchange(FTarget, 32, 7);
  ASSERT_TRUE(d.FValid);
  EXPECT_EQ(d.FType, IcmpTimeExceeded);
  EXPECT_EQ(Dotted(d.FSourceAddr), Env("CHAIN_ROUTER1"));
  EXPECT_EQ(d.FQuote, TQuote::EchoRequest);
  EXPECT_TRUE(QuotesEchoRequest(d, EchoIdentifier(), 7));
  EXPECT_FALSE(QuotesEchoRequest(d, EchoIdentifier(), 6));
  EXPECT_EQ(d.FQuotedDestAddr, FTarget);

  ASSERT_TRUE(SetTtl(FFd, 64));
  const TIcmpDatagram reply = Exchange(FTarget, 32, 8);
  EXPECT_TRUE(IsEchoReplyFor(reply, EchoIdentifier()));
  EXPECT_EQ(reply.FSourceAddr, FTarget);
}

TEST_F(TRawTest, DontFragment) {
  // A path of its own: the echo service's test has taught the system the
  // small MTU towards the first target address.
  const quint32 target = EnvAddr("CHAIN_TARGET2");
  const int size = std::atoi(Env("CHAIN_SMALL_MTU")) + 100;
  ASSERT_TRUE(SetDontFragment(FFd, false));
  const TIcmpDatagram fragmented = Exchange(target, size, 1);
  EXPECT_TRUE(IsEchoReplyFor(fragmented, EchoIdentifier()));
  EXPECT_EQ(fragmented.FSourceAddr, target);

  ASSERT_TRUE(SetDontFragment(FFd, true));
  // Router1 says "fragmentation needed"; once the system knows the path it
  // refuses the send itself.
  const TIcmpDatagram tooBig = Exchange(target, size, 2);
  EXPECT_EQ(tooBig.FType, IcmpDestUnreachable);
  EXPECT_EQ(tooBig.FCode, 4);
  EXPECT_TRUE(QuotesEchoRequest(tooBig, EchoIdentifier(), 2));
  TBytes request(size_t(EchoRequestSize(size)));
  BuildEchoRequest(request, size, 3);
  EXPECT_FALSE(SendIcmp(FFd, target, request));
  EXPECT_EQ(errno, EMSGSIZE);
}

TEST_F(TRawTest, ShutdownWakesABlockedReceive) {
  ASSERT_TRUE(SetReceiveTimeout(FFd, 30000));
  const auto start = TClock::now();
  auto pending = std::async(std::launch::async, [&] {
    TBytes buffer(64);
    return ReceiveIcmp(FFd, buffer);
  });
  std::this_thread::sleep_for(200ms);
  ::shutdown(FFd, SHUT_RDWR);
  ASSERT_EQ(pending.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(pending.get(), -1);  // not a datagram of 0 bytes
  EXPECT_LT(MsSince(start), 10000);
}

}  // namespace
