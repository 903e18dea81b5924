#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// --- URL splitting ---------------------------------------------------------
// Plain cuts at the first " ", "://", "/", ":" or "#"; no decoding and no
// validation. A text with a blank is not a URL: host, path and scheme are
// empty for it.

// The host part of a URL or of a host text ("http://srv:80/x" -> "srv").
QString ExtractUrlHost(const QString& text);

// The path from the first "/" after the host on, without the fragment; "/"
// when there is none.
QString ExtractUrlPath(const QString& text);

// Everything before the first "://", letter case unchanged; empty without one.
QString ExtractUrlScheme(const QString& text);

// The port after the host's ":" (decimal, optional sign). defaultPort when
// there is none or it is not a number; INT_MAX / INT_MIN when it does not fit
// an int, so that the caller refuses it as out of range.
int ExtractUrlPort(const QString& text, int defaultPort);

// --- Shift_JIS byte limits -------------------------------------------------

// Length of the longest prefix of at most limit bytes that does not split a
// double-byte character.
qsizetype SjisCutLength(QByteArrayView sjis, qsizetype limit);

// The first bytes of sjis, at most limit, cut at a character boundary.
QByteArray SjisLeft(const QByteArray& sjis, qsizetype limit);
