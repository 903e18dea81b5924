#include "widgets/ExtMemo.h"

#include <QEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "common/Cp932.h"

TExtMemo::TExtMemo(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setUndoRedoEnabled(false);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  KeepTextReadableWhenDisabled();
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
    QTextCursor caret = textCursor();
    caret.movePosition(QTextCursor::End);
    setTextCursor(caret);
    vbar->setValue(vbar->maximum());
  } else {
    vbar->setValue(keepV);
    hbar->setValue(keepH);
  }
}

void TExtMemo::AppendSjisLines(const QList<QByteArray>& lines, bool follow) {
  // A Shift_JIS line never holds a '\n' byte, so the joined text splits back
  // into the same lines.
  qsizetype size = 0;
  for (const QByteArray& line : lines) size += line.size() + 1;
  QByteArray joined;
  joined.reserve(size);
  for (const QByteArray& line : lines) joined.append(line).append('\n');
  joined.chop(1);
  AppendLines(SjisToUnicode(joined), follow);
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
  for (QPalette::ColorRole role : roles) {
    const QBrush active = pal.brush(QPalette::Active, role);
    if (pal.brush(QPalette::Disabled, role) != active) {
      pal.setBrush(QPalette::Disabled, role, active);
      changed = true;
    }
  }
  if (changed) setPalette(pal);
}
