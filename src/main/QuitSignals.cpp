#include "main/QuitSignals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <csignal>

namespace {
int WakeFds[2] = {-1, -1};

// Async-signal-safe: one write, errno kept for the interrupted code.
void OnQuitSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(WakeFds[0], &byte, 1);
  errno = saved;
}
}  // namespace

bool CloseWindowsOnQuitSignals(QObject* owner) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, WakeFds) != 0)
    return false;
  auto* notifier = new QSocketNotifier(WakeFds[1], QSocketNotifier::Read, owner);
  QObject::connect(notifier, &QSocketNotifier::activated, owner, [] {
    char bytes[16];
    while (::read(WakeFds[1], bytes, sizeof bytes) > 0) {
    }
    QApplication::closeAllWindows();
  });
  struct sigaction action {};
  action.sa_handler = OnQuitSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  bool all = true;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) all = ::sigaction(signal, &action, nullptr) == 0 && all;
  return all;
}
