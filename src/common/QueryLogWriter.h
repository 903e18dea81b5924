#pragma once
#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Appends the runs' log entries in the order they were handed over, on a
// thread of its own, so that writing a long run never holds up the window.
class TQueryLogWriter {
 public:
  // What WriteQueryLogIn takes, for one run.
  struct TEntry {
    QString Dir;
    int Mode = 0;
    QString FileName;
    QString Prefix;
    QDate Date;
    QList<QByteArray> Lines;
  };

  // failed runs on the writer's thread for each entry that could not be
  // written; it must only post elsewhere.
  explicit TQueryLogWriter(std::function<void()> failed);
  // Writes everything handed over, then ends the thread.
  ~TQueryLogWriter();

  TQueryLogWriter(const TQueryLogWriter&) = delete;
  TQueryLogWriter& operator=(const TQueryLogWriter&) = delete;

  // The thread starts with the first entry.
  void Post(TEntry entry);
  // Returns once every entry handed over so far is written.
  void Wait();
  // How many entries failed since the last call, and starts counting anew.
  int TakeFailures();

 private:
  void Run();

  const std::function<void()> FFailed;
  std::mutex FLock;
  std::condition_variable FChanged;
  std::deque<TEntry> FQueue;
  bool FWriting = false;
  int FFailures = 0;
  bool FQuit = false;
  std::thread FThread;
};
