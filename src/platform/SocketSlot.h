#pragma once
#include <cstdint>
#include <mutex>

// A process-wide slot for the descriptor of the running worker, so that Stop
// can wake a worker blocked in a socket call (ActiveSocket, IcmpHandle).
//
// Descriptor numbers are reused, so Stop never closes anything: it shuts the
// socket down while the slot still holds it, and the worker closes its own
// descriptor once it has taken its entry out of the slot. Each entry carries
// a run tag, so a late worker can only ever clear its own entry.
class TSocketSlot {
 public:
  using TToken = std::uint64_t;  // 0 = nothing was put

  // Worker: publish fd; returns the token to release it with, or 0 when the
  // slot still holds another worker's socket (which it keeps).
  TToken Put(int fd);
  // Worker, at its end: clear the slot if it still holds this token. Returns
  // true when it did (Stop had not taken it). Either way the worker then
  // closes its descriptor itself.
  bool Release(TToken token);
  // Stop: shut down whatever the slot holds (both directions) and empty it.
  // Returns true when there was a socket.
  bool ShutdownAndClear();
  // The descriptor held now, or -1.
  int Current() const;

 private:
  mutable std::mutex FLock;
  int FFd = -1;
  TToken FToken = 0;
  TToken FNextToken = 1;
};

extern TSocketSlot ActiveSocket;
