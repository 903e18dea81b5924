#pragma once
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Log file names and daily prefixes are joined to the program directory as
// they are, so they must never name anything outside it.

// Longest name or prefix kept, in Shift_JIS bytes.
constexpr qsizetype LogNameLimit = 64;

enum class TFileNameFault {
  None,
  ForbiddenChar,  // one of \ / : , ; * ? " < > |
  ControlChar,    // below a blank, or DEL
  DotName,        // "." or "..": the directory itself or its parent
  NotSjis,        // bytes that are no Shift_JIS, or a character it cannot spell
};

// The eleven characters no name may hold, in the order the user is told them.
inline constexpr char16_t ForbiddenNameChars[] = u"\\/:,;*?\"<>|";

// Checks a name given in Shift_JIS character by character: the second byte
// of a double-byte character never counts, even when it has the value of a
// backslash ("表" is 0x95 0x5C). An empty name has no fault here; whether it
// is allowed is up to the caller.
TFileNameFault FileNameFault(QByteArrayView sjis);

// The same for a name as typed.
TFileNameFault FileNameFault(QStringView name);

inline bool FileNameCheck(QByteArrayView sjis) {
  return FileNameFault(sjis) == TFileNameFault::None;
}

// The text cut to at most limit Shift_JIS bytes at a character boundary, the
// way it is stored.
QString SjisCutText(QStringView text, qsizetype limit = LogNameLimit);
