#include "common/QueryLog.h"

#include <QDir>
#include <QFile>

#include "common/FileNameCheck.h"
#include "common/SjisText.h"

QString QueryLogFileName(int mode, const QString& fileName, const QString& prefix,
                         const QDate& date) {
  if (mode <= LogNone) return {};
  if (mode == LogOneFile && !fileName.isEmpty()) return fileName;
  return prefix + QString::asprintf("%4d%.2d%.2d", date.year(), date.month(), date.day()) +
         QStringLiteral(".log");
}

TLogWrite AppendQueryLog(const QString& path, const TSjisLines& lines) {
  qsizetype first = 0;
  if (!QFile::exists(path)) {
    while (first < lines.Count() && lines.Line(first).isEmpty()) ++first;
    if (first == lines.Count()) return TLogWrite::Skipped;
  }
  const bool existed = QFile::exists(path);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return TLogWrite::Failed;
  const qint64 before = file.size();
  if (lines.WriteTo(file, first) && file.flush()) {
    file.close();
    if (file.error() == QFileDevice::NoError) return TLogWrite::Written;
  }
  // A full disk or a size limit cut the run short: take the piece back, so
  // that the file holds whole runs only and what it held stays as it was.
  file.close();
  if (existed)
    QFile::resize(path, before);
  else
    QFile::remove(path);
  return TLogWrite::Failed;
}

TLogWrite WriteQueryLogIn(const QString& dir, int mode, const QString& fileName,
                          const QString& prefix, const QDate& date, const TSjisLines& lines) {
  const QString name = QueryLogFileName(mode, fileName, prefix, date);
  if (name.isEmpty()) return TLogWrite::Skipped;
  const QString given = mode == LogOneFile && !fileName.isEmpty() ? fileName : prefix;
  if (!FileNameCheck(ToSjis(given))) return TLogWrite::Failed;
  return AppendQueryLog(QDir(dir).filePath(name), lines);
}
