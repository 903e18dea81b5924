#include "common/HopStats.h"

#include <algorithm>
#include <cmath>

#include "common/PingStats.h"
#include "common/SjisText.h"

QString HopMarkText(THopMark mark) {
  switch (mark) {
    case THopMark::Host:
      return QStringLiteral("!H");
    case THopMark::Net:
      return QStringLiteral("!N");
    case THopMark::Prohibited:
      return QStringLiteral("!X");
    case THopMark::None:
      break;
  }
  return {};
}

// --- Adding up ------------------------------------------------------------------

void THopStats::TTimes::Add(double ms) {
  if (Count > 0) Steps += std::abs(ms - Last);
  Best = Count ? std::min(Best, ms) : ms;
  Worst = Count ? std::max(Worst, ms) : ms;
  Sum += ms;
  Squares += ms * ms;
  Last = ms;
  ++Count;
}

// Population deviation, as ping's mdev; jitter over consecutive answers.
void THopStats::TTimes::Fill(THopRow& row) const {
  row.Received = Count;
  if (Count == 0) return;
  const double avg = Sum / Count;
  row.LastMs = Last;
  row.AvgMs = avg;
  row.BestMs = Best;
  row.WorstMs = Worst;
  row.StdDevMs = std::sqrt(std::max(0.0, Squares / Count - avg * avg));
  if (Count > 1) row.JitterMs = Steps / (Count - 1);
}

THopStats::TResponder& THopStats::THop::Responder(const QString& address) {
  const auto it = std::find_if(Responders.begin(), Responders.end(),
                               [&](const TResponder& r) { return r.Address == address; });
  if (it != Responders.end()) return *it;
  Responders.push_back({address, THopMark::None, {}});
  return Responders.back();
}

void THopStats::AddCycle(const std::vector<TCycleProbe>& probes) {
  ++FCycles;
  // The highest hop that answered this cycle: below it, silence was the
  // hop's own and the traffic went on.
  int answeredUpTo = 0;
  for (const TCycleProbe& p : probes)
    if (p.State == TProbeState::Answered) answeredUpTo = std::max(answeredUpTo, p.Hop);
  for (const TCycleProbe& p : probes) {
    if (p.State == TProbeState::InFlight) continue;
    THop& hop = FHops[p.Hop];
    ++hop.Sent;
    if (p.State == TProbeState::TimedOut) {
      if (p.Hop >= answeredUpTo) ++hop.ForwardLost;
      continue;
    }
    hop.Times.Add(p.Ms);
    TResponder& responder = hop.Responder(p.Address);
    responder.Times.Add(p.Ms);
    if (p.Mark != THopMark::None) responder.Mark = p.Mark;
  }
}

void THopStats::SetName(const QString& address, const QString& name) { FNames[address] = name; }

std::vector<THopRow> THopStats::Rows() const {
  std::vector<THopRow> rows;
  for (const auto& [number, hop] : FHops) {
    THopRow row;
    row.Hop = number;
    row.Sent = hop.Sent;
    hop.Times.Fill(row);
    if (hop.Sent > 0) {
      row.LossPercent = 100.0 * (hop.Sent - hop.Times.Count) / hop.Sent;
      row.ForwardLossPercent = 100.0 * hop.ForwardLost / hop.Sent;
    }
    row.Responders = int(hop.Responders.size());
    const bool several = row.Responders > 1;
    if (hop.Responders.size() == 1) {
      row.Address = hop.Responders.front().Address;
      row.Name = FNames.value(row.Address);
      row.Mark = hop.Responders.front().Mark;
    }
    rows.push_back(row);
    if (!several) continue;
    for (const TResponder& r : hop.Responders) {
      THopRow sub;
      sub.Hop = number;
      sub.Responder = true;
      sub.Address = r.Address;
      sub.Name = FNames.value(r.Address);
      sub.Mark = r.Mark;
      r.Times.Fill(sub);
      rows.push_back(sub);
    }
  }
  return rows;
}

std::optional<int> FirstForwardLossHop(const std::vector<THopRow>& rows) {
  for (const THopRow& row : rows)
    if (!row.Responder && row.ForwardLossPercent.value_or(0) > 0) return row.Hop;
  return std::nullopt;
}

namespace {

QString Figure(std::optional<double> value) {
  return value ? QString::number(*value, 'f', 1) : QStringLiteral("-");
}

QString AddressCell(const THopRow& row) {
  QString text = row.Responders > 1 ? QStringLiteral("(応答元 %1)").arg(row.Responders)
                                    : (row.Address.isEmpty() ? QStringLiteral("*") : row.Address);
  if (row.Mark != THopMark::None) text += u' ' + HopMarkText(row.Mark);
  return row.Responder ? QStringLiteral("  ") + text : text;
}

}  // namespace

QString ForwardLossText(const std::vector<THopRow>& rows) {
  const std::optional<int> hop = FirstForwardLossHop(rows);
  if (!hop) return QStringLiteral("転送パケットを失っているホップはありません");
  const auto row = std::find_if(rows.begin(), rows.end(),
                                [&](const THopRow& r) { return r.Hop == *hop && !r.Responder; });
  const QString who = row->Address.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(row->Address);
  return QStringLiteral("ホップ %1%2 から転送損失があります (%3%)")
      .arg(*hop)
      .arg(who, Figure(row->ForwardLossPercent));
}

QStringList HopColumnCaptions() {
  return {QStringLiteral("ホップ"), QStringLiteral("アドレス"), QStringLiteral("ホスト名"),
          QStringLiteral("損失%"),  QStringLiteral("転送損失%"), QStringLiteral("送信"),
          QStringLiteral("受信"),   QStringLiteral("最新"),     QStringLiteral("平均"),
          QStringLiteral("最良"),   QStringLiteral("最悪"),     QStringLiteral("標準偏差"),
          QStringLiteral("ジッタ")};
}

QStringList HopRowCells(const THopRow& row) {
  const bool hopRow = !row.Responder;
  return {hopRow ? QString::number(row.Hop) : QString(),
          AddressCell(row),
          row.Name,
          hopRow ? Figure(row.LossPercent) : QString(),
          hopRow ? Figure(row.ForwardLossPercent) : QString(),
          hopRow ? QString::number(row.Sent) : QString(),
          QString::number(row.Received),
          Figure(row.LastMs),
          Figure(row.AvgMs),
          Figure(row.BestMs),
          Figure(row.WorstMs),
          Figure(row.StdDevMs),
          Figure(row.JitterMs)};
}

QByteArrayList HopTableLines(const std::vector<THopRow>& rows) {
  std::vector<QByteArrayList> table{[] {
    QByteArrayList cells;
    for (const QString& c : HopColumnCaptions()) cells << ToSjis(c);
    return cells;
  }()};
  for (const THopRow& row : rows) {
    QByteArrayList cells;
    for (const QString& c : HopRowCells(row)) cells << ToSjis(c);
    table.push_back(cells);
  }
  std::vector<qsizetype> widths(size_t(table.front().size()), 0);
  for (const QByteArrayList& cells : table)
    for (qsizetype i = 0; i < cells.size(); ++i)
      widths[size_t(i)] = std::max(widths[size_t(i)], cells[i].size());
  // Text columns (address, name) to the left, figures to the right.
  QByteArrayList lines;
  for (const QByteArrayList& cells : table) {
    QByteArray line;
    for (qsizetype i = 0; i < cells.size(); ++i) {
      const qsizetype width = widths[size_t(i)];
      if (i > 0) line += "  ";
      line += (i == 1 || i == 2) ? cells[i].leftJustified(width) : cells[i].rightJustified(width);
    }
    while (line.endsWith(' ')) line.chop(1);
    lines << line;
  }
  return lines;
}

QByteArray HopTableCsv(const std::vector<THopRow>& rows) {
  QByteArray csv =
      "hop,responder,address,name,mark,loss_percent,forward_loss_percent,sent,received,"
      "last_ms,avg_ms,best_ms,worst_ms,stddev_ms,jitter_ms\r\n";
  const auto percent = [](std::optional<double> p) {
    return p ? QByteArray::number(*p, 'f', 1) : QByteArray();
  };
  for (const THopRow& r : rows) {
    csv += QByteArray::number(r.Hop) + ',' + (r.Responder ? "1" : "0") + ',' +
           CsvField(r.Address) + ',' + CsvField(r.Name) + ',' + HopMarkText(r.Mark).toLatin1() +
           ',' + percent(r.LossPercent) + ',' + percent(r.ForwardLossPercent) + ',' +
           (r.Responder ? QByteArray() : QByteArray::number(r.Sent)) + ',' +
           QByteArray::number(r.Received);
    for (const auto ms : {r.LastMs, r.AvgMs, r.BestMs, r.WorstMs, r.StdDevMs, r.JitterMs})
      csv += ',' + CsvMs(ms);
    csv += "\r\n";
  }
  return csv;
}
