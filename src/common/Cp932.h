#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The program's only Shift_JIS (Windows code page 932) codec. Everything that
// crosses the network or a file is CP932; widgets hold QString.

// Decodes CP932. Never fails: each byte of an invalid or incomplete sequence
// becomes the private-use character U+F700 + byte and decoding goes on, so
// that encoding gives the same bytes back. CR and LF pass through unchanged.
QString SjisToUnicode(QByteArrayView sjis);

// One line of a line-oriented view: as SjisToUnicode, but a CR or LF byte
// in the line (a JIS or EUC-JP stray byte that lost its high bit) becomes
// U+F70D or U+F70A, so that the line stays one line.
QString SjisLineToUnicode(QByteArrayView line);

// Encodes to CP932; a character without a CP932 code becomes substitute, a
// character U+F780..U+F7FF, U+F70A or U+F70D the byte it was decoded from.
QByteArray UnicodeToSjis(QStringView text, QByteArrayView substitute = "?");

// Whether decoded text holds bytes that were no CP932 (see SjisToUnicode).
bool HoldsRawBytes(QStringView decoded);
