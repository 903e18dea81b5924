#pragma once
// Drives a Ping or TraceRoute worker without a window: collects what it hands
// over, stops it as the window's Stop does, and applies its items to a pane.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "FakeResolver.h"
#include "common/SjisText.h"
#include "platform/IcmpService.h"
#include "platform/SocketSlot.h"
#include "workers/PngThrd.h"
#include "workers/RawPngThrd.h"
#include "workers/RawTrsRteThrd.h"
#include "workers/TrsRteThrd.h"

// Failure messages show lines as text, Shift_JIS decoded.
inline void PrintTo(const QByteArray& bytes, std::ostream* os) {
  *os << '"' << FromSjis(bytes).toStdString() << '"';
}

enum class TMode { Raw, Service };

inline const char* ModeName(TMode mode) { return mode == TMode::Raw ? "Raw" : "Service"; }
inline void PrintTo(TMode mode, std::ostream* os) { *os << ModeName(mode); }

// Sockets this process holds. The worker's own wake-up descriptor is no
// socket, and stays until deleteLater runs, which needs an event loop.
inline int OpenSockets() {
  int n = 0;
  const QDir fds("/proc/self/fd");
  for (const QString& fd : fds.entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System))
    n += QFile::symLinkTarget(fds.filePath(fd)).contains("socket:") ? 1 : 0;
  return n;
}

// Every run closes what it opened, its helper's pair too, stopped or not.
inline void ExpectNothingLeftOpen(int socketsBefore) {
  EXPECT_EQ(OpenSockets(), socketsBefore);
  EXPECT_EQ(ActiveSocket.Current(), -1);
}

class TWorkerRun {
 public:
  std::shared_ptr<TOutputChannel> Channel = std::make_shared<TOutputChannel>();
  // Names for the target and the hops; what it does not know stays pending.
  std::shared_ptr<TFakeResolver> Resolver = std::make_shared<TFakeResolver>();
  std::shared_ptr<TResolver> RealResolver;  // used instead when set
  TQueryThread* Worker = nullptr;
  QList<TOutputItem> Items;

  // With a host name, the name stands for the dotted address.
  void StartPing(TMode mode, const char* dotted, const QByteArray& host, const TPingParams& p) {
    const QString target = Name(dotted, host);
    if (mode == TMode::Raw)
      Start(new TRawPingThread(Channel, Lookups(), target, p));
    else
      Start(new TPingThread(Channel, Lookups(), target, p));
  }
  void StartTrace(TMode mode, const char* dotted, const TTraceParams& p) {
    if (mode == TMode::Raw)
      Start(new TRawTraceRouteThread(Channel, Lookups(), dotted, p));
    else
      Start(new TTraceRouteThread(Channel, Lookups(), dotted, p));
  }
  // Hop names: these addresses have these names, all others none.
  void NameHops(const std::map<QByteArray, QByteArray>& names, const QList<QByteArray>& nameless) {
    for (const auto& [dotted, name] : names) Resolver->FAnswers[dotted] = MakeEntry(name, {dotted});
    Resolver->FMissing = nameless;
  }

  // Collects until done(Items) or the time is up; false on time-out.
  bool CollectUntil(const std::function<bool(const QList<TOutputItem>&)>& done, int msecs = 30000) {
    const QDeadlineTimer deadline(msecs);
    for (;;) {
      bool more = false;
      Items.append(Channel->Take(1000, &more));
      if (done(Items)) return true;
      if (deadline.hasExpired()) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  // Until the Finish item, then until the thread has ended.
  bool CollectUntilFinish(int msecs = 60000) {
    const QDeadlineTimer deadline(msecs);
    return CollectUntil(
               [](const QList<TOutputItem>& items) {
                 return !items.isEmpty() && items.last().Kind == TOutputItem::Finish;
               },
               msecs) &&
           Worker->wait(deadline);
  }
  bool CollectUntilStatus(const QString& status) {
    return CollectUntil([&](const QList<TOutputItem>& items) {
      return !items.isEmpty() && items.last().Kind == TOutputItem::Status &&
             QString::fromUtf8(items.last().Text) == status;
    });
  }

  // What the window's Stop does to a worker.
  void Stop() {
    Worker->Stop();
    ActiveSocket.ShutdownAndClear();
  }

  // The report's lines, after the column header it starts with.
  QList<QByteArray> Lines() const { return WithoutHeader(OfKind(TOutputItem::Line)); }
  QStringList Statuses() const {
    QStringList statuses;
    for (const QByteArray& s : OfKind(TOutputItem::Status)) statuses << QString::fromUtf8(s);
    return statuses;
  }
  // The pane after every item: appended lines, the last one deleted on
  // DeleteLast or replaced on ReplaceLast.
  QList<QByteArray> Pane() const { return WithoutHeader(AllShown()); }
  // Everything shown, the column header too.
  QList<QByteArray> AllShown() const {
    QList<QByteArray> pane;
    for (const TOutputItem& i : Items) {
      if (i.Kind == TOutputItem::Line) pane.append(i.Text);
      if (i.Kind == TOutputItem::DeleteLast && !pane.isEmpty()) pane.removeLast();
      if (i.Kind == TOutputItem::ReplaceLast) {
        if (!pane.isEmpty()) pane.removeLast();
        pane.append(i.Text);
      }
    }
    return pane;
  }
  bool Finished() const { return !Items.isEmpty() && Items.last().Kind == TOutputItem::Finish; }

 private:
  void Start(TQueryThread* worker) {
    Worker = worker;
    Worker->start();
  }
  TLookupSetup Lookups() const {
    if (RealResolver) return {RealResolver, 10000};
    return {Resolver, 5000};
  }
  QString Name(const char* dotted, const QByteArray& host) {
    if (host.isEmpty()) return QString::fromLatin1(dotted);
    Resolver->FAnswers[host] = MakeEntry(host, {dotted});
    return QString::fromLatin1(host);
  }
  static QList<QByteArray> WithoutHeader(QList<QByteArray> lines) {
    if (!lines.isEmpty() && lines.first() == ToSjis(TextColumnHeader)) lines.removeFirst();
    return lines;
  }
  QList<QByteArray> OfKind(TOutputItem::TKind kind) const {
    QList<QByteArray> texts;
    for (const TOutputItem& i : Items)
      if (i.Kind == kind) texts.append(i.Text);
    return texts;
  }
};

// A reply or hop line: number, address and tail in their columns, and a
// round-trip time right-aligned in columns 23 to 30.
inline void ExpectTimeLine(const QByteArray& line, int number, const QByteArray& dotted,
                           const QByteArray& tail) {
  const QByteArray head =
      QByteArray::number(number).rightJustified(3) + "  " + dotted.leftJustified(15) + "  ";
  EXPECT_EQ(line.left(22), head) << line.constData();
  const QByteArray time = line.mid(22, 8);
  bool digits = false;
  time.trimmed().toUInt(&digits);
  EXPECT_TRUE(digits && time == time.trimmed().rightJustified(8)) << line.constData();
  EXPECT_EQ(line.mid(30, 6), " ms   ") << line.constData();
  EXPECT_EQ(line.mid(36), tail) << line.constData();
}

inline QByteArray MessageLine(int number, const char16_t* message) {
  return FormatMessageLine(number, ToSjis(message));
}
