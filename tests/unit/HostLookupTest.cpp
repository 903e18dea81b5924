// One run's lookups: how each ends, on any thread, and that nothing of an
// ended lookup reaches a later one.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <thread>

#include "FakeResolver.h"
#include "platform/HostLookup.h"

namespace {

struct TLookupCase {
  const char* Name;
  TLookupResult Answer;  // Error also when the fake is not told to answer
  bool Answered;
  TLookupEnd End;
};

TEST(HostLookup, EachResolverAnswerEndsTheLookupItsWay) {
  const TLookupCase cases[] = {
      {"found.test", TLookupResult::Succeeded, true, TLookupEnd::Found},
      {"missing.test", TLookupResult::Error, true, TLookupEnd::NotFound},
      {"gave-up.test", TLookupResult::TimedOut, true, TLookupEnd::TimedOut},
      {"gone.test", TLookupResult::Destroyed, true, TLookupEnd::Stopped},
      {"silent.test", TLookupResult::Error, false, TLookupEnd::TimedOut},
  };
  for (const TLookupCase& c : cases) {
    auto resolver = std::make_shared<TFakeResolver>();
    THostLookup lookup({resolver, 200});
    std::thread answer([&] {
      if (!c.Answered) return;
      while (resolver->PendingCount() == 0) std::this_thread::yield();
      resolver->Complete(resolver->LastId(), c.Answer, MakeEntry(c.Name, {"192.0.2.1"}));
    });
    THostEntry entry;
    EXPECT_EQ(lookup.Lookup(c.Name, &entry), c.End) << c.Name;
    answer.join();
    EXPECT_EQ(entry.OfficialName, c.End == TLookupEnd::Found ? QByteArray(c.Name) : QByteArray())
        << c.Name;
    // A lookup that ended unanswered is cancelled in the resolver.
    EXPECT_EQ(resolver->Cancelled().size(), c.Answered ? 0 : 1) << c.Name;
  }
}

TEST(HostLookup, DottedAddressesGoInReverseAndNoResolverRefuses) {
  auto resolver = std::make_shared<TFakeResolver>();
  resolver->FAnswers["192.0.2.7"] = MakeEntry("seven.test", {"192.0.2.7"});
  THostLookup lookup({resolver, 1000});
  THostEntry entry;
  EXPECT_EQ(lookup.Lookup("192.0.2.7", &entry), TLookupEnd::Found);
  EXPECT_EQ(lookup.LookupAddr(entry.Addresses.first(), &entry), TLookupEnd::Found);
  EXPECT_EQ(resolver->Requests(), (QList<QByteArray>{"192.0.2.7", "192.0.2.7"}));
  EXPECT_EQ(THostLookup({nullptr, 1000}).Lookup("x.test", &entry), TLookupEnd::Refused);
}

TEST(HostLookup, StopFromAnotherThreadEndsTheWaitAtOnceAndEveryLaterLookup) {
  auto resolver = std::make_shared<TFakeResolver>();
  THostLookup lookup({resolver, 60000});
  std::thread stopper([&] {
    while (resolver->PendingCount() == 0) std::this_thread::yield();
    lookup.Stop();
  });
  QElapsedTimer t;
  t.start();
  THostEntry entry;
  EXPECT_EQ(lookup.Lookup("never.test", &entry), TLookupEnd::Stopped);
  stopper.join();
  EXPECT_LT(t.elapsed(), 5000);
  EXPECT_EQ(resolver->PendingCount(), 0);  // cancelled
  EXPECT_EQ(lookup.Lookup("later.test", &entry), TLookupEnd::Stopped);
  EXPECT_EQ(resolver->Requests().size(), 1);  // the later one was never asked
}

TEST(HostLookup, ALateAnswerNeverReachesTheNextLookup) {
  auto resolver = std::make_shared<TFakeResolver>();
  resolver->FIgnoreCancel = true;  // the first answer stays due
  THostLookup lookup({resolver, 100});
  THostEntry entry;
  ASSERT_EQ(lookup.Lookup("first.test", &entry), TLookupEnd::TimedOut);
  const quint64 first = resolver->LastId();
  std::thread late([&] {
    while (resolver->LastId() == first) std::this_thread::yield();
    resolver->Complete(first, TLookupResult::Succeeded, MakeEntry("first.test", {"192.0.2.1"}));
  });
  EXPECT_EQ(lookup.Lookup("second.test", &entry), TLookupEnd::TimedOut);
  late.join();
  EXPECT_TRUE(entry.OfficialName.isEmpty());
}

}  // namespace
