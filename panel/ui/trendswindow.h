// "Графики": the selected actuator's position (% and mm), drive state,
// current input and relays over the last 1, 5, 15 or 60 minutes, with the
// motion commands marked; pause, and export of the record (CSV) and of the
// picture (PNG). It only draws the record; the poll tick fills it.
#pragma once

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "trendrecord.h"

class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QLineSeries;
class QPushButton;
class QScatterSeries;
class QTimer;
class QCategoryAxis;
class QValueAxis;
class QDateTimeAxis;

class TrendsWindow : public QWidget {
    Q_OBJECT

public:
    enum Chart { PositionChart, StateChart, InputChart, RelayChart, ChartCount };

    TrendsWindow(const service::TrendRecord& record, QWidget* parent);

    // The actuator whose readings are drawn, and its caption.
    void setActuator(int address, const QString& caption);
    int actuator() const { return address_; }
    // Redraws the window [now - span, now] (nothing while paused).
    void refresh();
    std::int64_t spanMs() const;
    bool paused() const;

    bool saveCsv(const QString& path, QString& error) const;
    bool savePng(const QString& path) const;

    QChart* chart(Chart which) const { return charts_[which]; }
    // The drawn lines of a quantity, and the marker points of a motion code.
    std::vector<QLineSeries*> lineSeries(service::TrendQuantity q) const;
    QScatterSeries* markerSeries(int motionCode) const;

    // Test seams: the clock (ms since the epoch) and the save dialog (the
    // chosen path, empty for a cancel).
    std::function<std::int64_t()> Now;
    std::function<QString(const QString& filter, const QString& suggested)> ChooseSaveFile;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The lines of one quantity: one series per unbroken stretch, the
    // first of which stands in the legend.
    struct Lines {
        service::TrendQuantity quantity;
        Chart chart;
        QString name;
        QColor color;
        bool step;
        double offset = 0;  // drawn at offset + scale x value
        double scale = 1;
        std::vector<QLineSeries*> series;
    };
    struct Marker {
        int motionCode;
        QScatterSeries* series;
    };

    void buildCharts();
    void alignPlotAreas();
    void draw(Lines& lines, std::int64_t from, std::int64_t to, double& lo, double& hi);
    void drawMarkers(std::int64_t from, std::int64_t to);
    // The state axis names the states drawn from `from` to `to`, one row
    // each (stateRows_), in the order of their codes.
    void labelStates(std::int64_t from, std::int64_t to);
    // The state and relay charts high enough for a line of text per row.
    void fitNamedRows();
    // Where a reading is drawn: a state at its row, the rest at offset +
    // scale x value.
    double drawnValue(const Lines& lines, double value) const;
    void saveCsvClicked();
    void savePngClicked();
    // The save dialog with a name of the time and the extension suggested.
    QString chooseFile(const QString& filter, const QString& extension);
    QString latestText(Chart which) const;

    const service::TrendRecord& record_;
    int address_ = 0;
    QLabel* actuatorLabel_ = nullptr;
    QComboBox* span_ = nullptr;
    QPushButton* pause_ = nullptr;
    QWidget* chartArea_ = nullptr;
    QTimer* timer_ = nullptr;
    std::array<QChart*, ChartCount> charts_{};
    std::array<QChartView*, ChartCount> views_{};
    std::array<QDateTimeAxis*, ChartCount> timeAxes_{};
    std::array<QValueAxis*, ChartCount> valueAxes_{};
    QValueAxis* mmAxis_ = nullptr;
    QCategoryAxis* relayAxis_ = nullptr;
    QCategoryAxis* stateAxis_ = nullptr;  // also valueAxes_[StateChart]
    std::map<int, int> stateRows_;        // state code -> its row on the chart
    std::vector<Lines> lines_;
    std::vector<Marker> markers_;
};
