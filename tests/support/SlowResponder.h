#pragma once
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

// Stands in for the silenced target of the namespace chain (chain_netns.sh)
// and answers every echo request that reaches it after a delay: with an
// echo reply, or, for data starting with 0xEE, with a time-exceeded message
// quoting the request. Its loop is bounded to a minute.
class TSlowResponder {
 public:
  explicit TSlowResponder(std::chrono::milliseconds delay);
  ~TSlowResponder();
  bool WaitReady();

 private:
  void Run(const std::string& ns);

  const std::chrono::milliseconds FDelay;
  std::atomic<bool> FStop{false};
  std::atomic<bool> FReady{false};
  std::thread FThread;
};
