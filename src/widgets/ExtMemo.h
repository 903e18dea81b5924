#pragma once
#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QCache>
#include <QTextLayout>

#include "common/PaneText.h"
#include "widgets/WordWrapOption.h"

// The output pane: plain text, read-only, no word wrap. Output is appended
// at the end in batches; the last appended line can be taken back. A strip
// left of the text selects whole lines with the mouse.
//
// The pane keeps its lines as the Shift_JIS bytes they arrived in, with a
// small index, and lays out only the lines in view: a report of a million
// lines costs little more than its text, and save-as writes the very bytes.
//
// Positions count UTF-16 units of the text, a line end counting one; lines
// are 0-based, and the empty line after the final line end is a line too.
class TExtMemo : public QAbstractScrollArea {
  Q_OBJECT
  Q_PROPERTY(bool LineSelect READ LineSelect WRITE SetLineSelect)
 public:
  explicit TExtMemo(QWidget* parent = nullptr);
  ~TExtMemo() override;

  // Appends lines (joined by '\n', without a final line end) at the end of
  // the text. With follow set, the caret goes to the end and the new text is
  // scrolled into view; otherwise the caret, selection and view stay as the
  // user left them.
  void AppendLines(const QString& lines, bool follow);
  // The same for lines of Shift_JIS bytes, kept as they are.
  void AppendSjisLines(const QList<QByteArray>& lines, bool follow);
  // Removes the line appended last, with its line end.
  void DeleteLastLine();
  // The whole text as lines, as they were appended (no trailing empty line).
  QStringList Lines() const;
  // The same as the bytes that arrived.
  const TSjisLines& SjisLines() const { return FText.SjisLines(); }
  int LineCount() const { return int(FText.LineCount()); }
  QString LineText(int line) const { return FText.Line(line); }
  bool IsEmpty() const { return FText.IsEmpty(); }

  bool LineSelect() const { return FLineSelect; }
  void SetLineSelect(bool on);
  TWordWrapOption& WordWrapOption() { return FWordWrapOption; }
  const TWordWrapOption& WordWrapOption() const { return FWordWrapOption; }

  int TextLength() const;  // L: positions in the whole text, line ends included
  int SelStart() const;
  int SelLength() const;
  int CaretPos() const;  // the end of the selection that moves
  // Selects length positions from start; the caret ends at start + length.
  // Positions outside 0..L are clamped. The caret is scrolled into view.
  void SetSelection(int start, int length);
  void SetCaret(int pos) { SetSelection(pos, 0); }
  int LineFromChar(int pos) const;  // 0-based line of a position (clamped to 0..L)
  // Position of the first character of 0-based line; -1 for a line past the
  // end; a negative line means the line that holds the caret.
  int LineIndex(int line) const;
  // The position under a point of the viewport, the point's height taken
  // to the rows in view; -1 when the pane is empty.
  int CharFromPoint(QPoint pos) const;
  // The caret's rectangle, and the row of a line, in the viewport.
  QRect CaretRect() const;
  QRect LineRect(int line) const;
  // Start of the first match of text that begins in [from, to) and ends by
  // to, or -1; an empty text matches nothing. Whole word: the match is not
  // preceded or followed by a word character in the text.
  int FindText(const QString& text, int from, int to, bool matchCase, bool wholeWord) const;
  // The last start q <= last at which text matches, as FindText(text, q,
  // q + length of text) would find it; -1 for none.
  int FindTextBackward(const QString& text, int last, bool matchCase, bool wholeWord) const;

  // Hide-selection: on, the selection shows only while the pane has the
  // focus; off, it shows always.
  void SetHideSelection(bool hide);
  bool HideSelection() const { return FHideSelection; }

  // The commands every text pane has, by the toolkit's names.
  void copy() const;
  void selectAll();
  void clear();
  QString toPlainText() const;
  QString SelectedText() const;

 protected:
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  // Text, view and painting (ExtMemo.cpp).
  void AppendDone(qsizetype linesBefore, bool follow);
  void KeepTextReadableWhenDisabled();
  void LayoutMargin();
  void UpdateScrollBars();
  int RowHeight() const;
  int RowsInView() const;
  int FirstVisibleLine() const;
  QPointF LineOrigin(qsizetype line) const;
  QTextLayout* Layout(qsizetype line) const;
  void PaintLine(QPainter& painter, qsizetype line, const QPalette& colours) const;
  void Select(qint64 anchor, qint64 caret);
  void EnsureVisible(qint64 pos);
  void RestartBlink();

  // Keys and the mouse (ExtMemoInput.cpp).
  qint64 KeyTarget(const QKeyEvent* event) const;
  qint64 StepInLine(qint64 pos, bool forward, QTextLayout::CursorMode mode) const;
  void UpdateMarginCursor();
  bool IsLineSelectPress(const QMouseEvent* event) const;
  int LineEnd(int line) const;
  void StartLineDrag(QPoint pos);
  void DragLines(QPoint pos);
  void ScrollWhileDragging(int line, int lineStart, int y, int prevY);
  void SelectLines(int start, int end);
  void DragText(QPoint pos);

  TPaneText FText;
  mutable QCache<qsizetype, QTextLayout> FLayouts;
  mutable qreal FWidestSeen = 0;  // the widest line laid out so far
  QWidget* FMargin;
  QCursor FMarginCursor;
  TWordWrapOption FWordWrapOption;
  qint64 FSelAnchor = 0;
  qint64 FCaret = 0;
  bool FLineSelect = true;
  bool FHideSelection = false;
  bool FCaretShown = false;
  QBasicTimer FBlink;
  // Line selection in the margin.
  bool FDragging = false;
  int FAnchor = 0;  // first position of the line the drag started on
  int FLastY = 0;
  // Selection with the mouse over the text; the timer scrolls while the
  // pointer is held above or below the rows.
  bool FTextDrag = false;
  QPoint FDragPoint;
  QBasicTimer FDragScroll;
};
