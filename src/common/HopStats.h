#pragma once
// The figures of a repeated TraceRoute: every hop asked once a cycle, many
// cycles, and per hop (and per address answering at it) how often it
// answered and how fast. Pure; the worker adds cycles, the panel and the
// pane show the rows.
#include <QByteArray>
#include <QByteArrayList>
#include <QHash>
#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <vector>

// How an unreachable destination was reported at a hop, as mtr marks it.
enum class THopMark : quint8 { None, Host, Net, Prohibited };  // !H !N !X
QString HopMarkText(THopMark mark);  // "!H", "!N", "!X" or empty

// One request of a cycle.
enum class TProbeState : quint8 { InFlight, Answered, TimedOut };
struct TCycleProbe {
  int Hop = 0;
  TProbeState State = TProbeState::InFlight;
  QString Address;  // who answered
  double Ms = 0;    // its round-trip time, when answered
  THopMark Mark = THopMark::None;
};

// One row of the table: a hop, or under a hop with several answering
// addresses one of them (Responder), with only its own counts and times.
struct THopRow {
  int Hop = 0;
  bool Responder = false;
  QString Address;  // the hop's only address; empty when none or several
  QString Name;
  THopMark Mark = THopMark::None;
  int Responders = 0;  // hop rows: how many addresses answered
  int Sent = 0;      // requests whose time-out has passed (hop rows)
  int Received = 0;  // answers
  std::optional<double> LossPercent, ForwardLossPercent;  // hop rows with requests
  std::optional<double> LastMs, AvgMs, BestMs, WorstMs, StdDevMs, JitterMs;
  bool operator==(const THopRow&) const = default;
};

class THopStats {
 public:
  // Adds one cycle's requests. Those still in flight count for nothing:
  // neither sent nor lost. An unanswered request counts as forwarding loss
  // only when no later hop answered in the same cycle.
  void AddCycle(const std::vector<TCycleProbe>& probes);
  // The name an address's lookup found; shown from now on.
  void SetName(const QString& address, const QString& name);
  int Cycles() const { return FCycles; }
  std::vector<THopRow> Rows() const;

 private:
  struct TTimes {
    int Count = 0;
    double Sum = 0, Squares = 0, Steps = 0, Best = 0, Worst = 0, Last = 0;
    void Add(double ms);
    void Fill(THopRow& row) const;
  };
  struct TResponder {
    QString Address;
    THopMark Mark = THopMark::None;
    TTimes Times;
  };
  struct THop {
    int Sent = 0, ForwardLost = 0;
    TTimes Times;
    std::vector<TResponder> Responders;  // in the order they first answered
    TResponder& Responder(const QString& address);
  };

  std::map<int, THop> FHops;
  QHash<QString, QString> FNames;
  int FCycles = 0;
};

// The first hop whose forwarding loss is above zero, if any.
std::optional<int> FirstForwardLossHop(const std::vector<THopRow>& rows);
// The status bar's verdict on the rows:
// "ホップ 3 (203.0.113.2) から転送損失があります (25.0%)" or
// "転送パケットを失っているホップはありません".
QString ForwardLossText(const std::vector<THopRow>& rows);

// The table's column captions, as the panel and the pane show them.
QStringList HopColumnCaptions();
// One row's cells in the captions' order ("-" for a figure not known).
QStringList HopRowCells(const THopRow& row);
// The table as the pane's fixed-pitch lines, in Shift_JIS: the captions,
// then one line per row, each column as wide as its widest cell (a
// Shift_JIS byte is one column of the pane), responders indented under
// their hop.
QByteArrayList HopTableLines(const std::vector<THopRow>& rows);
// The table as CSV (UTF-8, CR LF, a header row): one row per hop and
// responder with every column.
QByteArray HopTableCsv(const std::vector<THopRow>& rows);
