#pragma once
#include <QPlainTextEdit>

// The output pane: plain text, read-only, no word wrap. Output is appended
// at the end in batches; the last appended line can be taken back.
class TExtMemo : public QPlainTextEdit {
  Q_OBJECT
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

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void KeepTextReadableWhenDisabled();
};
