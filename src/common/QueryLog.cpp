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

TLogWrite AppendQueryLog(const QString& path, const QList<QByteArray>& lines) {
  qsizetype first = 0;
  if (!QFile::exists(path)) {
    while (first < lines.size() && lines[first].isEmpty()) ++first;
    if (first == lines.size()) return TLogWrite::Skipped;
  }
  QByteArray text;
  for (qsizetype i = first; i < lines.size(); ++i) {
    text += lines[i];
    text += "\r\n";
  }
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return TLogWrite::Failed;
  if (file.write(text) != text.size() || !file.flush()) return TLogWrite::Failed;
  file.close();
  return file.error() == QFileDevice::NoError ? TLogWrite::Written : TLogWrite::Failed;
}

TLogWrite WriteQueryLogIn(const QString& dir, int mode, const QString& fileName,
                          const QString& prefix, const QDate& date,
                          const QList<QByteArray>& lines) {
  const QString name = QueryLogFileName(mode, fileName, prefix, date);
  if (name.isEmpty()) return TLogWrite::Skipped;
  const QString given = mode == LogOneFile && !fileName.isEmpty() ? fileName : prefix;
  if (!FileNameCheck(ToSjis(given))) return TLogWrite::Failed;
  return AppendQueryLog(QDir(dir).filePath(name), lines);
}
