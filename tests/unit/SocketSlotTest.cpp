#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/SocketSlot.h"

namespace {
// A connected pair: shutting one end down shows up as EOF on the other.
struct TPair {
  int Fd[2] = {-1, -1};
  TPair() { socketpair(AF_UNIX, SOCK_STREAM, 0, Fd); }
  ~TPair() {
    for (int fd : Fd) close(fd);
  }
  bool PeerSeesEof() const {
    char c;
    return recv(Fd[1], &c, 1, MSG_DONTWAIT) == 0;
  }
};

TEST(SocketSlot, StopShutsDownTheCurrentSocketAndTheWorkerFindsItTaken) {
  TSocketSlot slot;
  TPair pair;
  const auto token = slot.Put(pair.Fd[0]);
  EXPECT_EQ(slot.Current(), pair.Fd[0]);
  EXPECT_TRUE(slot.ShutdownAndClear());
  EXPECT_TRUE(pair.PeerSeesEof());
  EXPECT_EQ(slot.Current(), -1);
  EXPECT_FALSE(slot.Release(token));
  EXPECT_FALSE(slot.ShutdownAndClear());
}

TEST(SocketSlot, AStoppedWorkerNeverClearsALaterRunsSocket) {
  TSocketSlot slot;
  TPair first, second;
  const auto old = slot.Put(first.Fd[0]);
  slot.ShutdownAndClear();
  // The next run publishes its socket; the late worker of the first run ends.
  const auto current = slot.Put(second.Fd[0]);
  EXPECT_FALSE(slot.Release(old));
  EXPECT_EQ(slot.Current(), second.Fd[0]);
  EXPECT_FALSE(second.PeerSeesEof() ? true : false);
  // Even with the same descriptor number, the tag tells the runs apart.
  EXPECT_FALSE(slot.Release(old));
  EXPECT_TRUE(slot.Release(current));
  EXPECT_EQ(slot.Current(), -1);
}
TEST(SocketSlot, ALateWorkerNeverPushesOutTheRunningOne) {
  TSocketSlot slot;
  TPair stale, running;
  // Run A was stopped before it published its socket; run B has published.
  const auto current = slot.Put(running.Fd[0]);
  // A gets to Put late, sees its stop flag and releases what it was given.
  const auto late = slot.Put(stale.Fd[0]);
  EXPECT_EQ(late, 0u);
  EXPECT_FALSE(slot.Release(late));
  EXPECT_EQ(slot.Current(), running.Fd[0]);
  // B's Stop still finds B's socket.
  EXPECT_TRUE(slot.ShutdownAndClear());
  EXPECT_TRUE(running.PeerSeesEof());
  EXPECT_FALSE(stale.PeerSeesEof());
  EXPECT_FALSE(slot.Release(current));
}
}  // namespace
