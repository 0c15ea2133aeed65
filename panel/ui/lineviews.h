// The trends and the line overview behind the menu "Сервис": their record
// and model, their windows, and what the poll tick hands them. With both
// windows closed the line carries only the tick's own requests.
#pragma once

#include <QObject>
#include <QString>

#include "lineoverview.h"
#include "pollextras.h"
#include "pollsnapshot.h"
#include "trendrecord.h"

class LineBackup;
class LineOverviewWindow;
class QMenu;
class TMainForm;
class TrendsWindow;

class LineViews : public QObject {
    Q_OBJECT

public:
    explicit LineViews(TMainForm& form);

    // "Графики" (Ctrl+G), "Линия" (Ctrl+L), and the line's backup and restore.
    void addMenuItems(QMenu* menu);

    // What the trends need the tick to add to the page's reading at the
    // address (nothing while their window is closed).
    service::PollNeeds pollNeeds(int address) const;
    // After the selected actuator's poll (with the trends' additions): the
    // record, the overview's row of the selected actuator, and, after the
    // tick, one reading of the overview's round (only while its window is
    // open).
    void pollRead(const service::PollSnapshot& snapshot);

    TrendsWindow* showTrends();
    LineOverviewWindow* showLine();
    TrendsWindow* trendsWindow() const { return trends_; }
    LineOverviewWindow* lineWindow() const { return line_; }
    bool trendsOpen() const;
    bool lineOpen() const;

    LineBackup* backup() const { return backup_; }
    service::TrendRecord& record() { return record_; }
    service::LineOverview& overview() { return overview_; }

private:
    void refreshLine();
    // The actuators of the device table on "Сеть" (the last scan).
    std::vector<service::LineDevice> tableDevices() const;
    void takeDevices();
    void selectFromLine(int address);
    QString caption(int address) const;

    TMainForm& form_;
    service::TrendRecord record_;
    service::LineOverview overview_;
    TrendsWindow* trends_ = nullptr;
    LineOverviewWindow* line_ = nullptr;
    LineBackup* backup_ = nullptr;
    bool linePending_ = false;
};
