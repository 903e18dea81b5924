#pragma once
#include <QByteArray>
#include <QByteArrayView>

// Conversion of received lines from ISO-2022-JP ("JIS"), EUC-JP or UTF-8 to
// Shift_JIS. Two shift flags (kanji mode, kana mode) live for the whole
// process, so a line that ends inside a shifted run carries it into the next;
// UTF-8 lines neither read nor change them.

enum TCodeKind { JisCode = 0, EucCode = 1, SjisCode = 2 };

// Guesses the code of a line from its bytes up to the first NUL, ^Z, CR or LF.
TCodeKind DetectCode(QByteArrayView line);

// Converts one line (without its line end) to Shift_JIS. A line without SO,
// SI or shift escapes that is strict UTF-8 with a multibyte character is
// taken as UTF-8, whatever DetectCode says; a character CP932 lacks becomes
// U+3013. Shift_JIS lines are returned unchanged; the result ends before the
// line's first zero byte. A stray 0x80 of a JIS or EUC-JP line, which
// loses its high bit, is dropped as a zero byte is.
QByteArray ConvertToSjis(QByteArray line);

// One step over a JIS or EUC-JP line at pos, rewriting it in place. Returns
// how far to move on: 0 when bytes were removed at pos, 1 for a single byte,
// 2 for a converted double-byte character.
int JisToSjisStep(QByteArray& text, qsizetype pos);
int EucToSjisStep(QByteArray& text, qsizetype pos);

// Turns both shift flags off, as at program start.
void ResetShiftModes();

// Where to cut a raw line longer than limit bytes: the largest length <= limit
// that ends on a character boundary of the line's code (given the current
// shift flags, which are not changed). A line that is UTF-8 so far, perhaps
// ending inside a character, is cut between UTF-8 characters. Never 0 for a
// non-empty line.
qsizetype LineCutLength(QByteArrayView raw, qsizetype limit);
