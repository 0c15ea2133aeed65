// The menu "Сервис" and what stands behind it: the exchange monitor's ring
// and counters, the operation journal with its stroke timing, and their two
// windows. Sits in the protocol client's one observer slot through a
// fan-out, so that more listeners can join.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

#include "exchangefanout.h"
#include "exchangering.h"
#include "exchangestats.h"
#include "operationrecorder.h"

class JournalWindow;
class MonitorWindow;
class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QStatusBar;
class QWidget;
class TWakePort;

class ServiceTools : public QObject {
    Q_OBJECT

public:
    // journalFolder: where tirspanel-journal.csv lies (beside the program).
    ServiceTools(QWidget* window, const QString& journalFolder);
    ~ServiceTools() override;

    // Puts the menu into the menu bar before `before` (nullptr: at the end).
    void addMenu(QMenuBar* bar, QAction* before);
    // The menu, for the items of other tools (after addMenu).
    QMenu* menu() const { return menu_; }
    // Takes the client's observer slot.
    void attach(TWakePort& port);
    // The last stroke of the actuator shows in this label.
    void setStrokeLabel(QLabel* label);
    // A journal that cannot be written is reported once here.
    void setStatusBar(QStatusBar* bar);

    // A parameter file loaded or saved; error empty for success.
    void fileOperation(const char* action, const std::string& port, int address,
                       const QString& path, const QString& error);

    MonitorWindow* showMonitor();
    JournalWindow* showJournal();

    service::ExchangeFanOut& fanOut() { return fanOut_; }
    service::ExchangeRing& exchangeRing() { return ring_; }
    service::ExchangeStats& stats() { return stats_; }
    service::OperationRecorder& recorder() { return recorder_; }

    // Told of every journal row as it is appended, besides the journal's
    // own window (a line restore collects the rows of its writes).
    std::function<void(const service::journal::Row&)> OnJournalRow;

    // "Открытие: 41.3 с"
    static QString strokeText(const service::Stroke& stroke);

private:
    void journalExchange(const ExchangeRecord& record);
    void afterJournalRow(const service::journal::Row& row);

    QWidget* window_;
    service::ExchangeFanOut fanOut_;
    service::ExchangeRing ring_;
    service::ExchangeStats stats_;
    service::OperationRecorder recorder_;
    MonitorWindow* monitor_ = nullptr;
    JournalWindow* journal_ = nullptr;
    QMenu* menu_ = nullptr;
    QLabel* strokeLabel_ = nullptr;
    QLabel* journalWarning_ = nullptr;
};
