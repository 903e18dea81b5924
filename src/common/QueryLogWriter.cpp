#include "common/QueryLogWriter.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

#include "common/QueryLog.h"

// Everything the thread touches: it may outlive the writer.
struct TQueryLogWriter::TShared {
  std::mutex Lock;
  std::condition_variable Changed;
  std::function<void()> Failed;
  std::deque<TEntry> Queue;
  bool Writing = false;
  int Failures = 0;
  bool Quit = false;
  bool Ended = true;  // no thread running
};

TQueryLogWriter::TQueryLogWriter(std::function<void()> failed, std::chrono::milliseconds bound)
    : FBound(bound), FShared(std::make_shared<TShared>()) {
  FShared->Failed = std::move(failed);
}

TQueryLogWriter::~TQueryLogWriter() {
  std::unique_lock lock(FShared->Lock);
  FShared->Quit = true;
  FShared->Changed.notify_all();
  const auto bound = FGaveUp ? std::chrono::milliseconds(0) : FBound;
  if (FShared->Changed.wait_for(lock, bound, [this] { return FShared->Ended; })) {
    lock.unlock();
    if (FThread.joinable()) FThread.join();
    return;
  }
  FShared->Failed = nullptr;
  FThread.detach();
}

void TQueryLogWriter::Post(TEntry entry) {
  {
    std::lock_guard lock(FShared->Lock);
    FShared->Queue.push_back(std::move(entry));
    if (!FThread.joinable()) {
      FShared->Ended = false;
      FThread = std::thread([shared = FShared] { Run(shared); });
    }
  }
  FShared->Changed.notify_all();
}

bool TQueryLogWriter::Wait() {
  std::unique_lock lock(FShared->Lock);
  const bool written = FShared->Changed.wait_for(
      lock, FBound, [this] { return FShared->Queue.empty() && !FShared->Writing; });
  FGaveUp = !written;
  return written;
}

void TQueryLogWriter::Run(const std::shared_ptr<TShared>& shared) {
  std::unique_lock lock(shared->Lock);
  for (;;) {
    shared->Changed.wait(lock, [&] { return shared->Quit || !shared->Queue.empty(); });
    if (shared->Queue.empty()) break;  // quitting, and nothing left to write
    TEntry entry = std::move(shared->Queue.front());
    shared->Queue.pop_front();
    shared->Writing = true;
    lock.unlock();
    const TLogWrite result = WriteQueryLogIn(entry.Dir, entry.Mode, entry.FileName, entry.Prefix,
                                             entry.Date, entry.Lines);
    entry = {};  // a long run's lines are freed here, not under the lock
    lock.lock();
    // Counted before Wait can return, so a caller that waited sees it.
    if (result == TLogWrite::Failed) ++shared->Failures;
    shared->Writing = false;
    // Under the lock: a writer that left us has taken it away.
    if (result == TLogWrite::Failed && shared->Failed) shared->Failed();
    shared->Changed.notify_all();
  }
  shared->Ended = true;
  shared->Changed.notify_all();
}

int TQueryLogWriter::TakeFailures() {
  std::lock_guard lock(FShared->Lock);
  return std::exchange(FShared->Failures, 0);
}
