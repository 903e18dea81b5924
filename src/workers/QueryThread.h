#pragma once
#include <QThread>
#include <memory>

#include "workers/OutputChannel.h"

// Base of the query workers. A worker never touches the window: it pushes
// lines, status texts, "delete the last line" and, at its end, "finish the
// run" into its channel, which the main thread drains. The terminated flag is
// QThread's interruption request. A worker deletes itself when it ends.
class TQueryThread : public QThread {
  Q_OBJECT
 public:
  ~TQueryThread() override;

  std::shared_ptr<TOutputChannel> Channel() const { return FChannel; }

  // Main thread: set the terminated flag, drop pending output, wake the
  // worker's waits. Never waits for the worker.
  void Stop();

  // Shutdown: wait (bounded) for every worker still running. True when none
  // is left.
  static bool WaitForAll(int msecs);
  static int LiveCount();

 protected:
  explicit TQueryThread(std::shared_ptr<TOutputChannel> channel);

  bool Terminated() const { return isInterruptionRequested(); }

  void SyncAddOutput(const QByteArray& sjisLine);
  void SyncStatus(const QString& text);
  void SyncDeleteLast();
  // Replaces the line handed over last by a longer one, as one step, so a
  // Stop can never fall between taking the old line away and adding the new.
  void SyncReplaceLast(const QByteArray& sjisLine);
  // The worker's last item: has the window finish the run, unless stopped.
  void SyncFinish();

  // Waits until fd is ready for events (poll flags), the worker is stopped,
  // or msecs pass (-1: no limit). Returns 1 ready, 0 time-out, -1 stopped.
  int WaitFd(int fd, short events, int msecs);
  // Interruptible pause: true when stopped during (or before) the pause.
  bool PauseMs(int msecs);

 private:
  std::shared_ptr<TOutputChannel> FChannel;
  int FWakeFd = -1;
};
