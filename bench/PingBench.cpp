// Round-trip times reported by our Ping against iputils ping over the same
// namespace link, in both echo methods, and the cost of one echo on
// loopback. Run as root through the namespace chain:
//   bash tests/net/chain_netns.sh build/bench/PingBench
#include <arpa/inet.h>

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "SlowResponder.h"
#include "platform/IcmpService.h"
#include "platform/RawIcmp.h"
#include "workers/IcmpPacket.h"
#include "workers/PngThrd.h"
#include "workers/RawPngThrd.h"

namespace {
constexpr int Requests = 20;

// Mean of the times our worker printed, in ms; target is an address of either family.
double OurMeanMs(bool service, const QString& target) {
  auto channel = std::make_shared<TOutputChannel>(100000);
  const TPingParams params{5, Requests, 100, 56, 64, false};
  TQueryThread* worker =
      service ? static_cast<TQueryThread*>(new TPingThread(channel, {}, target, params))
              : new TRawPingThread(channel, {}, target, params);
  worker->start();
  worker->wait(60000);
  bool more = false;
  const QRegularExpression time(QStringLiteral("(\\d+) ms"));
  double sum = 0;
  int n = 0;
  for (const TOutputItem& item : channel->Take(100000, &more)) {
    const auto m = time.match(QString::fromLatin1(item.Text));
    if (item.Kind == TOutputItem::Line && m.hasMatch()) sum += m.captured(1).toDouble(), ++n;
  }
  return n ? sum / n : -1;
}

double IputilsMeanMs(const char* target) {
  const std::string command = std::string("ping -q -n -c ") + std::to_string(Requests) +
                              " -i 0.1 -s 56 " + target + " 2>/dev/null";
  FILE* p = popen(command.c_str(), "r");
  if (!p) return -1;
  char line[512];
  double mn = 0, avg = -1;
  while (fgets(line, sizeof line, p))
    std::sscanf(line, "rtt min/avg/max/mdev = %lf/%lf", &mn, &avg);
  pclose(p);
  return avg;
}

// Microseconds per echo to 127.0.0.1, the way each worker sends one.
double RawEchoUs(int rounds) {
  const int fd = OpenRawIcmp();
  if (fd < 0) return -1;
  SetReceiveTimeout(fd, 1000);
  std::vector<quint8> request(EchoRequestSize(56)), buffer(ReceiveBufferSize(56));
  const quint32 loopback = htonl(INADDR_LOOPBACK);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < rounds; ++i) {
    BuildEchoRequest(request, 56, quint32(i));
    SendIcmp(fd, loopback, request);
    for (;;) {
      const int n = ReceiveIcmp(fd, buffer);
      if (n <= 0) break;
      const TIcmpDatagram d = DecodeIcmpReply(std::span(buffer).first(size_t(n)));
      if (IsEchoReplyFor(d, EchoIdentifier()) && d.FSequence == quint16(i)) break;
    }
  }
  const double us =
      std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
  ::close(fd);
  return us / rounds;
}

double ServiceEchoUs(int rounds) {
  const TIcmpHandle h = IcmpCreateFile();
  if (h == InvalidHandleValue) return -1;
  std::vector<quint8> data(56, 0xAA), reply(56 + 44 + 64);
  TIpOptionInformation options{};
  options.Ttl = 64;
  const quint32 loopback = htonl(INADDR_LOOPBACK);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < rounds; ++i)
    IcmpSendEcho(h, loopback, data.data(), 56, &options, reply.data(), quint32(reply.size()), 1000);
  const double us =
      std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
  IcmpCloseHandle(h);
  return us / rounds;
}

void CompareOn(const char* what, const char* target) {
  const QString addr = QString::fromLatin1(target);
  std::printf("%-28s ours raw %6.2f ms, ours service %6.2f ms, iputils %7.3f ms\n", what,
              OurMeanMs(false, addr), OurMeanMs(true, addr), IputilsMeanMs(target));
}
}  // namespace

int main() {
  const char* target = std::getenv("CHAIN_TARGET");
  if (!target) {
    std::fprintf(stderr, "run through tests/net/chain_netns.sh\n");
    return 2;
  }
  CompareOn("target, direct", target);
  if (const char* target6 = std::getenv("CHAIN6_TARGET")) CompareOn("IPv6 target, direct", target6);
  {
    TSlowResponder responder(std::chrono::milliseconds(20));
    if (responder.WaitReady()) CompareOn("target answering after 20 ms", target);
  }
  std::printf("one echo on loopback: raw %.1f us, service %.1f us\n", RawEchoUs(5000),
              ServiceEchoUs(5000));
  return 0;
}
