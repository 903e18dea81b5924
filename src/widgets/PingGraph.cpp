#include "widgets/PingGraph.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace {
constexpr int MarkRadius = 3;
const TSampleKind LostKinds[] = {TSampleKind::TimedOut, TSampleKind::TtlExpired,
                                 TSampleKind::Unreachable, TSampleKind::Error};

void DrawCross(QPainter& painter, QPointF at, const QColor& colour) {
  painter.setPen(QPen(colour, 1.5));
  painter.drawLine(at + QPointF(-MarkRadius, -MarkRadius), at + QPointF(MarkRadius, MarkRadius));
  painter.drawLine(at + QPointF(-MarkRadius, MarkRadius), at + QPointF(MarkRadius, -MarkRadius));
}

bool IsReply(const TPingSample& s) { return s.Kind == TSampleKind::Reply && s.RoundTripMs; }

QString HopNumber(const TPingSample& s) { return QString::number(s.Number) + u' '; }
QString HopAddress(const TPingSample& s) {
  return s.Address.isEmpty() ? QStringLiteral("*") : s.Address;
}
QString HopLabel(const TPingSample& s) { return HopNumber(s) + HopAddress(s); }

// A label cut to width keeps the hop's number, and of the address its end,
// where the hops of a path differ.
QString CutHopLabel(const QFontMetrics& fm, const TPingSample& s, int width) {
  const QString number = HopNumber(s);
  return number + fm.elidedText(HopAddress(s), Qt::ElideLeft, width - fm.horizontalAdvance(number));
}
}  // namespace

QColor SampleKindColour(TSampleKind kind) {
  switch (kind) {
    case TSampleKind::Reply:
      return QColor(0, 96, 192);
    case TSampleKind::TimedOut:
      return QColor(208, 0, 0);
    case TSampleKind::TtlExpired:
      return QColor(224, 128, 0);
    case TSampleKind::Unreachable:
      return QColor(160, 0, 160);
    case TSampleKind::Error:
      return QColor(96, 96, 96);
  }
  return Qt::black;
}

QString SampleKindCaption(TSampleKind kind) {
  switch (kind) {
    case TSampleKind::Reply:
      return QStringLiteral("応答");
    case TSampleKind::TimedOut:
      return QStringLiteral("タイムアウト");
    case TSampleKind::TtlExpired:
      return QStringLiteral("TTL超過");
    case TSampleKind::Unreachable:
      return QStringLiteral("到達不可");
    case TSampleKind::Error:
      return QStringLiteral("エラー");
  }
  return {};
}

int NiceCeiling(int value) {
  for (int power = 1;; power *= 10) {
    for (int step : {1, 2, 5})
      if (step * power >= value) return step * power;
    if (power > 100'000'000) return value;
  }
}

// Where numbers and times go in the plot. When the time-out lies far above
// the replies it is drawn over a break of the axis, above the plot, so that
// the replies keep the plot's height.
struct TPingGraph::TScale {
  QRect Plot;
  int First = 1;
  int Last = 1;
  int TopMs = 1;
  bool Slots = false;  // bars in slots (TraceRoute) or points on a line (Ping)
  int TimeoutY = 0;    // the time-out line
  bool TimeoutBreak = false;

  double Slot() const { return double(Plot.width()) / (Last - First + 1); }
  double X(int number) const {
    if (Slots) return Plot.left() + (number - First + 0.5) * Slot();
    return Plot.left() + double(number - First) * Plot.width() / std::max(1, Last - First);
  }
  double Y(double ms) const { return Plot.bottom() - ms * Plot.height() / TopMs; }
};

TPingGraph::TPingGraph(const TPingStats& stats, QWidget* parent) : QWidget(parent), FStats(stats) {
  setBackgroundRole(QPalette::Base);
  setAutoFillBackground(true);
}

void TPingGraph::Reset(TGraphMode mode, int planned, int timeoutMs) {
  FMode = mode;
  FPlanned = planned;
  FTimeoutMs = timeoutMs;
  update();
}

int TPingGraph::PlotLeft() const {
  return fontMetrics().horizontalAdvance(QStringLiteral("00000 ms")) + 8;
}

// Measured on the labels themselves: an IPv6 hop's is far wider than an
// IPv4 one's.
int TPingGraph::WidestLabel() const {
  int widest = 0;
  for (const TPingSample& sample : FStats.Samples())
    widest = std::max(widest, fontMetrics().horizontalAdvance(HopLabel(sample)));
  return widest;
}

// TraceRoute labels its bars with their hops' addresses: side by side below
// the axis where the widest fits its slot, turned upright where not.
bool TPingGraph::LabelsSideBySide() const {
  const std::vector<TPingSample>& samples = FStats.Samples();
  const int hops = samples.empty() ? 1 : samples.back().Number - samples.front().Number + 1;
  return (WidestLabel() + 8) * hops <= width() - PlotLeft() - 12;
}

int TPingGraph::LabelBand() const {
  if (FMode == TGraphMode::Ping || LabelsSideBySide()) return fontMetrics().height();
  return std::min(WidestLabel(), height() / 3);
}

TPingGraph::TScale TPingGraph::MakeScale(const QRect& plot) const {
  const std::vector<TPingSample>& samples = FStats.Samples();
  TScale s;
  s.Plot = plot;
  s.Slots = FMode == TGraphMode::Trace;
  if (!samples.empty()) {
    s.First = s.Slots ? samples.front().Number : 1;
    s.Last = samples.back().Number;
  }
  if (!s.Slots) s.Last = std::max({s.Last, FPlanned, 2});
  std::optional<int> top;
  for (const TPingSample& sample : samples)
    if (IsReply(sample)) top = std::max(top.value_or(0), int(std::ceil(*sample.RoundTripMs)));
  if (s.Slots) {
    s.TopMs = NiceCeiling(std::max(top.value_or(0), 1));
    return s;
  }
  // No reply yet: the time-out sets the scale.
  s.TopMs = NiceCeiling(std::max(top.value_or(FTimeoutMs), 1));
  s.TimeoutBreak = FTimeoutMs > s.TopMs;
  if (!s.TimeoutBreak) {
    s.TimeoutY = int(s.Y(FTimeoutMs));
    return s;
  }
  const int band = fontMetrics().height();
  s.TimeoutY = plot.top() + band / 2;
  s.Plot.setTop(plot.top() + band);
  return s;
}

void TPingGraph::DrawAxes(QPainter& painter, const TScale& s) const {
  const QColor text = palette().color(QPalette::Text);
  const QFontMetrics fm = fontMetrics();
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawLine(s.Plot.left(), int(s.Y(s.TopMs / 2.0)), s.Plot.right(), int(s.Y(s.TopMs / 2.0)));
  painter.setPen(text);
  painter.drawLine(s.Plot.bottomLeft(), s.Plot.bottomRight());
  painter.drawLine(s.Plot.bottomLeft(), s.Plot.topLeft());
  const QRect labels(0, 0, s.Plot.left() - 4, fm.height());
  for (const double ms : {0.0, s.TopMs / 2.0, double(s.TopMs)}) {
    const QString label = ms == s.TopMs ? QString::number(s.TopMs) + QStringLiteral(" ms")
                                        : QString::number(ms, 'g', 6);
    painter.drawText(labels.translated(0, int(s.Y(ms)) - fm.height() / 2),
                     Qt::AlignRight | Qt::AlignVCenter, label);
  }
  if (s.Slots) return;
  const int below = s.Plot.bottom() + 2;
  painter.drawText(QRect(s.Plot.left() - 20, below, 40, fm.height()), Qt::AlignHCenter,
                   QString::number(s.First));
  painter.drawText(QRect(s.Plot.right() - 40, below, 40, fm.height()), Qt::AlignRight,
                   QString::number(s.Last));
  // The time-out line, with its value; above a break of the axis when far.
  const QColor timeout = SampleKindColour(TSampleKind::TimedOut);
  painter.setPen(QPen(timeout, 1, Qt::DashLine));
  painter.drawLine(s.Plot.left(), s.TimeoutY, s.Plot.right(), s.TimeoutY);
  if (s.TimeoutBreak) {
    painter.setPen(QPen(text, 1));
    const int y = s.Plot.top() - 2;
    painter.fillRect(QRect(s.Plot.left() - 4, y - 3, 9, 4), palette().base());
    painter.drawLine(s.Plot.left() - 4, y, s.Plot.left() + 4, y - 3);
  }
  painter.setPen(timeout);
  painter.drawText(QRect(s.Plot.left(), s.TimeoutY - fm.height(), s.Plot.width() - 2, fm.height()),
                   Qt::AlignRight | Qt::AlignBottom,
                   QStringLiteral("タイムアウト %1 ms").arg(FTimeoutMs));
}

void TPingGraph::DrawPing(QPainter& painter, const TScale& s) const {
  const std::vector<TPingSample>& samples = FStats.Samples();
  // A cosmetic pen takes the raster engine's fast path: a wide one strokes
  // a path whose every zig-zag of a long run must be filled, tens of
  // milliseconds for a thousand requests.
  QPen line(SampleKindColour(TSampleKind::Reply), 1);
  line.setCosmetic(true);
  const bool dots = int(samples.size()) * 4 <= s.Plot.width();
  QPolygonF run;
  const auto flush = [&] {
    painter.setPen(line);
    if (run.size() > 1) painter.drawPolyline(run);
    if (run.size() == 1 || dots)
      for (const QPointF& p : run) painter.drawEllipse(p, 1.5, 1.5);
    run.clear();
  };
  run.reserve(qsizetype(samples.size()));
  for (const TPingSample& sample : samples) {
    if (IsReply(sample)) {
      run << QPointF(s.X(sample.Number), s.Y(*sample.RoundTripMs));
      continue;
    }
    flush();
    DrawCross(painter, QPointF(s.X(sample.Number), s.TimeoutY), SampleKindColour(sample.Kind));
  }
  flush();
}

void TPingGraph::DrawTrace(QPainter& painter, const TScale& s) const {
  const QFontMetrics fm = fontMetrics();
  const double slot = s.Slot();
  const double bar = std::max(1.0, slot * 0.7);
  // Every label where they fit side by side, otherwise every n-th.
  const int every = std::max(1, int(std::ceil(fm.height() / slot)));
  const int band = LabelBand();
  const bool sideBySide = LabelsSideBySide();
  for (const TPingSample& sample : FStats.Samples()) {
    const double x = s.X(sample.Number);
    if (IsReply(sample)) {
      // A reply within the millisecond still shows as a bar.
      const double top = std::min(s.Y(*sample.RoundTripMs), s.Plot.bottom() - 2.0);
      painter.fillRect(QRectF(x - bar / 2, top, bar, s.Plot.bottom() - top),
                       SampleKindColour(TSampleKind::Reply));
    } else {
      DrawCross(painter, QPointF(x, s.Plot.bottom() - MarkRadius - 2),
                SampleKindColour(sample.Kind));
    }
    painter.setPen(palette().color(QPalette::Text));
    if (sideBySide) {
      painter.drawText(QRectF(x - slot / 2, s.Plot.bottom() + 2, slot, band), Qt::AlignCenter,
                       HopLabel(sample));
      continue;
    }
    if ((sample.Number - s.First) % every != 0) continue;
    painter.save();
    painter.translate(x - fm.height() / 2.0, s.Plot.bottom() + 4);
    painter.rotate(90);
    painter.drawText(QRect(0, -fm.height(), band, fm.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     CutHopLabel(fm, sample, band));
    painter.restore();
  }
}

// The kinds of loss the run had, above the plot from its left; the time-out
// line's value takes the right.
void TPingGraph::DrawLegend(QPainter& painter, const QRect& area) const {
  const QFontMetrics fm = fontMetrics();
  int left = area.left();
  for (const TSampleKind kind : LostKinds) {
    const auto& samples = FStats.Samples();
    if (std::none_of(samples.begin(), samples.end(),
                     [&](const TPingSample& s) { return s.Kind == kind && !IsReply(s); }))
      continue;
    DrawCross(painter, QPointF(left + MarkRadius, area.top() + fm.height() / 2.0),
              SampleKindColour(kind));
    const QString caption = SampleKindCaption(kind);
    const int width = fm.horizontalAdvance(caption);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(QRect(left + 2 * MarkRadius + 4, area.top(), width, fm.height()),
                     Qt::AlignVCenter, caption);
    left += width + 2 * MarkRadius + 16;
  }
}

void TPingGraph::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QFontMetrics fm = fontMetrics();
  const int left = PlotLeft();
  const QRect plot = rect().adjusted(left, fm.height() + 6, -12, -(LabelBand() + 6));
  if (plot.width() < 16 || plot.height() < 16) return;
  const TScale scale = MakeScale(plot);
  DrawAxes(painter, scale);
  if (FMode == TGraphMode::Ping)
    DrawPing(painter, scale);
  else
    DrawTrace(painter, scale);
  DrawLegend(painter, rect().adjusted(left, 2, -12, 0));
}
