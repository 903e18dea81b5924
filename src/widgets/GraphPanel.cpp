#include "widgets/GraphPanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/HopTableView.h"

namespace {
// Component names of the figure labels, in the order of FigureTexts.
const char* const FigureNames[] = {"GraphSent_LBL",   "GraphReceived_LBL", "GraphLost_LBL",
                                   "GraphMin_LBL",    "GraphAvg_LBL",      "GraphMax_LBL",
                                   "GraphStdDev_LBL", "GraphJitter_LBL"};
}  // namespace

QStringList FigureTexts(const TPingFigures& f) {
  return {QStringLiteral("送信 %1").arg(f.Sent),
          QStringLiteral("受信 %1").arg(f.Received),
          QStringLiteral("損失 %1 (%2%)").arg(f.Lost).arg(RoundedLossPercent(f)),
          QStringLiteral("最小 ") + FormatMs(f.MinMs),
          QStringLiteral("平均 ") + FormatMs(f.AvgMs),
          QStringLiteral("最大 ") + FormatMs(f.MaxMs),
          QStringLiteral("標準偏差 ") + FormatMs(f.StdDevMs),
          QStringLiteral("ジッタ ") + FormatMs(f.JitterMs)};
}

QString GraphDescription(TGraphMode mode, const TPingFigures& f) {
  const QString counted = mode == TGraphMode::Ping
                              ? QStringLiteral("要求 %1 件、損失 %2 件 (%3%)")
                              : QStringLiteral("ホップ %1 件、応答なし %2 件 (%3%)");
  return counted.arg(f.Sent).arg(f.Lost).arg(RoundedLossPercent(f)) +
         QStringLiteral("、最小 %1、平均 %2、最大 %3")
             .arg(FormatMs(f.MinMs), FormatMs(f.AvgMs), FormatMs(f.MaxMs));
}

TGraphPanel::TGraphPanel(QWidget* parent) : QDockWidget(QStringLiteral("グラフ"), parent) {
  setObjectName(QStringLiteral("GraphPanel"));
  // Below the pane only, and never a window of its own: its height is kept.
  setFeatures(QDockWidget::DockWidgetClosable);
  setAllowedAreas(Qt::BottomDockWidgetArea);
  auto* body = new QWidget(this);
  auto* figures = new QHBoxLayout;
  for (const char* name : FigureNames) figures->addWidget(AddFigure(name));
  figures->addStretch(1);
  GraphSave_Btn = new QPushButton(QStringLiteral("CSVで保存..."), body);
  GraphSave_Btn->setObjectName(QStringLiteral("GraphSave_Btn"));
  GraphSave_Btn->setEnabled(false);
  connect(this, &TGraphPanel::HasSamplesChanged, GraphSave_Btn, &QPushButton::setEnabled);
  figures->addWidget(GraphSave_Btn);
  Graph = new TPingGraph(FStats, body);
  Graph->setObjectName(QStringLiteral("PingGraph"));
  Graph->setAccessibleName(QStringLiteral("応答時間のグラフ"));
  HopTable = new THopTableView(body);
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(4, 2, 4, 4);
  layout->addLayout(figures);
  layout->addWidget(Graph, 1);
  layout->addWidget(HopTable, 1);
  setWidget(body);
  ShowFigures();
  ShowRepeated(false);
}

void TGraphPanel::ShowRepeated(bool repeated) {
  FRepeated = repeated;
  for (QLabel* label : FFigures) label->setVisible(!repeated);
  Graph->setVisible(!repeated);
  HopTable->setVisible(repeated);
}

void TGraphPanel::StartHopTable() {
  FStats.Clear();
  FHopRows.clear();
  HopTable->ShowRows(FHopRows);
  ShowRepeated(true);
  emit HasSamplesChanged(false);
}

void TGraphPanel::ShowHopTable(const std::vector<THopRow>& rows) {
  const bool first = FHopRows.empty();
  FHopRows = rows;
  HopTable->ShowRows(FHopRows);
  if (first && !FHopRows.empty()) emit HasSamplesChanged(true);
}

QLabel* TGraphPanel::AddFigure(const char* name) {
  auto* label = new QLabel(this);
  label->setObjectName(QString::fromLatin1(name));
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  FFigures << label;
  return label;
}

void TGraphPanel::StartRun(TGraphMode mode, int planned, int timeoutMs) {
  FStats.Clear();
  FHopRows.clear();
  ShowRepeated(false);
  Graph->Reset(mode, planned, timeoutMs);
  ShowFigures();
  emit HasSamplesChanged(false);
}

void TGraphPanel::AddSample(const TPingSample& sample) {
  if (!FStats.Add(sample)) return;
  ShowFigures();
  Graph->update();
  if (FStats.Samples().size() == 1) emit HasSamplesChanged(true);
}

void TGraphPanel::ShowFigures() {
  const TPingFigures figures = FStats.Figures();
  const QStringList texts = FigureTexts(figures);
  for (qsizetype i = 0; i < FFigures.size(); ++i) FFigures[i]->setText(texts[i]);
  Graph->setAccessibleDescription(GraphDescription(Graph->Mode(), figures));
}

void TGraphPanel::showEvent(QShowEvent* event) {
  QDockWidget::showEvent(event);
  FWasShown = true;
}
