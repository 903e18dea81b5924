#include "common/PingStats.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

bool TPingStats::Add(const TPingSample& sample) {
  const auto byNumber = [](const TPingSample& a, const TPingSample& b) {
    return a.Number < b.Number;
  };
  // Samples come in request order: the place is nearly always the end.
  const auto at = std::lower_bound(FSamples.begin(), FSamples.end(), sample, byNumber);
  if (at != FSamples.end() && at->Number == sample.Number) return false;
  FSamples.insert(at, sample);
  return true;
}

TPingFigures TPingStats::Figures() const { return ComputeFigures(FSamples); }

TPingFigures ComputeFigures(const std::vector<TPingSample>& samples) {
  TPingFigures f;
  f.Sent = int(samples.size());
  double sum = 0, squares = 0, steps = 0;
  std::optional<double> previous;
  for (const TPingSample& s : samples) {
    if (s.Kind != TSampleKind::Reply || !s.RoundTripMs) continue;
    const double ms = *s.RoundTripMs;
    ++f.Received;
    f.MinMs = std::min(f.MinMs.value_or(ms), ms);
    f.MaxMs = std::max(f.MaxMs.value_or(ms), ms);
    sum += ms;
    squares += ms * ms;
    if (previous) steps += std::abs(ms - *previous);
    previous = ms;
  }
  f.Lost = f.Sent - f.Received;
  f.LossPercent = f.Sent ? 100.0 * f.Lost / f.Sent : 0;
  if (f.Received == 0) return f;
  const double avg = sum / f.Received;
  f.AvgMs = avg;
  f.StdDevMs = std::sqrt(std::max(0.0, squares / f.Received - avg * avg));
  if (f.Received > 1) f.JitterMs = steps / (f.Received - 1);
  return f;
}

int RoundedLossPercent(const TPingFigures& f) {
  const int rounded = int(std::lround(f.LossPercent));
  if (f.Lost > 0 && rounded == 0) return 1;
  if (f.Received > 0 && rounded == 100) return 99;
  return rounded;
}

QString FormatMs(std::optional<double> ms) {
  return ms ? QString::number(*ms, 'f', 1) + QStringLiteral(" ms") : QStringLiteral("-");
}

QString PingSummaryText(const TPingFigures& f) {
  return QStringLiteral("送信 %1 / 受信 %2 / 損失 %3% / 平均 %4")
      .arg(f.Sent)
      .arg(f.Received)
      .arg(RoundedLossPercent(f))
      .arg(FormatMs(f.AvgMs));
}

const char* SampleKindName(TSampleKind kind) {
  switch (kind) {
    case TSampleKind::Reply:
      return "reply";
    case TSampleKind::TimedOut:
      return "timeout";
    case TSampleKind::TtlExpired:
      return "ttl_expired";
    case TSampleKind::Unreachable:
      return "unreachable";
    case TSampleKind::Error:
      return "error";
  }
  return "error";
}

QByteArray CsvField(const QString& text) {
  QByteArray field = text.toUtf8();
  if (!field.contains(',') && !field.contains('"') && !field.contains('\n')) return field;
  return '"' + field.replace("\"", "\"\"") + '"';
}

QByteArray CsvMs(std::optional<double> ms) {
  return ms ? QByteArray::number(*ms, 'f', 3) : QByteArray();
}

QByteArray SamplesCsv(const std::vector<TPingSample>& samples, bool withTime) {
  QByteArray csv = withTime ? "number,address,rtt_ms,result,time\r\n" : "number,address,rtt_ms,result\r\n";
  for (const TPingSample& s : samples) {
    csv += QByteArray::number(s.Number) + ',' + CsvField(s.Address) + ',' + CsvMs(s.RoundTripMs) +
           ',' + SampleKindName(s.Kind);
    if (withTime && s.SentAtMs)
      csv += ',' + QDateTime::fromMSecsSinceEpoch(s.SentAtMs).toString(QStringLiteral("HH:mm:ss.zzz")).toLatin1();
    else if (withTime)
      csv += ',';
    csv += "\r\n";
  }
  return csv;
}
