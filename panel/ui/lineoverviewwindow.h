// "Линия": every actuator of the last scan in one table (address, name,
// type, state, position, limit switches, age of the last answer). Rows that
// stopped answering stand out; a double click selects the actuator.
#pragma once

#include <QWidget>

#include <functional>

#include "lineoverview.h"

class QLabel;
class QTableWidget;
class QTimer;

class LineOverviewWindow : public QWidget {
    Q_OBJECT

public:
    enum Column { ColAddress, ColName, ColType, ColState, ColPercent, ColFlags, ColAge, ColCount };

    LineOverviewWindow(const service::LineOverview& overview, QWidget* parent);

    // Rewrites the table from the overview.
    void refresh();
    QTableWidget* table() const { return table_; }

    // The operator's name of an address.
    std::function<QString(int address)> NameOf;
    // The rows come from the scan kept from before the restart.
    std::function<bool()> FromKeptScan;
    // Double click on a row: select that actuator.
    std::function<void(int address)> Select;
    // "0.4 с", "12 с", "3 мин", "—" (never answered)
    static QString ageText(const service::LineEntry& entry,
                           service::LineOverview::Clock::time_point now);

protected:
    void showEvent(QShowEvent* event) override;

private:
    const service::LineOverview& overview_;
    QTableWidget* table_ = nullptr;
    QLabel* origin_ = nullptr;  // the rows come from before the restart
    QLabel* hint_ = nullptr;
    QTimer* timer_ = nullptr;
};
