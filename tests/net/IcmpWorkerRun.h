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

class TWorkerRun {
 public:
  std::shared_ptr<TOutputChannel> Channel = std::make_shared<TOutputChannel>();
  TQueryThread* Worker = nullptr;
  QList<TOutputItem> Items;

  void StartPing(TMode mode, const char* dotted, const QByteArray& host, const TPingParams& p) {
    const quint32 addr = inet_addr(dotted);
    if (mode == TMode::Raw)
      Start(new TRawPingThread(Channel, addr, host, p));
    else
      Start(new TPingThread(Channel, addr, host, p));
  }
  void StartTrace(TMode mode, const char* dotted, const TTraceParams& p, THopLookup lookup = {}) {
    const quint32 addr = inet_addr(dotted);
    if (mode == TMode::Raw)
      Start(new TRawTraceRouteThread(Channel, addr, "host", p, std::move(lookup)));
    else
      Start(new TTraceRouteThread(Channel, addr, "host", p, std::move(lookup)));
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
    IcmpHandle.CloseAndClear();
  }

  QList<QByteArray> Lines() const { return OfKind(TOutputItem::Line); }
  QStringList Statuses() const {
    QStringList statuses;
    for (const QByteArray& s : OfKind(TOutputItem::Status)) statuses << QString::fromUtf8(s);
    return statuses;
  }
  // The pane after every item: appended lines, the last one deleted on
  // DeleteLast or replaced on ReplaceLast.
  QList<QByteArray> Pane() const {
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
  QList<QByteArray> OfKind(TOutputItem::TKind kind) const {
    QList<QByteArray> texts;
    for (const TOutputItem& i : Items)
      if (i.Kind == kind) texts.append(i.Text);
    return texts;
  }
};

// Hop names from a table, the addresses asked for recorded. With Hold set, a
// lookup blocks until Release (as the window's lookup blocks until it ends).
class TFakeHopNames {
 public:
  explicit TFakeHopNames(std::map<QString, QByteArray> names = {}) : FNames(std::move(names)) {}

  bool Hold = false;

  THopLookup Lookup() {
    return [this](const QString& dotted, THostEntry* entry) {
      std::unique_lock lock(FLock);
      FAsked << dotted;
      FChanged.notify_all();
      FChanged.wait(lock, [&] { return !Hold || FReleased; });
      const auto it = FNames.find(dotted);
      if (FReleased || it == FNames.end()) return false;
      entry->OfficialName = it->second;
      return true;
    };
  }
  bool WaitAsked(int count) {
    std::unique_lock lock(FLock);
    return FChanged.wait_for(lock, std::chrono::seconds(30),
                             [&] { return FAsked.size() >= count; });
  }
  // Ends held lookups without a name, as a stopped lookup ends.
  void Release() {
    std::lock_guard lock(FLock);
    FReleased = true;
    FChanged.notify_all();
  }
  QStringList Asked() {
    std::lock_guard lock(FLock);
    return FAsked;
  }

 private:
  std::map<QString, QByteArray> FNames;
  std::mutex FLock;
  std::condition_variable FChanged;
  QStringList FAsked;
  bool FReleased = false;
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
