#pragma once
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <vector>

#include "platform/Resolver.h"

// Records every callback of a resolver, in order, with the id it was for.
class TLookupRecorder {
 public:
  TResolver::TCallback Callback() {
    return [this](quint64 id, TLookupResult result, const THostEntry& entry) {
      std::lock_guard lock(FLock);
      FCalls.push_back({id, result, entry});
      FChanged.notify_all();
    };
  }
  bool WaitCount(size_t n, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    std::unique_lock lock(FLock);
    return FChanged.wait_for(lock, limit, [&] { return FCalls.size() >= n; });
  }
  size_t Count() {
    std::lock_guard lock(FLock);
    return FCalls.size();
  }
  std::vector<TLookupResult> ResultsOf(quint64 id) {
    std::lock_guard lock(FLock);
    std::vector<TLookupResult> results;
    for (const auto& c : FCalls)
      if (c.Id == id) results.push_back(c.Result);
    return results;
  }
  // id -> results it got; each id must appear exactly once.
  std::map<quint64, std::vector<TLookupResult>> ById() {
    std::lock_guard lock(FLock);
    std::map<quint64, std::vector<TLookupResult>> byId;
    for (const auto& c : FCalls) byId[c.Id].push_back(c.Result);
    return byId;
  }
  THostEntry EntryOf(quint64 id) {
    std::lock_guard lock(FLock);
    for (const auto& c : FCalls)
      if (c.Id == id) return c.Entry;
    return {};
  }

 private:
  struct TCall {
    quint64 Id;
    TLookupResult Result;
    THostEntry Entry;
  };
  std::mutex FLock;
  std::condition_variable FChanged;
  std::vector<TCall> FCalls;
};
