#include "common/RdapCache.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSaveFile>
#include <QStandardPaths>

#include "common/ProgramDir.h"

namespace {
constexpr qint64 RefreshSeconds = 24 * 60 * 60;
const QByteArray EtagKey = "ETag: ";
const QByteArray ModifiedKey = "Last-Modified: ";

QMutex SnapshotLock;
QString SnapshotOverride;

QString CachePath(TBootstrapKind kind) {
  return QDir(RdapCacheDir()).filePath(BootstrapFileName(kind));
}
// The reply's validators; its time of change is the time of the last attempt.
QString NotePath(TBootstrapKind kind) { return CachePath(kind) + QStringLiteral(".meta"); }

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QSaveFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

QByteArray NoteValue(const QByteArray& note, const QByteArray& key) {
  for (const QByteArray& line : note.split('\n'))
    if (line.startsWith(key)) return line.sliced(key.size()).trimmed();
  return QByteArray();
}

// Validators go back into request headers: nothing that could end a line.
QByteArray HeaderSafe(const QByteArray& value) {
  for (const char c : value)
    if (uchar(c) < 0x20 || c == 0x7F) return QByteArray();
  return value;
}

QString DateText(const QDateTime& when) { return when.toUTC().toString(Qt::ISODate); }
}  // namespace

QString RdapCacheDir() {
  return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation))
      .filePath(QStringLiteral("qmzt/Ostrekon/rdap"));
}

QString RdapSnapshotDir() {
  {
    const QMutexLocker lock(&SnapshotLock);
    if (!SnapshotOverride.isEmpty()) return SnapshotOverride;
  }
  const QDir programDir(ProgramDir());
  const QString installed =
      QDir::cleanPath(programDir.filePath(QStringLiteral(OSTREKON_RDAP_RELDIR)));
  return QFileInfo(installed).isDir() ? installed : programDir.filePath(QStringLiteral("rdap"));
}

void SetRdapSnapshotDir(const QString& dir) {
  const QMutexLocker lock(&SnapshotLock);
  SnapshotOverride = dir;
}

QString RdapBootstrapBaseUrl() {
  QString url = qEnvironmentVariable("OSTREKON_RDAP_BOOTSTRAP_URL");
  if (url.isEmpty()) return QStringLiteral("https://data.iana.org/rdap/");
  return url.endsWith(u'/') ? url : url + u'/';
}

TBootstrapChoice ChooseBootstrap(TBootstrapKind kind) {
  TBootstrapChoice choice;
  const QString name = BootstrapFileName(kind);
  choice.Bootstrap = ParseRdapBootstrap(ReadAll(QDir(RdapSnapshotDir()).filePath(name)), kind);
  if (!QFileInfo::exists(CachePath(kind))) return choice;
  const std::optional<TRdapBootstrap> cached = ParseRdapBootstrap(ReadAll(CachePath(kind)), kind);
  if (!cached) {
    choice.Lines << CachePath(kind) + QStringLiteral(" - 読めない形式なので使いません");
    return choice;
  }
  if (!choice.Bootstrap || cached->Publication > choice.Bootstrap->Publication)
    choice.Bootstrap = cached;
  return choice;
}

bool BootstrapRefreshDue(TBootstrapKind kind, const QDateTime& now) {
  QDateTime last;
  for (const QString& path : {CachePath(kind), NotePath(kind)}) {
    const QFileInfo info(path);
    if (info.exists() && (!last.isValid() || info.lastModified() > last))
      last = info.lastModified();
  }
  return !last.isValid() || last.secsTo(now) >= RefreshSeconds || last > now.addSecs(60);
}

QList<QByteArray> BootstrapRefreshHeaders(TBootstrapKind kind) {
  if (!QFileInfo::exists(CachePath(kind))) return {};
  const QByteArray note = ReadAll(NotePath(kind));
  QList<QByteArray> headers;
  if (const QByteArray etag = HeaderSafe(NoteValue(note, EtagKey)); !etag.isEmpty())
    headers << "If-None-Match: " + etag;
  if (const QByteArray modified = HeaderSafe(NoteValue(note, ModifiedKey)); !modified.isEmpty())
    headers << "If-Modified-Since: " + modified;
  return headers;
}

bool StoreBootstrap(TBootstrapKind kind, const QByteArray& json, const QByteArray& etag,
                    const QByteArray& lastModified) {
  if (!ParseRdapBootstrap(json, kind)) return false;
  const QByteArray note = EtagKey + HeaderSafe(etag) + '\n' + ModifiedKey +
                          HeaderSafe(lastModified) + '\n' +
                          "Checked: " + DateText(QDateTime::currentDateTimeUtc()).toLatin1() + '\n';
  return WriteAll(CachePath(kind), json) && WriteAll(NotePath(kind), note);
}

void NoteBootstrapChecked(TBootstrapKind kind) {
  QByteArray note = ReadAll(NotePath(kind));
  const qsizetype checked = note.indexOf("Checked: ");
  if (checked >= 0) note.truncate(checked);
  WriteAll(NotePath(kind),
           note + "Checked: " + DateText(QDateTime::currentDateTimeUtc()).toLatin1() + '\n');
}
