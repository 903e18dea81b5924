#include "common/History.h"

QString AddToHistory(QStringList& list, const QString& text) {
  list.prepend(text);
  for (qsizetype i = 1; i < list.size(); ++i) {
    if (list[i] == text) {
      list.removeAt(i);
      break;
    }
  }
  while (list.size() > MaxHistoryEntries) list.removeAt(MaxHistoryEntries);
  return list.first();
}

QString DeleteFromHistory(QStringList& list, const QString& text) {
  const qsizetype i = list.indexOf(text);
  if (i >= 0) list.removeAt(i);
  return list.isEmpty() ? QString() : list.first();
}
