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

// Encodes to CP932; a character without a CP932 code becomes substitute, a
// character U+F780..U+F7FF the byte it was decoded from.
QByteArray UnicodeToSjis(QStringView text, QByteArrayView substitute = "?");

// Whether decoded text holds bytes that were no CP932 (see SjisToUnicode).
bool HoldsRawBytes(QStringView decoded);
