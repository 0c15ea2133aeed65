// The monitor's table: the exchanges of the ring that pass the filter, one
// row each, texts made only for the rows that are drawn. The model follows
// the ring in batches (sync), never during an exchange.
#pragma once

#include <QAbstractTableModel>

#include <cstdint>
#include <deque>
#include <vector>

#include "exchangefilter.h"
#include "exchangering.h"

class ExchangeTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column {
        Time,
        Port,
        Address,
        Command,
        Request,
        Answer,
        Outcome,
        RoundTrip,
        RequestBytes,
        AnswerBytes,
        ColumnCount
    };

    explicit ExchangeTableModel(const service::ExchangeRing& ring, QObject* parent = nullptr);

    void setFilter(const service::ExchangeFilter& filter);  // rebuilds the rows
    const service::ExchangeFilter& filter() const { return filter_; }
    // Drops the rows the ring has lost and appends the new ones that pass.
    // Returns whether rows were appended.
    bool sync();
    // nullptr for a row whose exchange the ring has lost since the last sync.
    const service::LoggedExchange* entry(int row) const;
    std::vector<const service::LoggedExchange*> entries() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const service::ExchangeRing& ring_;
    service::ExchangeFilter filter_;
    std::deque<std::uint64_t> rows_;  // sequence numbers, oldest first
    std::uint64_t next_ = 0;          // the first sequence number not yet looked at
};
