#pragma once
#include <QDockWidget>

#include <vector>

#include "common/HopStats.h"
#include "common/PingStats.h"
#include "widgets/PingGraph.h"

class QLabel;
class QPushButton;
class THopTableView;

// The statistics panel below the output pane: the figures of the last Ping
// or TraceRoute run as text (a screen reader reads them), its graph, and
// the button that saves its samples. It keeps them until the next such run
// starts, shown or hidden.
class TGraphPanel : public QDockWidget {
  Q_OBJECT
 public:
  explicit TGraphPanel(QWidget* parent);

  void StartRun(TGraphMode mode, int planned, int timeoutMs);
  void AddSample(const TPingSample& sample);
  // A repeated TraceRoute: its per-hop table in place of the figures and
  // the graph, as each cycle leaves it.
  void StartHopTable();
  void ShowHopTable(const std::vector<THopRow>& rows);
  bool Repeated() const { return FRepeated; }
  const std::vector<THopRow>& HopRows() const { return FHopRows; }
  const TPingStats& Stats() const { return FStats; }
  TGraphMode Mode() const { return Graph->Mode(); }
  // Whether the panel has been on the screen: only then is its height the
  // user's.
  bool WasShown() const { return FWasShown; }

  TPingGraph* Graph;
  THopTableView* HopTable;
  QPushButton* GraphSave_Btn;

 signals:
  // Samples came or went: whether there is anything to save.
  void HasSamplesChanged(bool any);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QLabel* AddFigure(const char* name);
  void ShowFigures();
  void ShowRepeated(bool repeated);

  TPingStats FStats;
  QList<QLabel*> FFigures;
  std::vector<THopRow> FHopRows;
  bool FRepeated = false;
  bool FWasShown = false;
};

// The figures as the panel's labels show them, in order: sent, received,
// lost with its percentage, minimum, average, maximum, deviation, jitter.
QStringList FigureTexts(const TPingFigures& figures);
// What the graph's accessible description says of a run.
QString GraphDescription(TGraphMode mode, const TPingFigures& figures);
