// What else reaches a raw ICMP socket while a raw worker waits for its
// answer: errors caused by other people's traffic or by other requests of
// ours, and our own echo replies to other requests. Runs inside
// chain_netns.sh; the worker asks the black hole, which never answers.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

#include "IcmpWorkerRun.h"
#include "common/Common.h"
#include "platform/RawIcmp.h"

namespace {

quint32 EnvAddr(const char* name) { return inet_addr(std::getenv(name)); }

// Sends traffic of its own and sees what comes back: a raw socket gets a copy
// of every ICMP message, so once the probe has its answers, so has the worker.
class TProbe {
 public:
  TProbe() : FFd(OpenRawIcmp()) { SetReceiveTimeout(FFd, 5000); }
  ~TProbe() {
    if (FFd >= 0) ::close(FFd);
  }
  TProbe(const TProbe&) = delete;
  TProbe& operator=(const TProbe&) = delete;

  void Echo(quint32 dest, quint16 identifier, quint16 sequence, int ttl) {
    std::vector<quint8> request(size_t(EchoRequestSize(32)));
    BuildEchoRequest(request, 32, sequence, identifier, TickCount());
    SetTtl(FFd, ttl);
    EXPECT_TRUE(SendIcmp(FFd, dest, request));
    ++FSent;
  }
  // A UDP datagram, as a classic traceroute sends.
  void Udp(quint32 dest, int ttl) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ::setsockopt(fd, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(33434);
    to.sin_addr.s_addr = dest;
    EXPECT_EQ(::sendto(fd, "probe", 5, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to), 5);
    ::close(fd);
    ++FSent;
  }
  // Until everything sent has been answered (time exceeded or echo reply).
  bool AwaitAnswers() {
    std::vector<quint8> buffer(2048);
    for (int seen = 0; seen < FSent;) {
      const int n = ReceiveIcmp(FFd, buffer);
      if (n < 0) return false;
      const TIcmpDatagram d = DecodeIcmpReply(std::span<const quint8>(buffer).first(size_t(n)));
      seen += d.FValid && (d.FType == IcmpTimeExceeded || d.FType == IcmpEchoReply) ? 1 : 0;
    }
    return true;
  }

 private:
  const int FFd;
  int FSent = 0;
};

TEST(RawWait, OnlyAnswersToTheCurrentRequestEndTheWait) {
  if (!std::getenv("CHAIN_TARGET")) GTEST_SKIP() << "needs the namespaces of chain_netns.sh";
  const quint32 target = EnvAddr("CHAIN_TARGET");
  const quint16 us = EchoIdentifier();
  const quint16 someoneElse = us ^ 0x8000;
  const struct {
    const char* Name;
    bool Trace;  // hop 2, else Ping request 1 (sequence 0)
    std::function<void(TProbe&)> Send;
    QList<QByteArray> Lines;
    bool EndsByTimeOut;
  } cases[] = {
      {"ping: time exceeded for other traffic",
       false,
       [&](TProbe& p) {
         p.Echo(target, us, 7, 1);           // another request of ours
         p.Echo(target, someoneElse, 0, 1);  // someone else's ping
         p.Udp(target, 1);                   // someone else's trace
       },
       {MessageLine(1, TextNoReply)},
       true},
      {"trace: time exceeded for other traffic, our reply to an earlier hop",
       true,
       [&](TProbe& p) {
         p.Echo(target, us, 1, 1);
         p.Echo(target, someoneElse, 2, 1);
         p.Udp(target, 1);
         p.Echo(target, us, 1, 64);
       },
       {MessageLine(2, TextNoReply)},
       true},
      {"ping: time exceeded for this very request",
       false,
       [&](TProbe& p) { p.Echo(target, us, 0, 1); },
       {MessageLine(1, TextTimeExceeded)},
       false},
      {"ping: our reply to a later request ends the wait without a line",
       false,
       [&](TProbe& p) { p.Echo(target, us, 5, 64); },
       {},
       false},
  };
  const int sockets = OpenSockets();
  for (const auto& c : cases) {
    TProbe probe;
    TWorkerRun run;
    const char* blackhole = std::getenv("CHAIN_BLACKHOLE");
    if (c.Trace)
      run.StartTrace(TMode::Raw, blackhole, {3, 2, 2, false});
    else
      run.StartPing(TMode::Raw, blackhole, "", {3, 1, 100, 32, 64, false});
    ASSERT_TRUE(run.CollectUntilStatus(c.Trace ? HopStatus(2) : WaitingStatus())) << c.Name;
    c.Send(probe);
    ASSERT_TRUE(probe.AwaitAnswers()) << c.Name;
    if (c.EndsByTimeOut) {
      run.CollectUntil([](const auto&) { return true; });
      ASSERT_TRUE(run.Lines().isEmpty()) << c.Name << ": the wait ended before the probes came";
    }
    ASSERT_TRUE(run.CollectUntilFinish()) << c.Name;
    EXPECT_EQ(run.Lines(), c.Lines) << c.Name;
  }
  EXPECT_EQ(OpenSockets(), sockets);
}

}  // namespace
