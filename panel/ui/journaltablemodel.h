// The rows of the operation journal as a table, filtered by address.
#pragma once

#include <QAbstractTableModel>

#include <vector>

#include "journal.h"

class JournalTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Time, Port, Address, Type, Action, Values, Result, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    void setRows(std::vector<service::journal::Row> rows);
    void appendRow(const service::journal::Row& row);
    void setAddressFilter(int address);  // -1: every address
    const service::journal::Row* row(int index) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    bool passes(const service::journal::Row& row) const;
    void rebuild();

    std::vector<service::journal::Row> rows_;
    std::vector<std::size_t> shown_;  // indices into rows_
    int address_ = -1;
};
