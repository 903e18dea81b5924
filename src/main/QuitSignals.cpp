#include "main/QuitSignals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <csignal>

namespace {
int WakeFds[2] = {-1, -1};
const int QuitSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Async-signal-safe: one write, errno kept for the interrupted code.
void OnQuitSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(WakeFds[0], &byte, 1);
  errno = saved;
}

// Once the program is ending, a second signal ends it at once, whatever
// holds the close up (a log on a dead mount, a box nobody answers).
void RestoreDefaultActions() {
  for (int signal : QuitSignals) std::signal(signal, SIG_DFL);
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
    RestoreDefaultActions();
    QApplication::closeAllWindows();
  });
  struct sigaction action {};
  action.sa_handler = OnQuitSignal;
  sigemptyset(&action.sa_mask);
  // The same signal again ends the program even before the event loop
  // gets to the first one, when something holds the main thread up.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  bool all = true;
  for (int signal : QuitSignals) all = ::sigaction(signal, &action, nullptr) == 0 && all;
  return all;
}
