// The output pane's keys and mouse: caret movement and selection as in any
// read-only text pane, and line selection in the margin.
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBoundaryFinder>
#include <QWheelEvent>
#include <algorithm>
#include <utility>

#include "widgets/ExtMemo.h"

namespace {

// Pointer held above or below the rows while selecting: one line a tick.
constexpr int DragScrollMs = 50;

// The line-select strip left of the text. It lies outside the viewport, so
// it stays put when the text scrolls sideways, but it belongs to the text
// area: every pointer event is handed on to the viewport, at a position
// left of the viewport's origin (a negative x).
class TLineSelectMargin : public QWidget {
 public:
  TLineSelectMargin(QWidget* parent, QWidget* viewport) : QWidget(parent), FViewport(viewport) {
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
  }

 protected:
  bool event(QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove:
        return HandOnMouse(static_cast<QMouseEvent*>(event));
      case QEvent::Wheel:
        return HandOnWheel(static_cast<QWheelEvent*>(event));
      case QEvent::ContextMenu:
        return HandOnContextMenu(static_cast<QContextMenuEvent*>(event));
      default:
        return QWidget::event(event);
    }
  }

 private:
  QPointF Offset() const { return QPointF(pos() - FViewport->pos()); }

  bool HandOnMouse(QMouseEvent* e) {
    QMouseEvent moved(e->type(), e->position() + Offset(), e->scenePosition(), e->globalPosition(),
                      e->button(), e->buttons(), e->modifiers(), e->pointingDevice());
    moved.setTimestamp(e->timestamp());
    return HandOn(e, moved);
  }
  bool HandOnWheel(QWheelEvent* e) {
    QWheelEvent moved(e->position() + Offset(), e->globalPosition(), e->pixelDelta(),
                      e->angleDelta(), e->buttons(), e->modifiers(), e->phase(), e->inverted(),
                      e->source(), e->pointingDevice());
    return HandOn(e, moved);
  }
  bool HandOnContextMenu(QContextMenuEvent* e) {
    QContextMenuEvent moved(e->reason(), e->pos() + Offset().toPoint(), e->globalPos(),
                            e->modifiers());
    return HandOn(e, moved);
  }
  bool HandOn(QEvent* original, QEvent& moved) {
    QCoreApplication::sendEvent(FViewport, &moved);
    original->setAccepted(moved.isAccepted());
    return true;
  }

  QWidget* FViewport;
};

}  // namespace

QWidget* NewLineSelectMargin(QWidget* parent, QWidget* viewport) {
  return new TLineSelectMargin(parent, viewport);
}

void TExtMemo::SetLineSelect(bool on) {
  FLineSelect = on;
  if (!on) FDragging = false;
  UpdateMarginCursor();
}

void TExtMemo::UpdateMarginCursor() {
  // Without line selection the margin is just more of the text area.
  FMargin->setCursor(FLineSelect ? FMarginCursor : viewport()->cursor());
}

// --- Keys ---

void TExtMemo::keyPressEvent(QKeyEvent* event) {
  if (event == QKeySequence::Copy) return copy();
  if (event == QKeySequence::SelectAll) return selectAll();
  const qint64 target = KeyTarget(event);
  if (target < 0) return QAbstractScrollArea::keyPressEvent(event);
  // A page key moves the view by as many lines as the caret.
  if (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown) {
    QScrollBar* vbar = verticalScrollBar();
    vbar->setValue(vbar->value() + int(FText.LineOf(target) - FText.LineOf(FCaret)));
  }
  Select(event->modifiers() & Qt::ShiftModifier ? FSelAnchor : target, target);
  EnsureVisible(target);
}

// Where a movement key takes the caret; -1 for any other key.
qint64 TExtMemo::KeyTarget(const QKeyEvent* event) const {
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  const qsizetype line = FText.LineOf(FCaret);
  const qint64 start = FText.LineStart(line);
  const auto sameX = [&](qsizetype other) {
    const qreal x = Layout(line)->lineAt(0).cursorToX(int(FCaret - start));
    other = std::clamp<qsizetype>(other, 0, FText.LineCount());
    return FText.LineStart(other) + Layout(other)->lineAt(0).xToCursor(x);
  };
  const auto mode = ctrl ? QTextLayout::SkipWords : QTextLayout::SkipCharacters;
  switch (event->key()) {
    case Qt::Key_Left:
      return StepInLine(FCaret, false, mode);
    case Qt::Key_Right:
      return StepInLine(FCaret, true, mode);
    case Qt::Key_Up:
      return sameX(line - 1);
    case Qt::Key_Down:
      return sameX(line + 1);
    case Qt::Key_PageUp:
      return sameX(line - RowsInView());
    case Qt::Key_PageDown:
      return sameX(line + RowsInView());
    case Qt::Key_Home:
      return ctrl ? 0 : start;
    case Qt::Key_End:
      return ctrl ? FText.Length() : start + Layout(line)->text().size();
    default:
      return -1;
  }
}

// One character or word on, crossing line ends.
qint64 TExtMemo::StepInLine(qint64 pos, bool forward, QTextLayout::CursorMode mode) const {
  const qsizetype line = FText.LineOf(pos);
  const qint64 start = FText.LineStart(line);
  const int column = int(pos - start);
  const QTextLayout* layout = Layout(line);
  if (forward)
    return column >= layout->text().size() ? FText.LineStart(line + 1)
                                           : start + layout->nextCursorPosition(column, mode);
  if (column == 0) return std::max<qint64>(start - 1, 0);
  return start + layout->previousCursorPosition(column, mode);
}

// --- The mouse over the text. Viewport coordinates: the margin is x < 0. ---

void TExtMemo::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(event);
  const QPoint pos = event->position().toPoint();
  const int c = CharFromPoint(pos);
  if (c >= 0) {
    Select(event->modifiers() & Qt::ShiftModifier ? FSelAnchor : c, c);
    EnsureVisible(c);
    FTextDrag = true;
  }
  if (IsLineSelectPress(event)) StartLineDrag(pos);
}

void TExtMemo::mouseDoubleClickEvent(QMouseEvent* event) {
  const int c = CharFromPoint(event->position().toPoint());
  if (event->button() != Qt::LeftButton || c < 0 || IsLineSelectPress(event))
    return mousePressEvent(event);
  // The word under the pointer.
  const qsizetype line = FText.LineOf(c);
  const qint64 start = FText.LineStart(line);
  const QString text = Layout(line)->text();
  QTextBoundaryFinder words(QTextBoundaryFinder::Word, text);
  words.setPosition(c - start);
  const bool atStart = words.boundaryReasons() & QTextBoundaryFinder::StartOfItem;
  const qsizetype from = atStart ? c - start : std::max<qsizetype>(words.toPreviousBoundary(), 0);
  words.setPosition(c - start);
  const qsizetype to = words.toNextBoundary();
  Select(start + from, start + (to < 0 ? text.size() : to));
}

void TExtMemo::mouseMoveEvent(QMouseEvent* event) {
  const bool held = event->buttons() & Qt::LeftButton;
  if (FDragging && held) return DragLines(event->position().toPoint());
  // A drag whose release never arrived (the grab was taken away) ends here.
  FDragging = false;
  FTextDrag = FTextDrag && held;
  if (FTextDrag) DragText(event->position().toPoint());
}

void TExtMemo::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mouseReleaseEvent(event);
  FDragging = FTextDrag = false;
  FDragScroll.stop();
  // What the mouse selected can be pasted with the middle button.
  QClipboard* clipboard = QApplication::clipboard();
  if (clipboard->supportsSelection() && FSelAnchor != FCaret)
    clipboard->setText(SelectedText(), QClipboard::Selection);
}

void TExtMemo::DragText(QPoint pos) {
  FDragPoint = pos;
  const int c = CharFromPoint(pos);
  Select(FSelAnchor, c);
  EnsureVisible(c);
  if (pos.y() < 0 || pos.y() >= viewport()->height())
    FDragScroll.start(DragScrollMs, this);
  else
    FDragScroll.stop();
}

void TExtMemo::timerEvent(QTimerEvent* event) {
  if (event->timerId() == FBlink.timerId()) {
    FCaretShown = !FCaretShown;
    viewport()->update(CaretRect());
  } else if (event->timerId() == FDragScroll.timerId()) {
    QScrollBar* vbar = verticalScrollBar();
    vbar->setValue(vbar->value() + (FDragPoint.y() < 0 ? -1 : 1));
    Select(FSelAnchor, CharFromPoint(FDragPoint));
  } else {
    QAbstractScrollArea::timerEvent(event);
  }
}

// --- Line selection in the margin ---

bool TExtMemo::IsLineSelectPress(const QMouseEvent* event) const {
  return event->button() == Qt::LeftButton && FLineSelect &&
         !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) &&
         event->position().x() < 0;
}

int TExtMemo::LineEnd(int line) const {
  const int next = LineIndex(line + 1);
  return next < 0 ? TextLength() : next;
}

void TExtMemo::StartLineDrag(QPoint pos) {
  const int c = CharFromPoint(pos);
  if (c < 0) return;
  const int line = LineFromChar(std::min(c, TextLength() - 1));
  FDragging = true;
  FTextDrag = false;
  FAnchor = LineIndex(line);
  FLastY = pos.y();
  SelectLines(FAnchor, LineEnd(line));
}

void TExtMemo::DragLines(QPoint pos) {
  const int c = CharFromPoint(pos);
  if (c < 0) return;
  const int prevY = std::exchange(FLastY, pos.y());
  const int line = LineFromChar(std::min(c, TextLength() - 1));
  const int lineStart = LineIndex(line);
  ScrollWhileDragging(line, lineStart, pos.y(), prevY);
  // The anchor line stays selected on either side of it.
  const bool forward = lineStart >= FAnchor;
  const int start = forward ? FAnchor : lineStart;
  const int end = LineEnd(forward ? line : LineFromChar(FAnchor));
  SelectLines(start, end);
}

void TExtMemo::ScrollWhileDragging(int line, int lineStart, int y, int prevY) {
  QScrollBar* vbar = verticalScrollBar();
  if (line == FirstVisibleLine() && y < prevY && line > 0) vbar->setValue(vbar->value() - 1);
  const int lastLineStart = LineIndex(LineFromChar(TextLength() - 1));
  const bool nearBottom = y > viewport()->height() - fontMetrics().height();
  if (nearBottom && y > prevY && lineStart < lastLineStart) vbar->setValue(vbar->value() + 1);
}

// Only the drag's own one-line steps move the view: bringing the caret into
// view would move the lines away from under the pointer.
void TExtMemo::SelectLines(int start, int end) { Select(start, end); }
