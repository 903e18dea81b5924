#pragma once
#include <QByteArray>
#include <QString>

#include "common/Cp932.h"

// Program texts are UTF-8 in the source; what goes to the pane, the log or
// the network is Shift_JIS.
inline QByteArray ToSjis(QStringView text) { return UnicodeToSjis(text); }
inline QString FromSjis(QByteArrayView sjis) { return SjisToUnicode(sjis); }
