#include "common/QueryLogWriter.h"

#include <utility>

#include "common/QueryLog.h"

TQueryLogWriter::TQueryLogWriter(std::function<void()> failed) : FFailed(std::move(failed)) {}

TQueryLogWriter::~TQueryLogWriter() {
  {
    std::lock_guard lock(FLock);
    FQuit = true;
  }
  FChanged.notify_all();
  if (FThread.joinable()) FThread.join();
}

void TQueryLogWriter::Post(TEntry entry) {
  {
    std::lock_guard lock(FLock);
    FQueue.push_back(std::move(entry));
    if (!FThread.joinable()) FThread = std::thread([this] { Run(); });
  }
  FChanged.notify_all();
}

void TQueryLogWriter::Wait() {
  std::unique_lock lock(FLock);
  FChanged.wait(lock, [this] { return FQueue.empty() && !FWriting; });
}

void TQueryLogWriter::Run() {
  std::unique_lock lock(FLock);
  for (;;) {
    FChanged.wait(lock, [this] { return FQuit || !FQueue.empty(); });
    if (FQueue.empty()) return;  // quitting, and nothing left to write
    TEntry entry = std::move(FQueue.front());
    FQueue.pop_front();
    FWriting = true;
    lock.unlock();
    const TLogWrite result = WriteQueryLogIn(entry.Dir, entry.Mode, entry.FileName, entry.Prefix,
                                             entry.Date, entry.Lines);
    entry = {};  // a long run's lines are freed here, not under the lock
    lock.lock();
    // Counted before Wait can return, so a caller that waited sees it.
    if (result == TLogWrite::Failed) ++FFailures;
    FWriting = false;
    FChanged.notify_all();
    if (result == TLogWrite::Failed && FFailed) {
      lock.unlock();
      FFailed();
      lock.lock();
    }
  }
}

int TQueryLogWriter::TakeFailures() {
  std::lock_guard lock(FLock);
  return std::exchange(FFailures, 0);
}
