// 100 MX lookups per transport (UDP, TCP, TLS, HTTPS) through the NS Lookup
// worker against the test bed's unbound, beside dig asking the same 100 in
// one process: time per query and the ratio of ours to dig's.
//   bash tests/net/dns_netns.sh bash tests/net/dnsbed_netns.sh build/bench/DnsBench
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <cstdio>

#include "common/DnsAsk.h"
#include "workers/DnsThrd.h"
#include "workers/TlsLink.h"

namespace {
const int Queries = qEnvironmentVariableIsSet("DNSBENCH_QUERIES") ? qEnvironmentVariableIntValue("DNSBENCH_QUERIES") : 100;
const QString Zone = QStringLiteral("dnsbed.test");

// Ms per query of the worker, each query a run of its own as the window starts it.
double OurMs(const QString& serverText, bool tcp) {
  const std::optional<TDnsServer> server = ParseDnsServer(serverText, tcp);
  if (!server) return -1;
  QElapsedTimer t;
  t.start();
  for (int i = 0; i < Queries; ++i) {
    auto channel = std::make_shared<TOutputChannel>(100000);
    auto* worker = new TDnsQueryThread(channel, {}, {Zone, {15}, *server, false, 5000});
    worker->start();
    worker->wait(30000);
    bool more = false;
    channel->Take(100000, &more);
    delete worker;
  }
  return double(t.elapsed()) / Queries;
}

double DigMs(const QStringList& options) {
  QStringList args{QStringLiteral("+noall"), QStringLiteral("+answer"), QStringLiteral("+tries=1")};
  args += options;
  for (int i = 0; i < Queries; ++i) args << Zone << QStringLiteral("MX");
  QElapsedTimer t;
  t.start();
  QProcess dig;
  dig.start(QStringLiteral("dig"), args);
  dig.waitForFinished(120000);
  return double(t.elapsed()) / Queries;
}
}  // namespace

int main() {
  TTlsLink::SetTrustFile(QDir(qEnvironmentVariable("DNSBED_CERTS")).filePath("ca.crt"));
  const struct {
    const char* Name;
    QString Server;
    bool Tcp;
    QStringList Dig;
  } transports[] = {
      {"UDP", "127.0.3.1", false, {"@127.0.3.1"}},
      {"TCP", "127.0.3.1", true, {"@127.0.3.1", "+tcp"}},
      {"TLS", "tls://127.0.0.1", false, {"@127.0.0.1", "+tls"}},
      {"HTTPS", "https://127.0.0.1/dns-query", false, {"@127.0.0.1", "+https"}},
  };
  std::printf("%-6s %10s %10s %7s\n", "", "ours ms", "dig ms", "ratio");
  for (const auto& t : transports) {
    const double ours = OurMs(t.Server, t.Tcp), dig = DigMs(t.Dig);
    std::printf("%-6s %10.2f %10.2f %7.2f\n", t.Name, ours, dig, ours / dig);
  }
  return 0;
}
