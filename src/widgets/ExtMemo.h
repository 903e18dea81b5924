#pragma once
#include <QPlainTextEdit>

#include "widgets/WordWrapOption.h"

// The output pane: plain text, read-only, no word wrap. Output is appended
// at the end in batches; the last appended line can be taken back. A strip
// left of the text selects whole lines with the mouse.
//
// Positions count UTF-16 units of the text, a line end counting one; lines
// are 0-based, and the empty line after the final line end is a line too.
class TExtMemo : public QPlainTextEdit {
  Q_OBJECT
  Q_PROPERTY(bool LineSelect READ LineSelect WRITE SetLineSelect)
 public:
  explicit TExtMemo(QWidget* parent = nullptr);

  // Appends lines (joined by '\n', without a final line end) at the end of
  // the text. With
  // follow set, the caret goes to the end and the new text is scrolled into
  // view; otherwise the caret, selection and view stay as the user left them.
  void AppendLines(const QString& lines, bool follow);
  // The same for lines of Shift_JIS bytes, decoded in one go.
  void AppendSjisLines(const QList<QByteArray>& lines, bool follow);
  // Removes the line appended last, with its line end.
  void DeleteLastLine();
  // The whole text as lines, as they were appended (no trailing empty line).
  QStringList Lines() const;
  bool IsEmpty() const;

  bool LineSelect() const { return FLineSelect; }
  void SetLineSelect(bool on);
  TWordWrapOption& WordWrapOption() { return FWordWrapOption; }
  const TWordWrapOption& WordWrapOption() const { return FWordWrapOption; }

  int TextLength() const;  // L: positions in the whole text, line ends included
  int SelStart() const;
  int SelLength() const;
  // Selects length positions from start; the caret ends at start + length.
  // Positions outside 0..L are clamped. The caret is scrolled into view.
  void SetSelection(int start, int length);
  void SetCaret(int pos) { SetSelection(pos, 0); }
  int LineFromChar(int pos) const;  // 0-based line of a position (clamped to 0..L)
  // Position of the first character of 0-based line; -1 for a line past the
  // end; a negative line means the line that holds the caret.
  int LineIndex(int line) const;
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

 protected:
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void KeepTextReadableWhenDisabled();
  void LayoutMargin();
  void UpdateMarginCursor();
  bool IsLineSelectPress(const QMouseEvent* event) const;
  int CharFromPoint(QPoint pos) const;
  int LineEnd(int line) const;
  int FirstVisibleLine() const;
  void StartLineDrag(QPoint pos);
  void DragLines(QPoint pos);
  void ScrollWhileDragging(int line, int lineStart, int y, int prevY);
  void SelectLines(int start, int end);
  const QString& SearchText() const;

  QWidget* FMargin;
  QCursor FMarginCursor;
  TWordWrapOption FWordWrapOption;
  bool FLineSelect = true;
  bool FHideSelection = false;
  bool FDragging = false;
  int FAnchor = 0;  // first position of the line the drag started on
  int FLastY = 0;
  // The text as one string for searching; built on the first search after a
  // change, so that a search does not copy the whole document each time.
  mutable QString FSearchText;
  mutable bool FSearchTextValid = false;
};
