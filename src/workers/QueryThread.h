#pragma once
#include <poll.h>

#include <QThread>
#include <memory>
#include <optional>

#include "platform/HostLookup.h"
#include "workers/OutputChannel.h"

// Where a run goes, once its host is resolved.
struct TTarget {
  QList<TNetAddress> Addresses;  // in the order to try them: never empty
  QByteArray HostText;           // the official name; empty for an address
};

// Base of the query workers. A worker never touches the window: it pushes
// lines, status texts, "delete the last line" and, at its end, "finish the
// run" into its channel, which the main thread drains. The terminated flag is
// QThread's interruption request. Every worker ends by handing over "finish
// the run" (dropped once stopped), and deletes itself when it ends.
class TQueryThread : public QThread {
  Q_OBJECT
 public:
  ~TQueryThread() override;

  // Main thread: set the terminated flag, drop pending output, wake the
  // worker's waits and its pending lookup. Never waits for the worker.
  void Stop();

  // Shutdown: wait (bounded) for every worker still running. True when none
  // is left.
  static bool WaitForAll(int msecs);
  static int LiveCount();

 protected:
  TQueryThread(std::shared_ptr<TOutputChannel> channel, TLookupSetup lookup);

  // The worker's own work; the run is finished after it returns.
  virtual void Work() = 0;

  bool Terminated() const { return isInterruptionRequested(); }

  // Looks a name or dotted address up, showing "ホスト情報取得中...(name)"
  // first. With report on, a failure writes its line (not found, time-out);
  // a stop writes nothing. True with the entry filled in.
  bool LookupHost(const QString& name, bool report, THostEntry* entry);
  // The same for the name of an address, without a line.
  bool LookupAddr(const TNetAddress& addr, THostEntry* entry);
  // The run's target: an address as it is, a name through a lookup (with
  // report on unless told), its addresses in the order the user prefers.
  // Nothing when the lookup failed or the run was stopped.
  std::optional<TTarget> ResolveTarget(const QString& host, bool report = true);

  // What the status bar shows once the run has finished (it is cleared
  // otherwise): why the run could not do its work.
  void SetClosingStatus(const QString& text) { FClosingStatus = text; }

  void SyncAddOutput(const QByteArray& sjisLine);
  void SyncStatus(const QString& text);
  void SyncDeleteLast();
  // Replaces the line handed over last by a longer one, as one step, so a
  // Stop can never fall between taking the old line away and adding the new.
  void SyncReplaceLast(const QByteArray& sjisLine);
  // One request's result for the statistics panel, after its line.
  void SyncSample(const TPingSample& sample);
  // A repeated TraceRoute's table, after each cycle.
  void SyncHopTable(std::vector<THopRow> rows);

  // Waits until fd is ready for events (poll flags), the worker is stopped,
  // or msecs pass (-1: no limit). Returns 1 ready, 0 time-out, -1 stopped.
  int WaitFd(int fd, short events, int msecs);
  // The same for several descriptors; their revents tell which are ready.
  int WaitFds(QList<pollfd>& fds, int msecs);
  // Interruptible pause: true when stopped during (or before) the pause.
  bool PauseMs(int msecs);

  // Stop, on the main thread, after the flag is set: wakes what the worker
  // waits on besides its own waits and lookups.
  virtual void WakeTransport() {}

 private:
  void run() final;

  std::shared_ptr<TOutputChannel> FChannel;
  const bool FPreferIPv6;
  THostLookup FLookup;
  QString FClosingStatus;
  int FWakeFd = -1;
};
