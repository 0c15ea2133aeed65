// What the monitor and the journal windows share: a read-only table of log
// rows that follows its newest row, and the address filter.
#pragma once

#include <QString>

#include <vector>

class QAbstractItemModel;
class QSpinBox;
class QTableView;
class QWidget;

// One line per row at a fixed height (the view never measures thousands of
// rows), whole rows selected, the columns at these widths.
QTableView* newLogTable(QAbstractItemModel* model, const QString& name,
                        const std::vector<int>& widths, QWidget* parent);
// Whether the view shows its last row: then new rows should keep it there.
bool showsLastRow(QTableView* table);
// 0 … 127, or -1 shown as "все".
QSpinBox* newAddressFilter(QWidget* parent);
