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
}  // namespace
