#pragma once
// The figures of a Ping or TraceRoute run: what each request gave, as the
// workers decided it, and what they add up to. Pure; the panel shows them.
#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

// How one request ended. Everything but a reply counts as lost.
enum class TSampleKind : quint8 { Reply, TimedOut, TtlExpired, Unreachable, Error };

struct TPingSample {
  int Number = 0;                  // the request (Ping) or the hop (TraceRoute), from 1
  QString Address;                 // who answered, or whom we asked; empty when nobody is known
  std::optional<double> RoundTripMs;  // a reply's round-trip time, as finely as measured
  TSampleKind Kind = TSampleKind::Reply;
  // When the request went out, ms since the epoch (0: not known). The time of
  // day is worked out where it is shown: a worker never asks for the time
  // zone, which the C library reads unguarded.
  qint64 SentAtMs = 0;
  bool operator==(const TPingSample&) const = default;
};

struct TPingFigures {
  int Sent = 0;
  int Received = 0;
  int Lost = 0;
  double LossPercent = 0;
  // None until a reply came (jitter: until two did).
  std::optional<double> MinMs, MaxMs;
  std::optional<double> AvgMs, StdDevMs, JitterMs;
};

class TPingStats {
 public:
  // Keeps the samples in request order. A second sample for a request comes
  // from a reply after its time-out: the request's result stands, and the
  // sample is ignored (false).
  bool Add(const TPingSample& sample);
  void Clear() { FSamples.clear(); }
  const std::vector<TPingSample>& Samples() const { return FSamples; }
  TPingFigures Figures() const;

 private:
  std::vector<TPingSample> FSamples;
};

// The figures of samples in request order. The standard deviation is the
// population's (as ping's mdev); the jitter is the mean absolute difference
// of round-trip times of consecutive replies, in request order.
TPingFigures ComputeFigures(const std::vector<TPingSample>& samples);

// Loss as a whole percent: never 0 when anything was lost, never 100 when
// anything came back.
int RoundedLossPercent(const TPingFigures& figures);
// A time as the panel shows it: "12.3 ms", or "-" for none.
QString FormatMs(std::optional<double> ms);

// The status bar's line: "送信 10 / 受信 9 / 損失 10% / 平均 12.3 ms"; with no
// reply the average reads "平均 -".
QString PingSummaryText(const TPingFigures& figures);

// The samples as CSV (UTF-8, CR LF, a header row): number, address,
// round-trip ms to the microsecond (empty when lost), result kind; with
// withTime, the time of day each request went out as a last column.
QByteArray SamplesCsv(const std::vector<TPingSample>& samples, bool withTime = false);
// A round-trip time as the CSV files write it: "12.345".
QByteArray CsvMs(std::optional<double> ms);
// A field quoted only when it must be.
QByteArray CsvField(const QString& text);
// The result column's word for a kind ("reply", "timeout", ...).
const char* SampleKindName(TSampleKind kind);
