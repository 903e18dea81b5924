#pragma once
#include <QTreeWidget>
#include <vector>

#include "common/HopStats.h"

// A repeated TraceRoute's table in the statistics panel: a row per hop, and
// under a hop with several answering addresses an indented row for each. Updated in
// place after every cycle, so the user's scroll position and selection stay.
class THopTableView : public QTreeWidget {
  Q_OBJECT
 public:
  explicit THopTableView(QWidget* parent);
  void ShowRows(const std::vector<THopRow>& rows);

 private:
  // Which rows there are: the table is built again only when it changes.
  std::vector<std::pair<int, QString>> FShape;
};
