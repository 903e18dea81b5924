#include <gtest/gtest.h>

#include "common/History.h"

namespace {
TEST(History, RecordingMovesTheTextToTheTopOnce) {
  QStringList list;
  AddToHistory(list, "a");
  AddToHistory(list, "b");
  EXPECT_EQ(AddToHistory(list, "a"), "a");
  EXPECT_EQ(list, (QStringList{"a", "b"}));
  // Letter case makes a different entry.
  AddToHistory(list, "A");
  EXPECT_EQ(list, (QStringList{"A", "a", "b"}));
}

TEST(History, OldestEntryFallsOffPastThirty) {
  QStringList list;
  for (int i = 0; i < 31; ++i) AddToHistory(list, QString::number(i));
  ASSERT_EQ(list.size(), 30);
  EXPECT_EQ(list.first(), "30");
  EXPECT_EQ(list.last(), "1");
}

TEST(History, EmptyTextIsRecordedLikeAnyOther) {
  QStringList list{"x", ""};
  EXPECT_EQ(AddToHistory(list, ""), "");
  EXPECT_EQ(list, (QStringList{"", "x"}));
}

TEST(History, OnlyTheCopyNearestTheTopIsRemoved) {
  QStringList list{"b", "a", "c", "a"};
  AddToHistory(list, "a");
  EXPECT_EQ(list, (QStringList{"a", "b", "c", "a"}));
}

TEST(History, DeleteRemovesOneEntryAndShowsTheNewTop) {
  QStringList list{"a", "b", "b"};
  EXPECT_EQ(DeleteFromHistory(list, "b"), "a");
  EXPECT_EQ(list, (QStringList{"a", "b"}));
  // A text that is not in the list removes nothing, but is replaced.
  EXPECT_EQ(DeleteFromHistory(list, "typed"), "a");
  EXPECT_EQ(list.size(), 2);
  QStringList one{"only"};
  EXPECT_EQ(DeleteFromHistory(one, "only"), "");
  EXPECT_TRUE(one.isEmpty());
}
}  // namespace
