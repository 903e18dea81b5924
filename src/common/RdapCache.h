#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QStringList>
#include <optional>

#include "common/RdapBootstrap.h"

// Where the bootstrap files live: a snapshot installed with the program,
// and the copies the program fetched from IANA in the user's XDG cache
// directory ("qmzt/Ostrekon/rdap" under $XDG_CACHE_HOME, ~/.cache by
// default). The newer of the two, by publication date, is used.

QString RdapCacheDir();
// The installed snapshot: under the program's data directory, or beside the
// program in the build tree. Tests set their own (empty: the default again).
QString RdapSnapshotDir();
void SetRdapSnapshotDir(const QString& dir);
// Where the files are fetched from: IANA, or, as a test hook, the URL in
// OSTREKON_RDAP_BOOTSTRAP_URL (ending in "/").
QString RdapBootstrapBaseUrl();

// The bootstrap a query uses, and what its reading has to say: a cached file
// that does not parse is ignored with a line.
struct TBootstrapChoice {
  std::optional<TRdapBootstrap> Bootstrap;
  QStringList Lines;
};
TBootstrapChoice ChooseBootstrap(TBootstrapKind kind);

// Once a day at most: due when neither the cached file nor the note of the
// last attempt is younger than a day.
bool BootstrapRefreshDue(TBootstrapKind kind, const QDateTime& now);
// The headers of the conditional GET: If-None-Match and If-Modified-Since
// from the last reply that brought the file.
QList<QByteArray> BootstrapRefreshHeaders(TBootstrapKind kind);
// Keeps a fetched file, only when it parses whole, with the reply's ETag and
// Last-Modified. False when it does not parse or cannot be written.
bool StoreBootstrap(TBootstrapKind kind, const QByteArray& json, const QByteArray& etag,
                    const QByteArray& lastModified);
// Notes an attempt (not modified, or failed), so the next waits a day.
void NoteBootstrapChecked(TBootstrapKind kind);
