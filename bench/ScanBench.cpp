// IP Scan of a whole /24 (or of an IPv6 /120) through the real window and the real resolver, and
// how long the event loop went without serving a timer meanwhile.
// Run it inside the DNS test namespace, for example:
//   bash tests/net/dns_netns.sh build/bench/ScanBench 203.0.113
// (with DNS_EXTRA_CONF holding a PTR record for every address to time a
// scan where every address has a name; see bench/scan_bench.sh).
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTabWidget>
#include <cstdio>

#include "StallMeter.h"
#include "main/OstrekMain.h"
#include "widgets/ExtMemo.h"
#include "widgets/UpDown.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2 || !qEnvironmentVariableIsSet("DNS_NETNS")) {
    std::fprintf(stderr,
                 "usage: dns_netns.sh ScanBench PREFIX   (never against the machine's resolver)\n");
    return 2;
  }
  TOstrekForm form;
  form.show();
  form.PageControl->setCurrentWidget(form.NsLookupEx);
  form.Ex_UD1->SetPosition(0);
  form.Ex_UD2->SetPosition(255);
  form.Ex_CB->setEditText(QString::fromLocal8Bit(argv[1]));
  const TStallMeter stalls;
  QElapsedTimer t;
  t.start();
  form.Go_Btn->click();
  while (!form.Go_Btn->isEnabled()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  const double ms = t.nsecsElapsed() / 1e6;
  const QStringList lines = form.ExtMemo->Lines();
  const qsizetype named = lines.filter(QStringLiteral("ホスト名: ")).size();
  const char* range = QByteArray(argv[1]).endsWith(':') ? "0-ff" : ".0-255";
  std::printf("scan of %s%s: %.1f ms, %.3f ms per lookup, %lld named, longest stall %lld ms\n",
              argv[1], range, ms, ms / 256, (long long)named, (long long)stalls.LongestMs());
  return 0;
}
