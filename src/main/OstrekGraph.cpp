// The statistics panel of Ping and TraceRoute: what a run hands it, the
// summary it leaves in the status bar, its place below the pane and the
// export of its samples.
#include <QAction>
#include <QLayout>
#include <QPushButton>
#include <utility>

#include "common/HopStats.h"
#include "dialogs/DialogCommon.h"
#include "main/OstrekMain.h"
#include "widgets/GraphPanel.h"

// Built hidden: a hidden dock takes no room, and the window stays as it was.
void TOstrekForm::BuildGraphPanel() {
  GraphPanel = new TGraphPanel(this);
  addDockWidget(Qt::BottomDockWidgetArea, GraphPanel);
  GraphPanel->hide();
  // Shown or hidden, it changes what the window needs at least.
  connect(GraphPanel, &QDockWidget::visibilityChanged, this, &TOstrekForm::ArrangeActivePage);
  connect(GraphPanel->GraphSave_Btn, &QPushButton::clicked, this,
          &TOstrekForm::GraphSave_ExMMClick);
}

// The panel keeps the last run's figures until the next Ping or TraceRoute.
void TOstrekForm::StartSampling(TGraphMode mode, int planned, int timeoutMs) {
  FSampling = true;
  GraphPanel->StartRun(mode, planned, timeoutMs);
}

void TOstrekForm::TakeSample(const TPingSample& sample) {
  if (FSampling) GraphPanel->AddSample(sample);
}

void TOstrekForm::StartHopTable() {
  FSampling = true;
  FHopTablePending = true;
  GraphPanel->StartHopTable();
}

void TOstrekForm::TakeHopTable(const std::shared_ptr<const std::vector<THopRow>>& rows) {
  if (FSampling && rows) GraphPanel->ShowHopTable(*rows);
}

// Under the run's header (before a stop's line): the cycles done, so that
// the log and a saved file keep them.
void TOstrekForm::WriteHopTable() {
  if (!std::exchange(FHopTablePending, false) || GraphPanel->HopRows().empty()) return;
  for (const QByteArray& line : HopTableLines(GraphPanel->HopRows())) AddOutput(line);
}

// A Ping run that sent anything leaves its summary in the status bar, the
// panel shown or not; a reason the worker gives at its end replaces it.
void TOstrekForm::EndSampling() {
  if (!FSampling) return;
  FSampling = false;
  if (GraphPanel->Repeated()) {
    if (!GraphPanel->HopRows().empty()) SetStatusText(ForwardLossText(GraphPanel->HopRows()));
    return;
  }
  const TPingFigures figures = GraphPanel->Stats().Figures();
  if (GraphPanel->Mode() == TGraphMode::Ping && figures.Sent > 0)
    SetStatusText(PingSummaryText(figures));
}

void TOstrekForm::ShowGraphPanel(bool on) {
  if (on) FitGraphPanel();
}

// The panel's first appearance takes its stored height; the window grows
// by what the pane's lines kept from it, where the screen allows.
void TOstrekForm::FitGraphPanel() {
  if (!WindowShown || GraphPanel->isHidden()) return;
  const int wanted = std::exchange(FGraphHeight, 0);
  if (wanted <= 0) return;
  resizeDocks({GraphPanel}, {wanted}, Qt::Vertical);
  layout()->activate();
  const int missing = wanted - GraphPanel->height();
  if (missing <= 0) return;
  const int most = AvailableArea(this).height() - (frameGeometry().height() - height());
  resize(width(), std::max(height(), std::min(height() + missing, most)));
  KeepOnScreen(this);
  resizeDocks({GraphPanel}, {wanted}, Qt::Vertical);
}

// The user's height once the panel has been on the screen, the stored one
// until then.
int TOstrekForm::KeptGraphHeight() const {
  return GraphPanel->WasShown() && FGraphHeight == 0 ? GraphPanel->height() : FGraphHeight;
}

void TOstrekForm::GraphSave_ExMMClick() {
  // Both commands are disabled without samples: never an empty file.
  const bool repeated = GraphPanel->Repeated();
  if (repeated ? GraphPanel->HopRows().empty() : GraphPanel->Stats().Samples().empty()) return;
  const QString path = AskSavePath(QStringLiteral("CSV (*.csv)"), QStringLiteral("csv"));
  if (path.isEmpty()) return;
  WriteFileOrSay(path, repeated ? HopTableCsv(GraphPanel->HopRows())
                                : SamplesCsv(GraphPanel->Stats().Samples(),
                                             GraphPanel->Mode() == TGraphMode::Ping));
}
