#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "workers/OutputChannel.h"

namespace {
TOutputItem LineItem(int n) { return {TOutputItem::Line, QByteArray::number(n)}; }

TEST(OutputChannel, KeepsOrderAcrossBatchesAndNotifiesOncePerDrain) {
  TOutputChannel channel(100);
  int notified = 0;
  channel.SetNotifier([&] { ++notified; });
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(channel.Push(LineItem(i)));
  EXPECT_EQ(notified, 1);  // one drain pending covers all ten
  bool more = false;
  QList<TOutputItem> first = channel.Take(4, &more);
  EXPECT_TRUE(more);
  channel.Push(LineItem(10));
  EXPECT_EQ(notified, 1);  // the drain is still going on
  QList<TOutputItem> rest = channel.Take(100, &more);
  EXPECT_FALSE(more);
  first.append(rest);
  ASSERT_EQ(first.size(), 11);
  for (int i = 0; i < 11; ++i) EXPECT_EQ(first[i].Text, QByteArray::number(i));
  channel.Push(LineItem(11));
  EXPECT_EQ(notified, 2);
  // A cost budget ends a batch after the item that reaches it; a byte
  // outside ASCII costs eight.
  const QByteArray ten(10, 'x');
  for (const QByteArray& text : {ten, ten, ten, QByteArray(2, '\x82'), ten})
    channel.Push({TOutputItem::Line, text});
  EXPECT_EQ(channel.Take(100, &more, 12).size(), 2);  // "11" and ten bytes
  EXPECT_EQ(channel.Take(100, &more, 1).size(), 1);
  EXPECT_EQ(channel.Take(100, &more, 20).size(), 2);  // ten, then 16
  EXPECT_EQ(channel.Take(100, &more).size(), 1);
  EXPECT_FALSE(more);
}

TEST(OutputChannel, FullChannelMakesTheWorkerWaitForTheWindow) {
  TOutputChannel channel(3);
  std::atomic<int> pushed{0};
  std::thread worker([&] {
    for (int i = 0; i < 6; ++i) {
      channel.Push(LineItem(i));
      ++pushed;
    }
  });
  while (pushed < 3) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(pushed.load(), 3);
  bool more = false;
  QList<TOutputItem> all;
  while (all.size() < 6) all.append(channel.Take(2, &more));
  worker.join();
  for (int i = 0; i < 6; ++i) EXPECT_EQ(all[i].Text, QByteArray::number(i));
}

TEST(OutputChannel, CloseDropsWaitingItemsReleasesTheWorkerAndSilencesTheNotifier) {
  TOutputChannel channel(2);
  std::atomic<int> notified{0};
  channel.SetNotifier([&] { ++notified; });
  std::atomic<bool> lastPushResult{true};
  std::thread worker([&] {
    for (int i = 0; i < 5; ++i) lastPushResult = channel.Push(LineItem(i));
  });
  while (notified == 0) std::this_thread::yield();
  channel.Close();
  worker.join();  // must not hang on the full channel
  EXPECT_FALSE(lastPushResult.load());
  bool more = true;
  EXPECT_TRUE(channel.Take(10, &more).isEmpty());
  EXPECT_FALSE(more);
  EXPECT_FALSE(channel.Push(LineItem(9)));
  EXPECT_EQ(notified.load(), 1);
}
}  // namespace
