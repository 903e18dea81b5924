#pragma once
#include <QStringList>

// The drop-down history of a host, query or URL field, most recent first.
constexpr int MaxHistoryEntries = 30;

// Records text at the top; the nearest older copy goes, the oldest entries
// fall off past 30. Returns the text for the edit field (entry 0).
QString AddToHistory(QStringList& list, const QString& text);

// Removes the first entry equal to text (if any). Returns the new top entry,
// or the empty text when the list is empty.
QString DeleteFromHistory(QStringList& list, const QString& text);
