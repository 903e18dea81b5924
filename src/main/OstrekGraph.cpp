// The statistics panel of Ping and TraceRoute: what a run hands it, the
// summary it leaves in the status bar, its place below the pane and the
// export of its samples.
#include <QAction>
#include <QLayout>
#include <QPushButton>

#include "dialogs/DialogCommon.h"
#include "main/OstrekMain.h"
#include "widgets/ExtMemo.h"
#include "widgets/GraphPanel.h"

namespace {
// Lines of the pane that showing the panel leaves at least, growing the
// window where the screen allows.
constexpr int PaneLinesKept = 4;
}  // namespace

// Built hidden: a hidden dock takes no room, and the window stays as it was.
void TOstrekForm::BuildGraphPanel() {
  GraphPanel = new TGraphPanel(this);
  addDockWidget(Qt::BottomDockWidgetArea, GraphPanel);
  GraphPanel->hide();
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

// A Ping run that sent anything leaves its summary in the status bar, the
// panel shown or not; a reason the worker gives at its end replaces it.
void TOstrekForm::EndSampling() {
  if (!FSampling) return;
  FSampling = false;
  const TPingFigures figures = GraphPanel->Stats().Figures();
  if (GraphPanel->Mode() == TGraphMode::Ping && figures.Sent > 0)
    SetStatusText(PingSummaryText(figures));
}

void TOstrekForm::ShowGraphPanel(bool on) {
  if (on) FitGraphPanel();
}

// The panel's first appearance takes its stored height; the window grows
// when the pane would be left with fewer than a few lines.
void TOstrekForm::FitGraphPanel() {
  if (!WindowShown || GraphPanel->isHidden()) return;
  if (FGraphHeight > 0) resizeDocks({GraphPanel}, {FGraphHeight}, Qt::Vertical);
  FGraphHeight = 0;
  layout()->activate();
  const int wanted =
      ExtMemo->fontMetrics().lineSpacing() * PaneLinesKept + 2 * ExtMemo->frameWidth();
  const int missing = wanted - ExtMemo->height();
  if (missing <= 0) return;
  const int most = AvailableArea(this).height() - (frameGeometry().height() - height());
  resize(width(), std::max(height(), std::min(height() + missing, most)));
  KeepOnScreen(this);
}

// The user's height once the panel has been on the screen, the stored one
// until then.
int TOstrekForm::KeptGraphHeight() const {
  return GraphPanel->WasShown() && FGraphHeight == 0 ? GraphPanel->height() : FGraphHeight;
}

void TOstrekForm::GraphSave_ExMMClick() {
  // Both commands are disabled without samples: never an empty file.
  if (GraphPanel->Stats().Samples().empty()) return;
  const QString path = AskSavePath(QStringLiteral("CSV (*.csv)"), QStringLiteral("csv"));
  if (!path.isEmpty()) WriteFileOrSay(path, SamplesCsv(GraphPanel->Stats().Samples()));
}
