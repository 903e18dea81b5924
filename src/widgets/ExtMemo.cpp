#include "widgets/ExtMemo.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QTextLine>
#include <QTimer>
#include <algorithm>

#include "common/Cp932.h"

static void InitMemoResources() { Q_INIT_RESOURCE(ostrekon); }

namespace {
constexpr int MarginWidth = 16;
// The text keeps this distance from the left edge, and the first row from
// the top, as a document margin would.
constexpr int TextInset = 4;
constexpr int TopInset = 2;
// Tab stops as the toolkit's plain text editor places them.
constexpr qreal TabStop = 80;
// Laid-out lines kept: a few screens of them.
constexpr int LayoutsKept = 512;

int Clamped(qint64 pos) { return int(std::clamp<qint64>(pos, -1, INT_MAX)); }
}  // namespace

// The line-select strip left of the text, declared in ExtMemoInput.cpp.
QWidget* NewLineSelectMargin(QWidget* parent, QWidget* viewport);

TExtMemo::TExtMemo(QWidget* parent) : QAbstractScrollArea(parent), FLayouts(LayoutsKept) {
  InitMemoResources();
  setFocusPolicy(Qt::StrongFocus);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setBackgroundRole(QPalette::Base);
  setAttribute(Qt::WA_InputMethodEnabled, false);
  KeepTextReadableWhenDisabled();
  // The arrow's tip, its upper right corner, is the hot spot.
  FMarginCursor = QCursor(QPixmap(QStringLiteral(":/RIGHTARROW")), 31, 0);
  setViewportMargins(MarginWidth, 0, 0, 0);
  FMargin = NewLineSelectMargin(this, viewport());
  UpdateMarginCursor();
  LayoutMargin();
  UpdateScrollBars();
}

TExtMemo::~TExtMemo() = default;

// --- The text ---

void TExtMemo::AppendLines(const QString& lines, bool follow) {
  const qsizetype before = FText.LineCount();
  for (QStringView line : QStringView(lines).split(u'\n')) FText.Append(UnicodeToSjis(line));
  AppendDone(before, follow);
}

void TExtMemo::AppendSjisLines(const QList<QByteArray>& lines, bool follow) {
  const qsizetype before = FText.LineCount();
  for (const QByteArray& line : lines) FText.Append(line);
  AppendDone(before, follow);
}

void TExtMemo::AppendDone(qsizetype linesBefore, bool follow) {
  UpdateScrollBars();
  if (follow) {
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    Select(FText.Length(), FText.Length());
    EnsureVisible(FCaret);
  }
  // Nothing above the old end moved: only rows from there on are new.
  const int row = int(std::max<qsizetype>(linesBefore - FirstVisibleLine(), 0));
  if (row <= RowsInView())
    viewport()->update(0, row * RowHeight(), viewport()->width(), viewport()->height());
}

void TExtMemo::DeleteLastLine() {
  if (FText.IsEmpty()) return;
  FText.RemoveLast();
  FLayouts.remove(FText.LineCount());
  Select(std::min(FSelAnchor, FText.Length()), std::min(FCaret, FText.Length()));
  UpdateScrollBars();
  viewport()->update();
}

void TExtMemo::clear() {
  FText.Clear();
  FLayouts.clear();
  FWidestSeen = 0;
  FSelAnchor = FCaret = 0;
  UpdateScrollBars();
  viewport()->update();
}

QStringList TExtMemo::Lines() const {
  QStringList lines;
  lines.reserve(FText.LineCount());
  for (qsizetype i = 0; i < FText.LineCount(); ++i) lines << FText.Line(i);
  return lines;
}

QString TExtMemo::toPlainText() const { return FText.Text(0, FText.Length()); }

QString TExtMemo::SelectedText() const {
  return FText.Text(std::min(FSelAnchor, FCaret), std::max(FSelAnchor, FCaret));
}

void TExtMemo::copy() const {
  if (FSelAnchor != FCaret) QApplication::clipboard()->setText(SelectedText());
}

void TExtMemo::selectAll() { Select(0, FText.Length()); }

// --- Positions ---

int TExtMemo::TextLength() const { return Clamped(FText.Length()); }

int TExtMemo::SelStart() const { return Clamped(std::min(FSelAnchor, FCaret)); }

int TExtMemo::SelLength() const { return Clamped(std::abs(FCaret - FSelAnchor)); }

int TExtMemo::CaretPos() const { return Clamped(FCaret); }

void TExtMemo::SetSelection(int start, int length) {
  const qint64 size = FText.Length();
  Select(std::clamp<qint64>(start, 0, size), std::clamp<qint64>(qint64(start) + length, 0, size));
  EnsureVisible(FCaret);
}

int TExtMemo::LineFromChar(int pos) const { return int(FText.LineOf(std::max(pos, 0))); }

int TExtMemo::LineIndex(int line) const {
  if (line < 0) return Clamped(FText.LineStart(FText.LineOf(FCaret)));
  return line > FText.LineCount() ? -1 : Clamped(FText.LineStart(line));
}

int TExtMemo::FindText(const QString& text, int from, int to, bool matchCase,
                       bool wholeWord) const {
  return Clamped(FText.Find(text, from, to, matchCase, wholeWord));
}

int TExtMemo::FindTextBackward(const QString& text, int last, bool matchCase,
                               bool wholeWord) const {
  return Clamped(FText.FindBackward(text, last, matchCase, wholeWord));
}

void TExtMemo::Select(qint64 anchor, qint64 caret) {
  if (anchor == FSelAnchor && caret == FCaret) return;
  FSelAnchor = anchor;
  FCaret = caret;
  RestartBlink();
  viewport()->update();
}

// --- The view: one row a line, the scroll bar counting lines ---

int TExtMemo::RowHeight() const { return std::max(1, fontMetrics().lineSpacing()); }

int TExtMemo::RowsInView() const {
  return std::max(1, (viewport()->height() - TopInset) / RowHeight());
}

int TExtMemo::FirstVisibleLine() const { return verticalScrollBar()->value(); }

QPointF TExtMemo::LineOrigin(qsizetype line) const {
  return {qreal(TextInset - horizontalScrollBar()->value()),
          qreal(TopInset + (line - FirstVisibleLine()) * RowHeight())};
}

void TExtMemo::UpdateScrollBars() {
  QScrollBar* vbar = verticalScrollBar();
  const int rows = RowsInView();
  vbar->setPageStep(rows);
  vbar->setRange(0, std::max(0, LineCount() + 1 - rows));
  // Lines not laid out yet are taken as wide as their bytes: one cell a
  // byte is what a Japanese fixed-pitch font gives Shift_JIS text.
  const qreal cells = FText.WidestLine() * fontMetrics().horizontalAdvance(QLatin1Char('0'));
  const int widest = int(std::ceil(std::max(cells, FWidestSeen))) + 2 * TextInset;
  QScrollBar* hbar = horizontalScrollBar();
  hbar->setPageStep(viewport()->width());
  hbar->setSingleStep(fontMetrics().averageCharWidth() * 2);
  hbar->setRange(0, std::max(0, widest - viewport()->width()));
}

QTextLayout* TExtMemo::Layout(qsizetype line) const {
  // The empty line after the end has a key of its own: appending makes
  // its number a line of text.
  const qsizetype key = line < FText.LineCount() ? line : -1;
  if (QTextLayout* cached = FLayouts.object(key)) return cached;
  auto* layout = new QTextLayout(key < 0 ? QString() : FText.Line(line), font());
  QTextOption option;
  option.setWrapMode(QTextOption::NoWrap);
  option.setTabStopDistance(TabStop);
  layout->setTextOption(option);
  layout->setCacheEnabled(true);
  layout->beginLayout();
  QTextLine row = layout->createLine();
  if (row.isValid()) row.setLineWidth(1e9);
  layout->endLayout();
  // The scroll bar learns of a wider line after painting (see paintEvent).
  if (row.isValid()) FWidestSeen = std::max(FWidestSeen, row.naturalTextWidth());
  FLayouts.insert(key, layout);
  return layout;
}

void TExtMemo::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  // Without the focus the selection shows in the inactive colours, which
  // hide-selection makes those of plain text.
  QPalette colours = palette();
  colours.setCurrentColorGroup(hasFocus() ? QPalette::Active : QPalette::Inactive);
  painter.setPen(palette().color(QPalette::Active, QPalette::Text));
  const int first = FirstVisibleLine();
  const int top = std::max(0, (event->rect().top() - TopInset) / RowHeight());
  const int bottom = (event->rect().bottom() - TopInset) / RowHeight();
  const qreal widest = FWidestSeen;
  for (qsizetype line = first + top; line <= std::min<qsizetype>(first + bottom, LineCount());
       ++line)
    PaintLine(painter, line, colours);
  if (FWidestSeen > widest) QTimer::singleShot(0, this, [this] { UpdateScrollBars(); });
}

void TExtMemo::PaintLine(QPainter& painter, qsizetype line, const QPalette& colours) const {
  QTextLayout* layout = Layout(line);
  const QPointF at = LineOrigin(line);
  const qint64 start = FText.LineStart(line);
  const qint64 length = line < FText.LineCount() ? FText.LineStart(line + 1) - start - 1 : 0;
  const qint64 selFrom = std::min(FSelAnchor, FCaret) - start;
  const qint64 selTo = std::max(FSelAnchor, FCaret) - start;
  QList<QTextLayout::FormatRange> selection;
  if (selFrom < selTo && selTo > 0 && selFrom <= length) {
    QTextLayout::FormatRange range;
    range.start = int(std::max<qint64>(selFrom, 0));
    range.length = int(std::min(selTo, length) - range.start);
    range.format.setBackground(colours.brush(QPalette::Highlight));
    range.format.setForeground(colours.brush(QPalette::HighlightedText));
    selection << range;
    // A selected line end shows as a space's width of highlight.
    if (selTo > length && line < FText.LineCount()) {
      const qreal x = at.x() + layout->lineAt(0).naturalTextWidth();
      painter.fillRect(QRectF(x, at.y(), fontMetrics().horizontalAdvance(u' '), RowHeight()),
                       colours.brush(QPalette::Highlight));
    }
  }
  layout->draw(&painter, at, selection);
  if (FCaretShown && FText.LineOf(FCaret) == line)
    layout->drawCursor(&painter, at, int(FCaret - start), 1);
}

void TExtMemo::scrollContentsBy(int, int) { viewport()->update(); }

int TExtMemo::CharFromPoint(QPoint pos) const {
  if (FText.IsEmpty()) return -1;
  // A pointer above or below the text area hits its first or last visible
  // row, so that pointing past an edge selects up to the edge and scrolls.
  const int y = std::clamp(pos.y(), 0, std::max(0, viewport()->height() - 1));
  const qsizetype line = std::min<qsizetype>(
      FirstVisibleLine() + std::max(0, y - TopInset) / RowHeight(), FText.LineCount());
  const int column = Layout(line)->lineAt(0).xToCursor(pos.x() - LineOrigin(line).x());
  return Clamped(FText.LineStart(line) + column);
}

QRect TExtMemo::CaretRect() const {
  const qsizetype line = FText.LineOf(FCaret);
  const qreal x = Layout(line)->lineAt(0).cursorToX(int(FCaret - FText.LineStart(line)));
  const QRect row = LineRect(int(line));
  return QRect(int(LineOrigin(line).x() + x), row.top(), 1, row.height());
}

QRect TExtMemo::LineRect(int line) const {
  const QPointF at = LineOrigin(line);
  return QRect(0, int(at.y()), viewport()->width(), RowHeight());
}

void TExtMemo::EnsureVisible(qint64 pos) {
  const qsizetype line = FText.LineOf(pos);
  const qreal x = Layout(line)->lineAt(0).cursorToX(int(pos - FText.LineStart(line)));
  UpdateScrollBars();
  QScrollBar* vbar = verticalScrollBar();
  if (line < vbar->value()) vbar->setValue(int(line));
  if (line >= vbar->value() + RowsInView()) vbar->setValue(int(line) - RowsInView() + 1);
  QScrollBar* hbar = horizontalScrollBar();
  const int room = viewport()->width() - 2 * TextInset;
  if (x < hbar->value()) hbar->setValue(int(x));
  if (x > hbar->value() + room) hbar->setValue(int(std::ceil(x)) - room);
}

// --- Appearance ---

void TExtMemo::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
    KeepTextReadableWhenDisabled();
  if (event->type() == QEvent::FontChange) {
    FLayouts.clear();
    FWidestSeen = 0;
    UpdateScrollBars();
    viewport()->update();
  }
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

void TExtMemo::SetHideSelection(bool hide) {
  FHideSelection = hide;
  KeepTextReadableWhenDisabled();
  viewport()->update();
}

void TExtMemo::resizeEvent(QResizeEvent* event) {
  // Called for the viewport's resizes too (a horizontal scroll bar showing
  // up shortens it); the margin follows the viewport's height.
  QAbstractScrollArea::resizeEvent(event);
  LayoutMargin();
  UpdateScrollBars();
}

void TExtMemo::LayoutMargin() {
  const QRect text = viewport()->geometry();
  FMargin->setGeometry(text.left() - MarginWidth, text.top(), MarginWidth, text.height());
}

// --- The caret blinks while the pane has the focus ---

void TExtMemo::RestartBlink() {
  FCaretShown = hasFocus();
  const int flash = QApplication::cursorFlashTime();
  if (FCaretShown && flash > 0)
    FBlink.start(flash / 2, this);
  else
    FBlink.stop();
}

void TExtMemo::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  RestartBlink();
  viewport()->update();
}

void TExtMemo::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  RestartBlink();
  viewport()->update();
}
