#include "journaltablemodel.h"

#include <QBrush>
#include <QColor>

#include "exchangetext.h"

void JournalTableModel::setRows(std::vector<service::journal::Row> rows)
{
    beginResetModel();
    rows_ = std::move(rows);
    rebuild();
    endResetModel();
}

void JournalTableModel::appendRow(const service::journal::Row& row)
{
    rows_.push_back(row);
    if (!passes(row))
        return;
    beginInsertRows({}, int(shown_.size()), int(shown_.size()));
    shown_.push_back(rows_.size() - 1);
    endInsertRows();
}

void JournalTableModel::setAddressFilter(int address)
{
    beginResetModel();
    address_ = address;
    rebuild();
    endResetModel();
}

const service::journal::Row* JournalTableModel::row(int index) const
{
    if (index < 0 || index >= int(shown_.size()))
        return nullptr;
    return &rows_[shown_[std::size_t(index)]];
}

bool JournalTableModel::passes(const service::journal::Row& row) const
{
    return address_ < 0 || row.address == address_;
}

void JournalTableModel::rebuild()
{
    shown_.clear();
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (passes(rows_[i]))
            shown_.push_back(i);
}

int JournalTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(shown_.size());
}

int JournalTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant JournalTableModel::data(const QModelIndex& index, int role) const
{
    const service::journal::Row* r = row(index.row());
    if (!r)
        return {};
    if (role == Qt::BackgroundRole)
        return r->result == service::journal::Ok ? QVariant()
                                                 : QVariant(QBrush(QColor(255, 225, 225)));
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case Time: return QString::fromStdString(r->time);
    case Port: return QString::fromStdString(r->port);
    case Address: return r->address;
    case Type: return QString::fromStdString(r->type);
    case Action: return QString::fromStdString(r->action);
    case Values:
        return QString::fromStdString(service::exchangetext::operatorValues(r->action, r->values));
    case Result: return QString::fromStdString(r->result);
    default: return {};
    }
}

QVariant JournalTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const headings[] = {"Время",    "Порт",     "Адрес",    "Тип",
                                           "Действие", "Значения", "Результат"};
    if (section < 0 || section >= ColumnCount)
        return {};
    return QString::fromUtf8(headings[section]);
}
