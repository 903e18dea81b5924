#pragma once
#include <QWidget>

#include "common/PingStats.h"

// What a run draws: Ping, each request's round-trip time over its number;
// TraceRoute, one bar per hop.
enum class TGraphMode : quint8 { Ping, Trace };

// The graph of the statistics panel, drawn with QPainter: cheap enough to
// draw 999 requests on every sample. Ping: the replies as a line, broken
// where a request was lost, each loss marked by its kind on the time-out
// line. TraceRoute: a bar per hop labelled with the hop's address, a mark at
// the foot of a hop without answer.
class TPingGraph : public QWidget {
  Q_OBJECT
 public:
  // stats outlives the graph; the graph reads it when it paints.
  TPingGraph(const TPingStats& stats, QWidget* parent);

  // A new run: planned requests or hops set the width of the x axis before
  // they come; the time-out is the line lost requests sit on.
  void Reset(TGraphMode mode, int planned, int timeoutMs);
  TGraphMode Mode() const { return FMode; }
  int TimeoutMs() const { return FTimeoutMs; }

  QSize sizeHint() const override { return {400, 140}; }
  QSize minimumSizeHint() const override { return {120, 60}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  struct TScale;
  TScale MakeScale(const QRect& plot) const;
  void DrawAxes(QPainter& painter, const TScale& scale) const;
  void DrawPing(QPainter& painter, const TScale& scale) const;
  void DrawTrace(QPainter& painter, const TScale& scale) const;
  void DrawLegend(QPainter& painter, const QRect& area) const;
  int PlotLeft() const;
  int WidestLabel() const;
  bool LabelsSideBySide() const;
  int LabelBand() const;

  const TPingStats& FStats;
  TGraphMode FMode = TGraphMode::Ping;
  int FPlanned = 0;
  int FTimeoutMs = 0;
};

// The colour that marks a kind of result.
QColor SampleKindColour(TSampleKind kind);
// The kind's name in the legend ("タイムアウト", "TTL超過", ...).
QString SampleKindCaption(TSampleKind kind);
// 1, 2 or 5 times a power of ten, at least value (at least 1).
int NiceCeiling(int value);
