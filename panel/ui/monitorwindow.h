// "Монитор обмена": the exchanges the program makes, live, with per-address
// counters above them. It reads the ring and the counters that the service
// tools fill during each exchange; it redraws from a timer of its own while
// it is shown, so that the line never waits for the table.
#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>

namespace service {
class ExchangeRing;
class ExchangeStats;
}  // namespace service
class ExchangeTableModel;
class QCheckBox;
class QComboBox;
class QPushButton;
class QSpinBox;
class QTableView;
class QTableWidget;
class QTimer;

class MonitorWindow : public QWidget {
    Q_OBJECT

public:
    MonitorWindow(service::ExchangeRing& ring, service::ExchangeStats& stats,
                  QWidget* parent = nullptr);

    static constexpr int RefreshMs = 250;

    // Brings the table and the counters up to date (the timer calls it).
    void refresh();
    // Writes the rows shown to a CSV file; false (after an error box) on failure.
    bool exportCsv(const QString& path);
    ExchangeTableModel* model() const { return model_; }

    // Test seam of the export: returns the chosen path, "" for a cancel.
    // Empty: a file dialog asks the operator.
    std::function<QString()> ChooseExportFile;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void applyFilter();
    void refreshCounters();
    void clearAll();
    void exportClicked();

    service::ExchangeRing& ring_;
    service::ExchangeStats& stats_;
    ExchangeTableModel* model_ = nullptr;
    QTableWidget* counters_ = nullptr;
    QTableView* table_ = nullptr;
    QCheckBox* hideRoutine_ = nullptr;
    QSpinBox* address_ = nullptr;
    QComboBox* outcome_ = nullptr;
    QCheckBox* showBytes_ = nullptr;
    QPushButton* pause_ = nullptr;
    QTimer* timer_ = nullptr;
    std::uint64_t countersShown_ = ~std::uint64_t(0);
};
