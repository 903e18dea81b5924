#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include <memory>
#include <vector>

#include "common/HopStats.h"
#include "common/PingStats.h"

// One thing a worker has the window do, in order.
struct TOutputItem {
  enum TKind : quint8 { Line, Status, DeleteLast, ReplaceLast, Finish, Sample, HopTable };
  TOutputItem(TKind kind = Line, QByteArray text = {}, TPingSample result = {})
      : Kind(kind), Text(std::move(text)), Result(std::move(result)) {}
  TKind Kind = Line;
  // Line, ReplaceLast: Shift_JIS bytes; Status: UTF-8; Finish: the status
  // text that stays after the run (UTF-8), usually none.
  QByteArray Text;
  // Sample: one request's result, for the statistics panel.
  TPingSample Result;
  // HopTable: a repeated TraceRoute's table as it stands.
  std::shared_ptr<const std::vector<THopRow>> Table;
};

// The ordered, bounded hand-over from one worker to the main thread. The
// worker pushes; when it is full the worker waits, so the window sets the
// pace. The main thread takes items in batches. Once closed (Stop), what
// waits is dropped, later pushes are dropped, and the notifier is never
// called again.
class TOutputChannel {
 public:
  explicit TOutputChannel(qsizetype capacity = 32768);

  // Called on the pushing thread, under the channel's lock, when items wait
  // and no drain is pending. It must only post to the main thread.
  void SetNotifier(std::function<void()> notifier);

  // Worker side. False when the item was dropped because the channel closed.
  bool Push(TOutputItem item);

  // Main thread. Takes up to max items, and no more once their text reaches
  // maxCost (one item at least), where a byte costs one and a byte outside
  // ASCII eight; more is set when items remain (the caller drains again
  // later; the notifier stays quiet until then).
  QList<TOutputItem> Take(qsizetype max, bool* more, qsizetype maxCost = 1 << 30);

  void Close();
  bool IsClosed() const;

 private:
  const qsizetype FCapacity;
  mutable std::mutex FLock;
  std::condition_variable FSpace;
  std::deque<TOutputItem> FItems;
  std::function<void()> FNotifier;
  bool FClosed = false;
  bool FDrainPending = false;
};
