// Raw-socket Ping through the helper beside the same run with the window's
// own raw socket, in one run of the window: the mean round-trip time (and
// iputils ping's on the same path), the time per request, the longest stall
// of the window; and what starting the helper costs a run. Run as root
// through the namespace chain; the helper's run is forced by taking
// CAP_NET_RAW out of this process's effective set:
//   QT_QPA_PLATFORM=offscreen bash tests/net/chain_netns.sh build/bench/HelperBench
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <cstdio>
#include <cstdlib>

#include "SlowResponder.h"
#include "StallMeter.h"
#include "TestStores.h"
#include "main/OstrekMain.h"
#include "platform/RawIcmpHelper.h"
#include "widgets/GraphPanel.h"
#include "widgets/UpDown.h"

namespace {

constexpr int Requests = 100;

// With on false, this process can open no raw socket itself; the helper,
// started as root, still can.
bool SetOwnNetRaw(bool on) {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  if (::syscall(SYS_capget, &header, data) != 0) return false;
  auto& word = data[CAP_TO_INDEX(CAP_NET_RAW)];
  word.effective = on ? word.effective | CAP_TO_MASK(CAP_NET_RAW)
                      : word.effective & ~CAP_TO_MASK(CAP_NET_RAW);
  return ::syscall(SYS_capset, &header, data) == 0;
}

struct TRunFigures {
  double MeanMs = -1;
  double MsPerRequest = -1;
  qint64 LongestStallMs = -1;
};

// One Ping of 100 requests every 100 ms through the window.
TRunFigures PingThroughWindow(const QString& target) {
  TOstrekForm form;
  form.resize(720, 560);
  form.show();
  form.PageControl->setCurrentWidget(form.Ping);
  form.PngServ_CB->setEditText(target);
  form.PngReqNum_UD->SetPosition(Requests);
  form.PngDelay_UD->SetPosition(100);
  form.PngTout_UD->SetPosition(2);
  QElapsedTimer settle;
  settle.start();
  while (settle.elapsed() < 300) QApplication::processEvents(QEventLoop::AllEvents, 50);
  TStallMeter meter;
  QElapsedTimer clock;
  clock.start();
  form.Go_Btn->click();
  while (!form.Go_Btn->isEnabled()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  TRunFigures figures;
  figures.MsPerRequest = double(clock.elapsed()) / Requests;
  figures.LongestStallMs = meter.LongestMs();
  const TPingFigures stats = form.GraphPanel->Stats().Figures();
  figures.MeanMs = stats.AvgMs.value_or(-1);
  std::printf("  %d sent, %d received; %s\n", stats.Sent, stats.Received,
              qPrintable(form.StatusPanel->text()));
  return figures;
}

double IputilsMeanMs(const QString& target) {
  const std::string command = "ping -q -n -c " + std::to_string(Requests) + " -i 0.1 -s 56 " +
                              target.toStdString() + " 2>/dev/null";
  FILE* p = popen(command.c_str(), "r");
  if (!p) return -1;
  char line[512];
  double mn = 0, avg = -1;
  while (fgets(line, sizeof line, p)) std::sscanf(line, "rtt min/avg/max/mdev = %lf/%lf", &mn, &avg);
  pclose(p);
  return avg;
}

// Microseconds to open a run's raw link and close it again.
double OpenCloseUs(TAddressFamily family, int rounds) {
  QElapsedTimer clock;
  clock.start();
  for (int i = 0; i < rounds; ++i)
    if (!OpenRawLink(family)) return -1;
  return clock.nsecsElapsed() / 1e3 / rounds;
}

void Print(const char* what, const TRunFigures& f) {
  std::printf("%-24s mean %.2f ms, %.1f ms per request, longest stall %lld ms\n", what, f.MeanMs,
              f.MsPerRequest, f.LongestStallMs);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  IsolateSettingsStores();
  SetIcmpHelperPath(QStringLiteral(OSTREKON_ICMP_HELPER));
  const QString target = qEnvironmentVariable("CHAIN_TARGET");
  if (target.isEmpty() || ::geteuid() != 0) {
    std::fprintf(stderr, "run as root through tests/net/chain_netns.sh\n");
    return 2;
  }
  std::printf("open and close a run's raw link, IPv4: own socket %.0f us", OpenCloseUs(TAddressFamily::IPv4, 200));
  SetOwnNetRaw(false);
  std::printf(", through the helper %.0f us\n", OpenCloseUs(TAddressFamily::IPv4, 200));
  SetOwnNetRaw(true);
  // A target that answers after 20 ms, so that the times are more than the
  // link's fraction of a millisecond.
  TSlowResponder responder(std::chrono::milliseconds(20));
  if (!responder.WaitReady()) return 1;
  std::printf("%d requests every 100 ms to %s answering after 20 ms:\n", Requests,
              qPrintable(target));
  const TRunFigures own = PingThroughWindow(target);
  SetOwnNetRaw(false);
  const TRunFigures helper = PingThroughWindow(target);
  SetOwnNetRaw(true);
  Print("own raw socket:", own);
  Print("through the helper:", helper);
  std::printf("helper / own: mean %.3f, per request %.3f\n", helper.MeanMs / own.MeanMs,
              helper.MsPerRequest / own.MsPerRequest);
  std::printf("iputils ping on the same path: mean %.3f ms\n", IputilsMeanMs(target));
  return 0;
}
