#include "widgets/HopTableView.h"

#include <QHeaderView>

namespace {
// The text columns (address, name) read from the left, figures from the right.
bool TextColumn(int column) { return column == 1 || column == 2; }
}  // namespace

THopTableView::THopTableView(QWidget* parent) : QTreeWidget(parent) {
  setObjectName(QStringLiteral("HopTable"));
  setAccessibleName(QStringLiteral("ホップごとの統計"));
  const QStringList captions = HopColumnCaptions();
  setColumnCount(int(captions.size()));
  setHeaderLabels(captions);
  setRootIsDecorated(false);
  setIndentation(0);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  header()->setStretchLastSection(false);
  header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  for (int c = 0; c < columnCount(); ++c)
    if (!TextColumn(c)) headerItem()->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
}

void THopTableView::ShowRows(const std::vector<THopRow>& rows) {
  std::vector<std::pair<int, QString>> shape;
  for (const THopRow& r : rows) shape.emplace_back(r.Hop, r.Responder ? r.Address : QString());
  if (shape != FShape) {
    clear();
    // One level: a responder's address is indented in its cell, as in the pane.
    for (size_t i = 0; i < rows.size(); ++i) new QTreeWidgetItem(this);
    FShape = std::move(shape);
  }
  QTreeWidgetItemIterator it(this);
  for (const THopRow& r : rows) {
    const QStringList cells = HopRowCells(r);
    for (int c = 0; c < cells.size(); ++c) {
      (*it)->setText(c, cells[c].trimmed());
      if (!TextColumn(c)) (*it)->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
    ++it;
  }
}
