#pragma once
#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

#include "common/SjisLines.h"

// Log modes of the query log.
enum TLogMode { LogNone = 0, LogOneFile = 1, LogDaily = 2 };

// The log file name for a run that ends on date: the fixed name in mode 1
// (when set), otherwise prefix + yyyymmdd + ".log". Empty when mode <= 0.
QString QueryLogFileName(int mode, const QString& fileName, const QString& prefix,
                         const QDate& date);

enum class TLogWrite { Skipped, Written, Failed };

// Appends the run's Shift_JIS lines, each ended by CR LF. A new file does not
// start with empty lines; a run of nothing but empty lines creates no file.
// When the write fails (a full disk), the file is left as it was before.
TLogWrite AppendQueryLog(const QString& path, const TSjisLines& lines);

// The run's log as the log settings say: the file named for date in dir,
// appended. A name or prefix that is no plain file name (it may come from a
// hand-edited settings file and reach outside dir) fails without a write.
TLogWrite WriteQueryLogIn(const QString& dir, int mode, const QString& fileName,
                          const QString& prefix, const QDate& date, const TSjisLines& lines);
