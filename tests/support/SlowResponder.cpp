#include "SlowResponder.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "common/Common.h"
#include "platform/RawIcmp.h"
#include "workers/IcmpPacket.h"

namespace {
using TClock = std::chrono::steady_clock;
using TBytes = std::vector<quint8>;

std::string TargetNamespace() {
  const char* ns = std::getenv("CHAIN_NS_TARGET");
  return ns ? ns : "";
}

bool SetTargetSilent(const std::string& ns, bool silent) {
  const std::string command = "ip netns exec " + ns + " sh -c 'echo " + (silent ? "1" : "0") +
                              " > /proc/sys/net/ipv4/icmp_echo_ignore_all'";
  return std::system(command.c_str()) == 0;
}

TBytes Answer(const TBytes& datagram, const TIcmpDatagram& request) {
  const size_t ihl = size_t(request.FIpHeaderLength);
  TBytes message;
  if (datagram.size() > ihl + 8 && datagram[ihl + 8] == 0xEE) {
    message = {IcmpTimeExceeded, 0, 0, 0, 0, 0, 0, 0};
    message.insert(message.end(), datagram.begin(), datagram.begin() + ihl + 8);
  } else {
    message.assign(datagram.begin() + ihl, datagram.end());
    message[0] = IcmpEchoReply;
    message[2] = message[3] = 0;
  }
  const quint16 sum = IcmpChecksum(message.data(), qint32(message.size()));
  message[2] = quint8(sum);
  message[3] = quint8(sum >> 8);
  return message;
}

struct TDue {
  TClock::time_point When;
  TBytes Message;
  quint32 To;
};
}  // namespace

TSlowResponder::TSlowResponder(std::chrono::milliseconds delay) : FDelay(delay) {
  const std::string target = TargetNamespace();
  SetTargetSilent(target, true);
  FThread = std::thread([this, target] { Run(target); });
}

TSlowResponder::~TSlowResponder() {
  FStop = true;
  FThread.join();
  SetTargetSilent(TargetNamespace(), false);
}

bool TSlowResponder::WaitReady() {
  for (int i = 0; i < 500 && !FReady; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return FReady;
}

void TSlowResponder::Run(const std::string& ns) {
  // setns moves only this thread; the socket stays in the target's namespace.
  const int nsFd = ::open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
  if (nsFd < 0 || ::setns(nsFd, CLONE_NEWNET) != 0) return;
  ::close(nsFd);
  const int fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd < 0) return;
  FReady = true;
  std::vector<TDue> due;
  // Bounded: a minute at most, whatever the caller does.
  for (int round = 0; round < 6000 && !FStop; ++round) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, 10) > 0) {
      TBytes datagram(2048);
      const int n = ReceiveIcmp(fd, datagram);
      if (n > 0) datagram.resize(size_t(n));
      const TIcmpDatagram d = DecodeIcmpReply(datagram);
      if (n > 0 && d.FValid && d.FType == IcmpEchoRequest)
        due.push_back({TClock::now() + FDelay, Answer(datagram, d), d.FSourceAddr});
    }
    while (!due.empty() && due.front().When <= TClock::now()) {
      SendIcmp(fd, due.front().To, due.front().Message);
      due.erase(due.begin());
    }
  }
  ::close(fd);
}
