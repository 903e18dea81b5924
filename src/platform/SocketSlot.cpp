#include "platform/SocketSlot.h"

#include <sys/socket.h>

TSocketSlot ActiveSocket;

TSocketSlot::TToken TSocketSlot::Put(int fd) {
  std::lock_guard lock(FLock);
  // A stopped worker that gets here late must not push out the running one:
  // it would then release its own token and leave Stop nothing to wake.
  if (FFd >= 0) return 0;
  FFd = fd;
  FToken = FNextToken++;
  return FToken;
}

bool TSocketSlot::Release(TToken token) {
  std::lock_guard lock(FLock);
  if (token == 0 || FToken != token) return false;
  FFd = -1;
  FToken = 0;
  return true;
}

bool TSocketSlot::ShutdownAndClear() {
  std::lock_guard lock(FLock);
  if (FFd < 0) return false;
  // Still open here: the owner closes it only after taking the lock.
  ::shutdown(FFd, SHUT_RDWR);
  FFd = -1;
  FToken = 0;
  return true;
}

int TSocketSlot::Current() const {
  std::lock_guard lock(FLock);
  return FFd;
}
