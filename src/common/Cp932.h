#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The program's only Shift_JIS (Windows code page 932) codec. Everything that
// crosses the network or a file is CP932; widgets hold QString.

// Decodes CP932. Never fails: each byte of an invalid or incomplete sequence
// becomes U+FFFD and decoding goes on. CR and LF pass through unchanged.
QString SjisToUnicode(QByteArrayView sjis);

// Encodes to CP932; a character without a CP932 code becomes substitute.
QByteArray UnicodeToSjis(QStringView text, QByteArrayView substitute = "?");
