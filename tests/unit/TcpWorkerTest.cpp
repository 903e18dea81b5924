#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <thread>

#include "FakeResolver.h"
#include "LoopbackServer.h"
#include "TestSockets.h"
#include "common/SjisText.h"
#include "platform/SocketSlot.h"
#include "workers/TCPThrd.h"

namespace {

// Runs a worker to its end and returns what it handed over.
struct TRun {
  std::shared_ptr<TOutputChannel> Channel = std::make_shared<TOutputChannel>();
  TTCPThread* Worker = nullptr;
  QList<TOutputItem> Items;

  std::shared_ptr<TFakeResolver> Resolver = std::make_shared<TFakeResolver>();

  // An empty host is the dotted loopback address; a name stands for it.
  void Start(const QByteArray& host, const QByteArray& request, int port) {
    if (!host.isEmpty()) Resolver->FAnswers[host] = MakeEntry(host, {"127.0.0.1"});
    const QString target = host.isEmpty() ? QStringLiteral("127.0.0.1") : QString(host);
    Worker = new TTCPThread(Channel, {Resolver, 5000}, target, request, port);
    Worker->start();
  }
  bool CollectUntilFinish(int msecs = 5000) {
    const QDeadlineTimer deadline(msecs);
    while (!deadline.hasExpired()) {
      bool more = false;
      Items.append(Channel->Take(1000, &more));
      if (!Items.isEmpty() && Items.last().Kind == TOutputItem::Finish)
        return Worker->wait(deadline);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }
  QList<QByteArray> Lines() const {
    QList<QByteArray> lines;
    for (const TOutputItem& i : Items)
      if (i.Kind == TOutputItem::Line) lines.append(i.Text);
    return lines;
  }
};

TEST(TcpWorker, SendsTheRequestWithLineEndAndShowsTheReplyLineByLine) {
  TLoopbackServer server;
  server.SetReply({{"first\r\nsec"}, {"ond\r", 20}, {"\nlast"}});
  TRun run;
  const int before = OpenSocketCount();
  run.Start("", "user", server.Port());
  ASSERT_TRUE(run.CollectUntilFinish());
  EXPECT_EQ(server.LastRequest(), "user\r\n");
  EXPECT_EQ(run.Lines(), (QList<QByteArray>{"first", "second", "last"}));
  ASSERT_GE(run.Items.size(), 2);
  EXPECT_EQ(run.Items[0].Kind, TOutputItem::Status);
  EXPECT_EQ(QString::fromUtf8(run.Items[0].Text), QStringLiteral("接続中..."));
  EXPECT_EQ(QString::fromUtf8(run.Items[1].Text), QStringLiteral("取得中..."));
  EXPECT_EQ(OpenSocketCount(), before);
  EXPECT_EQ(ActiveSocket.Current(), -1);
}

TEST(TcpWorker, ServerClosingAtOnceGivesNoLinesAndFinishes) {
  TLoopbackServer server;
  server.SetReply({});
  TRun run;
  run.Start("", "", server.Port());
  ASSERT_TRUE(run.CollectUntilFinish());
  EXPECT_EQ(server.LastRequest(), "\r\n");
  EXPECT_TRUE(run.Lines().isEmpty());
}

TEST(TcpWorker, RefusedConnectionIsReportedWithTheHostName) {
  TRun run;
  run.Start("srv.example", "x", TLoopbackServer::ClosedPort());
  ASSERT_TRUE(run.CollectUntilFinish());
  EXPECT_EQ(run.Lines(), QList<QByteArray>{"srv.example" + ToSjis(u" - 接続できません")});
}

// The lookup's status and its failure line arrive in order with the rest,
// through the one channel.
TEST(TcpWorker, AHostThatCannotBeFoundEndsTheRunWithTheLookupsLine) {
  TRun run;
  run.Resolver->FMissing = {"gone.example"};
  run.Worker = new TTCPThread(run.Channel, {run.Resolver, 5000}, "gone.example", "q", 79);
  run.Worker->start();
  ASSERT_TRUE(run.CollectUntilFinish());
  ASSERT_EQ(run.Items.size(), 3);
  EXPECT_EQ(run.Items[0].Kind, TOutputItem::Status);
  EXPECT_EQ(QString::fromUtf8(run.Items[0].Text),
            QStringLiteral("ホスト情報取得中...(gone.example)"));
  EXPECT_EQ(run.Items[1].Text, ToSjis(u"gone.example - 見つかりません"));
  EXPECT_EQ(run.Items[2].Kind, TOutputItem::Finish);
}

TEST(TcpWorker, RepliesInJisAndEucArriveInShiftJis) {
  TLoopbackServer server;
  // 日本 in ISO-2022-JP, then in EUC-JP.
  server.SetReply({{"\x1b$BF|K\\\x1b(B\r\n\xc6\xfc\xcb\xdc\r\n"}});
  TRun run;
  run.Start("", "q", server.Port());
  ASSERT_TRUE(run.CollectUntilFinish());
  const QByteArray nihon = ToSjis(u"日本");
  EXPECT_EQ(run.Lines(), (QList<QByteArray>{nihon, nihon}));
}

TEST(TcpWorker, StopReleasesABlockedReceiveAndNothingFollows) {
  TLoopbackServer server;
  server.SetSilent(true);
  TRun run;
  const int before = OpenSocketCount();
  run.Start("", "q", server.Port());
  const QDeadlineTimer deadline(5000);
  while (ActiveSocket.Current() < 0 && !deadline.hasExpired()) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // now in recv
  run.Worker->Stop();
  ActiveSocket.ShutdownAndClear();
  ASSERT_TRUE(run.Worker->wait(3000));
  bool more = false;
  for (const TOutputItem& i : run.Channel->Take(100, &more)) EXPECT_NE(i.Kind, TOutputItem::Finish);
  // The server's end of the connection closes once it sees ours go.
  EXPECT_TRUE(WaitSocketCount(before)) << OpenSocketCount() << " sockets, not " << before;
}

TEST(TcpWorker, StopWakesTheReceiveEvenWhenTheSlotLostItsSocket) {
  // A late worker of an earlier run can leave the slot empty: Stop then has
  // no socket to shut down, and only the worker's own wake-up is left.
  TLoopbackServer server;
  server.SetSilent(true);
  TRun run;
  run.Start("", "q", server.Port());
  const QDeadlineTimer deadline(5000);
  while (ActiveSocket.Current() < 0 && !deadline.hasExpired()) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // now receiving
  run.Worker->Stop();
  const bool ended = run.Worker->wait(3000);
  if (!ended) {  // let the failing worker go before the server does
    ActiveSocket.ShutdownAndClear();
    run.Worker->wait(3000);
  }
  EXPECT_TRUE(ended);
}

TEST(TcpWorker, StopBeforeTheConnectionIsMadeEndsTheWorker) {
  // Nothing accepts: the listen queue is full, so connect() hangs until Stop.
  TLoopbackServer server;
  server.SetSilent(true);
  TRun run;
  run.Start("", "q", server.Port());
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  run.Worker->Stop();
  ActiveSocket.ShutdownAndClear();
  EXPECT_TRUE(run.Worker->wait(3000));
}
}  // namespace
