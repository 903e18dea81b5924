#pragma once
#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "common/SjisLines.h"

// Appends the runs' log entries in the order they were handed over, on a
// thread of its own, so that writing a long run never holds up the window.
// A log directory on a dead network mount can hold a write up for ever:
// nobody waits for the writer longer than its bound.
class TQueryLogWriter {
 public:
  // What WriteQueryLogIn takes, for one run.
  struct TEntry {
    QString Dir;
    int Mode = 0;
    QString FileName;
    QString Prefix;
    QDate Date;
    TSjisLines Lines;
  };

  // failed runs on the writer's thread for each entry that could not be
  // written; it must only post elsewhere. bound: the longest wait for it.
  TQueryLogWriter(std::function<void()> failed, std::chrono::milliseconds bound);
  // Writes everything handed over, then ends the thread. A write that hangs
  // past the bound (at once when the last Wait gave up) is left to the
  // thread, which then reaches nothing of its owner's again.
  ~TQueryLogWriter();

  TQueryLogWriter(const TQueryLogWriter&) = delete;
  TQueryLogWriter& operator=(const TQueryLogWriter&) = delete;

  // The thread starts with the first entry.
  void Post(TEntry entry);
  // True once every entry handed over so far is written; false when that
  // took longer than the bound (the writing goes on).
  bool Wait();
  // How many entries failed since the last call, and starts counting anew.
  int TakeFailures();

 private:
  struct TShared;
  static void Run(const std::shared_ptr<TShared>& shared);

  const std::chrono::milliseconds FBound;
  const std::shared_ptr<TShared> FShared;
  bool FGaveUp = false;
  std::thread FThread;
};
