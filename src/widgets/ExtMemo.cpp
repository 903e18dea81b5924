#include "widgets/ExtMemo.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QScrollBar>
#include <QStringMatcher>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QWheelEvent>
#include <algorithm>
#include <utility>

#include "common/Cp932.h"

static void InitMemoResources() { Q_INIT_RESOURCE(ostrekon); }

namespace {

constexpr int MarginWidth = 16;

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

bool IsWordChar(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

bool IsWholeWord(const QString& text, qsizetype at, qsizetype length) {
  const qsizetype after = at + length;
  return (at == 0 || !IsWordChar(text[at - 1])) &&
         (after >= text.size() || !IsWordChar(text[after]));
}

// The first match that next() finds and accept() takes, or -1.
template <typename TNext, typename TAccept>
qsizetype FirstAccepted(TNext next, TAccept accept) {
  qsizetype at = next(0);
  while (at >= 0 && !accept(at)) at = next(at + 1);
  return at;
}

}  // namespace

TExtMemo::TExtMemo(QWidget* parent) : QPlainTextEdit(parent) {
  InitMemoResources();
  setReadOnly(true);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setUndoRedoEnabled(false);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  KeepTextReadableWhenDisabled();
  // The arrow's tip, its upper right corner, is the hot spot.
  FMarginCursor = QCursor(QPixmap(QStringLiteral(":/RIGHTARROW")), 31, 0);
  setViewportMargins(MarginWidth, 0, 0, 0);
  FMargin = new TLineSelectMargin(this, viewport());
  UpdateMarginCursor();
  LayoutMargin();
  connect(document(), &QTextDocument::contentsChange, this, [this] {
    FSearchTextValid = false;
    FSearchText.clear();
  });
}

bool TExtMemo::IsEmpty() const { return document()->isEmpty(); }

void TExtMemo::AppendLines(const QString& lines, bool follow) {
  QScrollBar* vbar = verticalScrollBar();
  QScrollBar* hbar = horizontalScrollBar();
  const int keepV = vbar->value();
  const int keepH = hbar->value();
  // The text always ends with a line end, so the end is the start of the
  // (empty) last block; insertion there needs no separator.
  QTextCursor at(document());
  at.movePosition(QTextCursor::End);
  at.beginEditBlock();
  at.insertText(lines + QChar('\n'));
  at.endEditBlock();
  if (follow) {
    // Scrolling with the viewport's updates on measures the distance
    // scrolled, and so lays out every line passed over; the caret, placed
    // after the scroll, needs only the lines shown.
    viewport()->setUpdatesEnabled(false);
    vbar->setValue(vbar->maximum());
    viewport()->setUpdatesEnabled(true);
    QTextCursor caret = textCursor();
    caret.movePosition(QTextCursor::End);
    setTextCursor(caret);
  } else {
    vbar->setValue(keepV);
    hbar->setValue(keepH);
  }
}

void TExtMemo::AppendSjisLines(const QList<QByteArray>& lines, bool follow) {
  // Usually no line holds a CR or LF byte, and the batch is decoded in one
  // piece; a line that does (a stray byte of a JIS or EUC-JP line) keeps
  // them as characters of its own, so that each line stays one line.
  const bool plain = std::none_of(lines.begin(), lines.end(), [](const QByteArray& line) {
    return line.contains('\n') || line.contains('\r');
  });
  qsizetype size = 0;
  for (const QByteArray& line : lines) size += line.size() + 1;
  if (plain) {
    QByteArray joined;
    joined.reserve(size);
    for (const QByteArray& line : lines) joined.append(line).append('\n');
    joined.chop(1);
    AppendLines(SjisToUnicode(joined), follow);
    return;
  }
  QString text;
  text.reserve(size);
  for (const QByteArray& line : lines) text.append(SjisLineToUnicode(line)).append(u'\n');
  text.chop(1);
  AppendLines(text, follow);
}

void TExtMemo::DeleteLastLine() {
  QTextDocument* doc = document();
  if (doc->blockCount() < 2) return;
  // The last block is the empty one after the final line end; the line
  // appended last is the one before it.
  QTextBlock line = doc->lastBlock().previous();
  QTextCursor c(doc);
  c.setPosition(line.position());
  c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
  c.removeSelectedText();
}

QStringList TExtMemo::Lines() const {
  QStringList lines = toPlainText().split(QChar('\n'));
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

void TExtMemo::changeEvent(QEvent* event) {
  QPlainTextEdit::changeEvent(event);
  if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
    KeepTextReadableWhenDisabled();
}

void TExtMemo::KeepTextReadableWhenDisabled() {
  // The pane is disabled while a query runs; its report must stay as
  // readable as before, not greyed out.
  QPalette pal = palette();
  const QPalette::ColorRole roles[] = {QPalette::Text, QPalette::Base, QPalette::Highlight,
                                       QPalette::HighlightedText, QPalette::Window};
  bool changed = false;
  const auto set = [&](QPalette::ColorGroup group, QPalette::ColorRole role, const QBrush& b) {
    if (pal.brush(group, role) == b) return;
    pal.setBrush(group, role, b);
    changed = true;
  };
  for (QPalette::ColorRole role : roles)
    set(QPalette::Disabled, role, pal.brush(QPalette::Active, role));
  // Without the focus the selection shows as with it, or not at all.
  const QBrush highlight = FHideSelection ? pal.brush(QPalette::Active, QPalette::Base)
                                          : pal.brush(QPalette::Active, QPalette::Highlight);
  const QBrush highlighted = FHideSelection
                                 ? pal.brush(QPalette::Active, QPalette::Text)
                                 : pal.brush(QPalette::Active, QPalette::HighlightedText);
  set(QPalette::Inactive, QPalette::Highlight, highlight);
  set(QPalette::Inactive, QPalette::HighlightedText, highlighted);
  if (changed) setPalette(pal);
}

void TExtMemo::resizeEvent(QResizeEvent* event) {
  // Called for the viewport's resizes too (a horizontal scroll bar showing
  // up shortens it); the margin follows the viewport's height.
  QPlainTextEdit::resizeEvent(event);
  LayoutMargin();
}

void TExtMemo::LayoutMargin() {
  const QRect text = viewport()->geometry();
  FMargin->setGeometry(text.left() - MarginWidth, text.top(), MarginWidth, text.height());
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

// --- Line selection. Viewport coordinates: the margin is where x < 0. ---

bool TExtMemo::IsLineSelectPress(const QMouseEvent* event) const {
  return event->button() == Qt::LeftButton && FLineSelect &&
         !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) &&
         event->position().x() < 0;
}

void TExtMemo::mousePressEvent(QMouseEvent* event) {
  QPlainTextEdit::mousePressEvent(event);
  if (IsLineSelectPress(event)) StartLineDrag(event->position().toPoint());
}

void TExtMemo::mouseMoveEvent(QMouseEvent* event) {
  if (FDragging && (event->buttons() & Qt::LeftButton)) {
    DragLines(event->position().toPoint());
    return;
  }
  // A drag whose release never arrived (the grab was taken away) ends here.
  FDragging = false;
  QPlainTextEdit::mouseMoveEvent(event);
}

void TExtMemo::mouseReleaseEvent(QMouseEvent* event) {
  if (FDragging && event->button() == Qt::LeftButton) {
    FDragging = false;
    return;
  }
  QPlainTextEdit::mouseReleaseEvent(event);
}

int TExtMemo::CharFromPoint(QPoint pos) const {
  if (TextLength() == 0) return -1;
  // A pointer above or below the text area hits its first or last visible
  // row, so that pointing past an edge selects up to the edge and scrolls.
  const int y = std::clamp(pos.y(), 0, std::max(0, viewport()->height() - 1));
  return cursorForPosition(QPoint(pos.x(), y)).position();
}

int TExtMemo::LineEnd(int line) const {
  const int next = LineIndex(line + 1);
  return next < 0 ? TextLength() : next;
}

int TExtMemo::FirstVisibleLine() const { return firstVisibleBlock().blockNumber(); }

void TExtMemo::StartLineDrag(QPoint pos) {
  const int c = CharFromPoint(pos);
  if (c < 0) return;
  const int line = LineFromChar(std::min(c, TextLength() - 1));
  FDragging = true;
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
  if (SelStart() == start && SelStart() + SelLength() == end) return;
  SelectLines(start, end);
}

void TExtMemo::ScrollWhileDragging(int line, int lineStart, int y, int prevY) {
  QScrollBar* vbar = verticalScrollBar();
  if (line == FirstVisibleLine() && y < prevY && line > 0) vbar->setValue(vbar->value() - 1);
  const int lastLineStart = LineIndex(LineFromChar(TextLength() - 1));
  const bool nearBottom = y > viewport()->height() - fontMetrics().height();
  if (nearBottom && y > prevY && lineStart < lastLineStart) vbar->setValue(vbar->value() + 1);
}

void TExtMemo::SelectLines(int start, int end) {
  // Only the drag's own one-line steps move the view: bringing the caret
  // into view would move the lines away from under the pointer.
  QScrollBar* vbar = verticalScrollBar();
  const int top = vbar->value();
  SetSelection(start, end - start);
  vbar->setValue(top);
}

// --- Positions ---

int TExtMemo::TextLength() const { return document()->characterCount() - 1; }

int TExtMemo::SelStart() const { return textCursor().selectionStart(); }

int TExtMemo::SelLength() const {
  const QTextCursor c = textCursor();
  return c.selectionEnd() - c.selectionStart();
}

void TExtMemo::SetSelection(int start, int length) {
  const qint64 size = TextLength();
  QTextCursor c(document());
  c.setPosition(int(std::clamp<qint64>(start, 0, size)));
  c.setPosition(int(std::clamp<qint64>(qint64(start) + length, 0, size)), QTextCursor::KeepAnchor);
  setTextCursor(c);
}

int TExtMemo::LineFromChar(int pos) const {
  return document()->findBlock(std::clamp(pos, 0, TextLength())).blockNumber();
}

int TExtMemo::LineIndex(int line) const {
  if (line < 0) return textCursor().block().position();
  const QTextBlock block = document()->findBlockByNumber(line);
  return block.isValid() ? block.position() : -1;
}

const QString& TExtMemo::SearchText() const {
  if (!FSearchTextValid) {
    // The raw text is the quickest copy; its line ends are paragraph
    // separators, one position each.
    FSearchText = document()->toRawText();
    FSearchTextValid = true;
  }
  return FSearchText;
}

void TExtMemo::SetHideSelection(bool hide) {
  FHideSelection = hide;
  KeepTextReadableWhenDisabled();
}

int TExtMemo::FindTextBackward(const QString& text, int last, bool matchCase,
                               bool wholeWord) const {
  if (text.isEmpty() || last < 0) return -1;
  const QString& all = SearchText();
  const QString needle = QString(text).replace(u'\n', QChar::ParagraphSeparator);
  const Qt::CaseSensitivity cs = matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
  qsizetype at = QStringView(all).lastIndexOf(needle, std::min<qsizetype>(last, all.size()), cs);
  while (at >= 0 && wholeWord && !IsWholeWord(all, at, needle.size()))
    at = at > 0 ? QStringView(all).lastIndexOf(needle, at - 1, cs) : -1;
  return int(at);
}

int TExtMemo::FindText(const QString& text, int from, int to, bool matchCase,
                       bool wholeWord) const {
  if (text.isEmpty()) return -1;
  const QString& all = SearchText();
  const qsizetype begin = std::clamp<qsizetype>(from, 0, all.size());
  const qsizetype end = std::clamp<qsizetype>(to, begin, all.size());
  // Searching the range alone keeps a match inside it and keeps a search
  // over a few positions cheap, whatever the size of the text.
  const QStringView range = QStringView(all).sliced(begin, end - begin);
  const QString needle = QString(text).replace(u'\n', QChar::ParagraphSeparator);
  const Qt::CaseSensitivity cs = matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
  const auto accept = [&](qsizetype at) {
    return !wholeWord || IsWholeWord(all, begin + at, needle.size());
  };
  qsizetype at;
  if (cs == Qt::CaseInsensitive && needle.size() > 1 && range.size() > 1000) {
    // Over a long text the skip table beats folding every character.
    const QStringMatcher matcher(needle, cs);
    at = FirstAccepted([&](qsizetype i) { return matcher.indexIn(range, i); }, accept);
  } else {
    at = FirstAccepted([&](qsizetype i) { return range.indexOf(needle, i, cs); }, accept);
  }
  return at < 0 ? -1 : int(begin + at);
}
