// Raw-socket Ping and TraceRoute for an ordinary user, through the helper:
// run by helper_user.sh in the client namespace of chain_netns.sh.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <utility>

#include "IcmpWorkerRun.h"
#include "helper/ProbeWire.h"
#include "platform/EchoMethod.h"
#include "platform/RawIcmpHelper.h"

namespace {

QByteArray Env(const char* name) { return std::getenv(name); }

class TIcmpHelperAsUser : public testing::Test {
 protected:
  void SetUp() override {
    if (Env("ICMP_HELPER_CAPABLE").isEmpty()) GTEST_SKIP() << "needs helper_user.sh";
    // Meaningless if this process could open raw sockets itself.
    ASSERT_LT(::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP), 0);
  }
};

TEST_F(TIcmpHelperAsUser, PingAndTraceRouteRunRawThroughTheCapableHelper) {
  SetIcmpHelperPath(QFile::decodeName(Env("ICMP_HELPER_CAPABLE")));
  EXPECT_FALSE(ProbeEchoMethod().ServiceMode);
  const QByteArray target = Env("CHAIN_TARGET");
  TWorkerRun ping;
  ping.StartPing(TMode::Raw, target.constData(), "", {5, 1, 100, 56, 64, false});
  ASSERT_TRUE(ping.CollectUntilFinish());
  ASSERT_EQ(ping.Lines().size(), 1);
  ExpectTimeLine(ping.Lines()[0], 1, target, "");
  // Each router by its own address, as only a raw socket sees them.
  TWorkerRun trace;
  trace.StartTrace(TMode::Raw, target.constData(), {5, 1, 64, false});
  ASSERT_TRUE(trace.CollectUntilFinish());
  const QList<QByteArray> hops = {Env("CHAIN_ROUTER1"), Env("CHAIN_ROUTER2"), target};
  ASSERT_EQ(trace.Lines().size(), hops.size());
  for (int n = 0; n < hops.size(); ++n) ExpectTimeLine(trace.Lines()[n], n + 1, hops[n], "");
}

// With a helper that lacks the capability, or none, and the echo service
// closed to this user, the probe says why and names both fixes.
TEST_F(TIcmpHelperAsUser, WithoutTheCapabilityTheProbeNamesBothFixes) {
  const QString plain = QFile::decodeName(Env("ICMP_HELPER_PLAIN")), missing = plain + ".missing";
  for (const auto& [helper, fix] :
       {std::pair{plain, "sudo setcap cap_net_raw+ep " + plain},
        std::pair{missing, missing + " が見つからないか、実行できません"}}) {
    SetIcmpHelperPath(helper);
    const TEchoMethod method = ProbeEchoMethod();
    EXPECT_TRUE(method.ServiceMode);
    for (const QString& part : {QStringLiteral("(EPERM)"), fix, QStringLiteral("ping_group_range")})
      EXPECT_TRUE(method.Reason.contains(part)) << method.Reason.toStdString();
  }
}

// A program of anyone's that starts the capable helper itself and speaks
// its protocol record by record, as it likes.
class THostileClient {
 public:
  explicit THostileClient(bool v6 = false) {
    FPair = StartIcmpHelper(QFile::decodeName(Env("ICMP_HELPER_CAPABLE")), &FPid);
    THelperOpen open;
    if (v6) open.Kind = quint16(THelperSocket::RawIcmpV6);
    Send(&open, sizeof open);
    EXPECT_EQ(::recv(FPair, &Ready, sizeof Ready, 0), ssize_t(sizeof Ready));
    EXPECT_EQ(Ready.Error, 0);
  }
  ~THostileClient() { EndIcmpHelper(FPair, FPid); }

  // One record, with a descriptor of ours riding along when fd >= 0.
  void Send(const void* record, size_t size, int fd = -1) {
    iovec part{const_cast<void*>(record), size};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    if (fd >= 0) {
      message.msg_control = control;
      message.msg_controllen = sizeof control;
      cmsghdr* rights = CMSG_FIRSTHDR(&message);
      *rights = {CMSG_LEN(sizeof fd), SOL_SOCKET, SCM_RIGHTS};
      std::memcpy(CMSG_DATA(rights), &fd, sizeof fd);
    }
    EXPECT_EQ(::sendmsg(FPair, &message, MSG_NOSIGNAL), ssize_t(size));
  }
  void Probe(const char* address, quint16 sequence, int fd = -1) {
    THelperProbe probe = To(address, sequence);
    Send(&probe, sizeof probe, fd);
  }
  static THelperProbe To(const char* address, quint16 sequence) {
    THelperProbe probe;
    probe.Sequence = sequence;
    probe.DataSize = 56;
    EXPECT_EQ(::inet_pton(std::strchr(address, ':') ? AF_INET6 : AF_INET, address, probe.Address), 1);
    return probe;
  }
  // The next record within msecs; false at the helper's end or time-out.
  // Never a descriptor with it.
  bool Next(THelperAnswer* answer, QByteArray* datagram, int msecs = 5000) {
    pollfd ready{FPair, POLLIN, 0};
    if (::poll(&ready, 1, msecs) <= 0) return false;
    QByteArray record(sizeof *answer + HelperMaxDatagram, 0);
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
    iovec part{record.data(), size_t(record.size())};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t size = ::recvmsg(FPair, &message, 0);
    if (size < ssize_t(sizeof *answer)) return false;
    EXPECT_EQ(message.msg_controllen, 0u) << "the helper passed a descriptor";
    std::memcpy(answer, record.constData(), sizeof *answer);
    *datagram = record.mid(sizeof *answer, size - ssize_t(sizeof *answer));
    return true;
  }
  // The refusal that ends the helper, 0 when it went on or ended without one.
  int Refusal() {
    THelperAnswer answer;
    QByteArray datagram;
    if (!Next(&answer, &datagram)) return 0;
    if (answer.Event != quint16(THelperEvent::Refused)) return 0;
    EXPECT_FALSE(Next(&answer, &datagram)) << "it goes on after a refusal";
    return answer.Error;
  }

  THelperReady Ready;

 private:
  int FPair = -1;
  pid_t FPid = -1;
};

// Whatever a client of the helper sends, what goes out is an echo request
// it described to a unicast address, within the bounds, or nothing: any
// other record ends the helper with its reason.
TEST_F(TIcmpHelperAsUser, AHostileClientGetsOnlyEchoRequestsWithinTheBounds) {
  using R = THelperRefusal;
  const THelperProbe good = THostileClient::To("127.0.0.1", 1);
  const int socketOption[3] = {IPPROTO_IP, 3 /* IP_HDRINCL */, 1};
  const auto with = [&](auto change) {
    THelperProbe probe = good;
    change(probe);
    return probe;
  };
  const struct {
    const char* Name;
    QByteArray Record;
    R Refusal;
    bool V6 = false;
  } cases[] = {
      {"a socket option's arguments", QByteArray((const char*)socketOption, sizeof socketOption),
       R::Malformed},
      {"a byte longer", QByteArray((const char*)&good, sizeof good) + 'x', R::Malformed},
      {"a byte shorter", QByteArray((const char*)&good, sizeof good - 1), R::Malformed},
      {"another magic", {}, R::Malformed},
      {"a reserved byte", {}, R::Malformed},
      {"don't-fragment 2", {}, R::Malformed},
      {"bytes after the IPv4 address", {}, R::Malformed},
      {"limited broadcast", {}, R::NotUnicast},
      {"multicast", {}, R::NotUnicast},
      {"the unspecified address", {}, R::NotUnicast},
      {"15 bytes of data", {}, R::DataSize},
      {"4097 bytes of data", {}, R::DataSize},
      {"hop limit 0", {}, R::HopLimit},
      {"IPv6 multicast", {}, R::NotUnicast, true},
      {"IPv4-mapped", {}, R::NotUnicast, true},
  };
  const THelperProbe changed[] = {
      with([](THelperProbe& p) { p.Magic ^= 1; }),
      with([](THelperProbe& p) { p.Reserved = 1; }),
      with([](THelperProbe& p) { p.DontFragment = 2; }),
      with([](THelperProbe& p) { p.Address[4] = 1; }),
      THostileClient::To("255.255.255.255", 1),
      THostileClient::To("224.0.0.1", 1),
      THostileClient::To("0.0.0.0", 1),
      with([](THelperProbe& p) { p.DataSize = HelperMinDataSize - 1; }),
      with([](THelperProbe& p) { p.DataSize = HelperMaxDataSize + 1; }),
      with([](THelperProbe& p) { p.HopLimit = 0; }),
      THostileClient::To("ff02::1", 1),
      THostileClient::To("::ffff:127.0.0.1", 1),
  };
  for (const auto& c : cases) {
    const int row = int(&c - cases);
    QByteArray record = c.Record;
    // Past the first three rows, the record is the changed probe of its row.
    if (row >= 3) record = QByteArray((const char*)&changed[row - 3], sizeof good);
    THostileClient client(c.V6);
    client.Send(record.constData(), size_t(record.size()));
    EXPECT_EQ(client.Refusal(), int(c.Refusal)) << c.Name;
  }
}

// A client that asks faster than 100 a second is cut off after a second's
// worth; a descriptor sent along is not taken.
TEST_F(TIcmpHelperAsUser, AHostileClientCannotExceedTheRate) {
  THostileClient client;
  int sent = 0;
  for (int i = 0; i < 150; ++i) client.Probe("127.0.0.1", quint16(i), i == 0 ? 0 : -1);
  THelperAnswer answer;
  QByteArray datagram;
  while (client.Next(&answer, &datagram) && answer.Event != quint16(THelperEvent::Refused))
    sent += answer.Event == quint16(THelperEvent::Sent);
  EXPECT_EQ(answer.Event, quint16(THelperEvent::Refused));
  EXPECT_EQ(answer.Error, int(THelperRefusal::Rate));
  EXPECT_GE(sent, HelperRequestsPerSecond);
  EXPECT_LT(sent, HelperRequestsPerSecond + 10);
}

// Two helpers side by side, each another program to the other: each sees
// the echo replies of its own identifier alone, and each reply echoes the
// very request described (56 bytes of data after the send time, 0xAA).
TEST_F(TIcmpHelperAsUser, EachClientSeesTheAnswersToItsOwnRequestsAlone) {
  THostileClient first, second;
  ASSERT_NE(first.Ready.Identifier, second.Ready.Identifier);
  for (quint16 sequence : {1, 2, 3})
    for (THostileClient* client : {&first, &second}) {
      client->Probe("127.0.0.1", sequence);
      client->Probe(Env("CHAIN_TARGET").constData(), quint16(sequence + 10));
    }
  for (THostileClient* client : {&first, &second}) {
    std::set<int> replies;
    THelperAnswer answer;
    QByteArray datagram;
    while (replies.size() < 6 && client->Next(&answer, &datagram)) {
      if (answer.Event != quint16(THelperEvent::Received)) continue;
      const auto bytes = std::span(reinterpret_cast<const quint8*>(datagram.constData()),
                                   size_t(datagram.size()));
      const TWireEcho echo = WireReadEcho(bytes, false, client->Ready.Identifier);
      EXPECT_EQ(echo.Kind, TWireKind::EchoReply);
      EXPECT_EQ(echo.Sequence, answer.Sequence);
      ASSERT_EQ(datagram.size(), 20 + 8 + 56);
      EXPECT_EQ(datagram.mid(32), QByteArray(52, char(WireEchoFiller)));
      replies.insert(answer.Sequence);
    }
    EXPECT_EQ(replies, (std::set<int>{1, 2, 3, 11, 12, 13}));
  }
}

}  // namespace
