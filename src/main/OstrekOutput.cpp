// The output pane, the hand-over from workers, the query log and the pane
// commands that act on the whole text.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QSaveFile>
#include <QTimer>

#include "common/Cp932.h"
#include "common/ProgramDir.h"
#include "common/QueryLogWriter.h"
#include "common/SjisText.h"
#include "dialogs/DialogCommon.h"
#include "main/OstrekMain.h"
#include "settings/Settings.h"
#include "widgets/ExtMemo.h"
#include "workers/OutputChannel.h"

namespace {
// One drain takes at most this many items, or this much text (long lines,
// and Japanese text most of all, cost more to lay out), then lets the event
// loop run (Stop, painting, timers) before it goes on. It goes on from a
// timer: a posted call would run before any timer is served again.
constexpr qsizetype DrainBatch = 8192;
constexpr qsizetype DrainCost = 1 << 19;
}  // namespace

void TOstrekForm::AddOutput(const QString& text) { AddOutput(ToSjis(text)); }

void TOstrekForm::AddOutput(const QByteArray& sjisText) { AppendOutputBatch({sjisText}); }

void TOstrekForm::AppendOutputBatch(const QList<QByteArray>& lines) {
  if (!FBusy || lines.isEmpty()) return;
  FQueryLines.append(lines);
  ExtMemo->AppendSjisLines(lines, AutoScroll_ChckM->isChecked());
}

void TOstrekForm::DeleteLastOutput() {
  if (!FBusy) return;
  ExtMemo->DeleteLastLine();
  if (!FQueryLines.isEmpty()) FQueryLines.removeLast();
}

// The panel is as narrow as designed; a longer text (a reason with its fix)
// can still be read whole in its tool tip.
void TOstrekForm::SetStatusText(const QString& text) {
  StatusPanel->setText(text);
  StatusPanel->setToolTip(text);
}

void TOstrekForm::DrainWorker(std::weak_ptr<TOutputChannel> weak) {
  const std::shared_ptr<TOutputChannel> channel = weak.lock();
  if (!channel || channel != FChannel) return;
  bool more = false;
  const QList<TOutputItem> items = channel->Take(DrainBatch, &more, DrainCost);
  QList<QByteArray> lines;
  for (const TOutputItem& item : items) {
    if (item.Kind == TOutputItem::Sample) {
      TakeSample(item.Result);  // beside the pane: the batch of lines goes on
      continue;
    }
    if (item.Kind == TOutputItem::HopTable) {
      TakeHopTable(item.Table);
      continue;
    }
    if (item.Kind == TOutputItem::Line) {
      lines.append(item.Text);
      continue;
    }
    AppendOutputBatch(lines);
    lines.clear();
    if (channel != FChannel) return;  // the run ended meanwhile
    switch (item.Kind) {
      case TOutputItem::Status:
        SetStatusText(QString::fromUtf8(item.Text));
        break;
      case TOutputItem::DeleteLast:
        DeleteLastOutput();
        break;
      case TOutputItem::ReplaceLast:
        DeleteLastOutput();
        AddOutput(item.Text);
        break;
      case TOutputItem::Finish:
        if (!FBusy) return;
        FinishQuery();
        if (!item.Text.isEmpty()) SetStatusText(QString::fromUtf8(item.Text));
        return;
      case TOutputItem::Line:
      case TOutputItem::Sample:
      case TOutputItem::HopTable:
        break;
    }
  }
  AppendOutputBatch(lines);
  if (more && channel == FChannel) FDrainTimer->start();
}

// The run's lines go to the log writer's thread: a long run's entry takes
// long to write.
void TOstrekForm::WriteQueryLog() {
  FLogWriter->Post(
      {LogDir(), FLogMode, FLogFileName, FLogPrefix, QDate::currentDate(), std::move(FQueryLines)});
  FQueryLines.clear();
}

bool TOstrekForm::WaitForQueryLog() { return FLogWriter->Wait(); }

void TOstrekForm::ReportQueryLogFailures(bool unwritten) {
  if (FLogWriter->TakeFailures() > 0 || unwritten)
    ShowError(QStringLiteral("ログファイルの書き込みに失敗しました。"));
}

bool TOstrekForm::SaveOutputTo(const QString& path) {
  QByteArray text;
  for (const QString& line : ExtMemo->Lines()) {
    text += ToSjis(line);
    text += "\r\n";
  }
  return WriteFileOrSay(path, text);
}

bool TOstrekForm::WriteFileOrSay(const QString& path, const QByteArray& bytes) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    ShowError(QStringLiteral("ファイルに書き込めません。\r\n") + path + QStringLiteral("\r\n") +
              file.errorString());
    return false;
  }
  return true;
}

QString TOstrekForm::AskSavePath(const QString& filter, const QString& suffix) {
  const QString path = FDeps.ChooseSaveFile ? FDeps.ChooseSaveFile(this, FFolder)
                                            : ChooseFileToSave(this, FFolder, filter, suffix);
  if (path.isEmpty()) return {};
  FFolder = FolderOfFileName(path);
  if (QFile::exists(path)) {
    const auto answer = QMessageBox::warning(
        this, windowTitle(),
        path + QStringLiteral("\r\nこのファイルはすでに存在します。\r\n\r\n上書きしますか？"),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer != QMessageBox::Yes) return {};
  }
  return path;
}

void TOstrekForm::Save_ExMMClick() {
  const QString path = AskSavePath(QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ (*.txt)"), QStringLiteral("txt"));
  if (!path.isEmpty()) SaveOutputTo(path);
}

void TOstrekForm::CpAll_ExMMClick() {
  // Copies the whole text; the user's selection stays as it was.
  QApplication::clipboard()->setText(ExtMemo->toPlainText());
}

void TOstrekForm::DeleteAll_ExMMClick() { ExtMemo->clear(); }
