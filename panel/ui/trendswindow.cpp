#include "trendswindow.h"

#include <QBuffer>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGraphicsLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <limits>
#include <utility>

#include "codes.h"
#include "drivestate.h"
#include "errorbox.h"
#include "filebytes.h"
#include "inifile.h"
#include "positionmath.h"
#include "trendcsv.h"

namespace {

constexpr int SpanMinutes[] = {1, 5, 15, 60};
constexpr int RefreshMs = 1000;
const QMargins ChartMargins(4, 2, 4, 2);

QString minutesText(int m)
{
    return QString::number(m) + QStringLiteral(" мин");
}

QString number(double v, int decimals)
{
    return QString::number(v, 'f', decimals);
}

// A tick interval of 1, 2 or 5 times a power of ten that gives about
// `ticks` intervals over the range.
double niceStep(double range, int ticks)
{
    if (!(range > 0))
        return 1;
    const double raw = range / ticks;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (raw <= m * power)
            return m * power;
    return 10 * power;
}

void setTicks(QValueAxis* axis, double lo, double hi, double anchor, double step)
{
    axis->setRange(lo, hi);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(anchor);
    axis->setTickInterval(step);
}

QLineSeries* newSeries(QChart* chart, const QString& name, const QColor& color, QAbstractAxis* x,
                       QAbstractAxis* y)
{
    auto* s = new QLineSeries(chart);
    s->setName(name);
    QPen pen(color);
    pen.setWidthF(1.5);
    s->setPen(pen);
    chart->addSeries(s);
    s->attachAxis(x);
    s->attachAxis(y);
    return s;
}

}  // namespace

TrendsWindow::TrendsWindow(const service::TrendRecord& record, QWidget* parent)
    : QWidget(parent, Qt::Window), record_(record)
{
    setObjectName(QStringLiteral("TrendsWindow"));
    setWindowTitle(QStringLiteral("Графики"));
    Now = [] { return QDateTime::currentMSecsSinceEpoch(); };

    actuatorLabel_ = new QLabel(this);
    actuatorLabel_->setObjectName(QStringLiteral("lbActuator"));
    span_ = new QComboBox(this);
    span_->setObjectName(QStringLiteral("cbSpan"));
    for (int m : SpanMinutes)
        span_->addItem(minutesText(m), m);
    span_->setCurrentIndex(1);
    pause_ = new QPushButton(QStringLiteral("Пауза"), this);
    pause_->setObjectName(QStringLiteral("btPause"));
    pause_->setCheckable(true);
    auto* csv = new QPushButton(QStringLiteral("Сохранить CSV…"), this);
    csv->setObjectName(QStringLiteral("btSaveCsv"));
    auto* png = new QPushButton(QStringLiteral("Сохранить PNG…"), this);
    png->setObjectName(QStringLiteral("btSavePng"));

    auto* bar = new QHBoxLayout;
    bar->addWidget(actuatorLabel_, 1);
    bar->addWidget(new QLabel(QStringLiteral("Окно:"), this));
    bar->addWidget(span_);
    bar->addWidget(pause_);
    bar->addWidget(csv);
    bar->addWidget(png);

    chartArea_ = new QWidget(this);
    chartArea_->setObjectName(QStringLiteral("ChartArea"));
    buildCharts();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(bar);
    layout->addWidget(chartArea_, 1);
    resize(820, 720);

    timer_ = new QTimer(this);
    timer_->setInterval(RefreshMs);
    connect(timer_, &QTimer::timeout, this, [this] {
        if (isVisible())
            refresh();
    });
    timer_->start();
    connect(span_, &QComboBox::currentIndexChanged, this, [this] { refresh(); });
    connect(pause_, &QPushButton::toggled, this, [this](bool on) {
        if (!on)
            refresh();
    });
    connect(csv, &QPushButton::clicked, this, &TrendsWindow::saveCsvClicked);
    connect(png, &QPushButton::clicked, this, &TrendsWindow::savePngClicked);
}

void TrendsWindow::buildCharts()
{
    auto* column = new QVBoxLayout(chartArea_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    const int stretch[ChartCount] = {3, 2, 2, 2};
    for (int c = 0; c < ChartCount; ++c) {
        auto* chart = new QChart;
        chart->setMargins(ChartMargins);
        chart->legend()->setAlignment(Qt::AlignTop);
        QFont title = chart->titleFont();
        title.setBold(true);
        chart->setTitleFont(title);
        auto* time = new QDateTimeAxis(chart);
        time->setTickCount(7);
        chart->addAxis(time, Qt::AlignBottom);
        timeAxes_[c] = time;
        QAbstractAxis* y = nullptr;
        if (c == RelayChart) {
            relayAxis_ = new QCategoryAxis(chart);
            relayAxis_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionCenter);
            relayAxis_->setStartValue(0);
            relayAxis_->setRange(0, 6);
            for (int k = wake::RelayCount; k >= 1; --k)
                relayAxis_->append(QStringLiteral("Реле ") + QString::number(k), 2 * (4 - k));
            y = relayAxis_;
        } else if (c == StateChart) {
            // The states by name, at their codes (labelStates).
            stateAxis_ = new QCategoryAxis(chart);
            stateAxis_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionCenter);
            // Whole names: the plot areas of all charts give way to them.
            stateAxis_->setTruncateLabels(false);
            valueAxes_[c] = stateAxis_;
            y = stateAxis_;
        } else {
            auto* axis = new QValueAxis(chart);
            axis->setLabelFormat(QStringLiteral("%.0f"));
            valueAxes_[c] = axis;
            y = axis;
        }
        chart->addAxis(y, Qt::AlignLeft);
        charts_[c] = chart;
        auto* view = new QChartView(chart, chartArea_);
        view->setObjectName(QStringLiteral("ChartView") + QString::number(c));
        view->setRenderHint(QPainter::Antialiasing);
        views_[c] = view;
        column->addWidget(view, stretch[c]);
    }
    valueAxes_[PositionChart]->setTitleText(QStringLiteral("%"));
    valueAxes_[InputChart]->setTitleText(QStringLiteral("мА"));
    mmAxis_ = new QValueAxis(charts_[PositionChart]);
    mmAxis_->setTitleText(QStringLiteral("мм"));
    mmAxis_->setLabelFormat(QStringLiteral("%.1f"));
    mmAxis_->setGridLineVisible(false);
    charts_[PositionChart]->addAxis(mmAxis_, Qt::AlignRight);

    const struct {
        service::TrendQuantity quantity;
        Chart chart;
        const char* name;
        QColor color;
        bool step;
        double offset, scale;
    } plots[] = {
        {service::TrendQuantity::Percent, PositionChart, "Положение", QColor(0, 0, 128), false, 0,
         1},
        {service::TrendQuantity::DriveState, StateChart, "Состояние", QColor(0, 110, 0), true, 0,
         1},
        {service::TrendQuantity::InputCurrent, InputChart, "Токовый вход", QColor(0, 0, 160), false,
         0, 1},
        {service::TrendQuantity::Relay1, RelayChart, "Реле 1", QColor(220, 0, 0), true, 4.4, 1.2},
        {service::TrendQuantity::Relay2, RelayChart, "Реле 2", QColor(200, 90, 0), true, 2.4, 1.2},
        {service::TrendQuantity::Relay3, RelayChart, "Реле 3", QColor(140, 0, 140), true, 0.4, 1.2},
    };
    for (const auto& plot : plots) {
        Lines l{plot.quantity, plot.chart, QString::fromUtf8(plot.name),
                plot.color,    plot.step,  plot.offset,
                plot.scale,    {}};
        QAbstractAxis* y =
            l.chart == RelayChart ? static_cast<QAbstractAxis*>(relayAxis_) : valueAxes_[l.chart];
        l.series.push_back(newSeries(charts_[l.chart], l.name, l.color, timeAxes_[l.chart], y));
        lines_.push_back(std::move(l));
    }
    // The relay lines explain themselves by the axis.
    charts_[RelayChart]->legend()->hide();
    charts_[StateChart]->legend()->hide();
    charts_[InputChart]->legend()->hide();

    const struct {
        int code;
        QColor color;
        QScatterSeries::MarkerShape shape;
    } marks[] = {{wake::CmdOpen, QColor(0, 160, 0), QScatterSeries::MarkerShapeTriangle},
                 {wake::CmdClose, QColor(0, 90, 220), QScatterSeries::MarkerShapeTriangle},
                 {wake::CmdStop, QColor(230, 140, 0), QScatterSeries::MarkerShapeRectangle},
                 {wake::CmdStopOff, QColor(200, 0, 0), QScatterSeries::MarkerShapeRectangle}};
    for (const auto& m : marks) {
        auto* s = new QScatterSeries(charts_[PositionChart]);
        s->setName(QString::fromStdString(service::motionCommandText(m.code)));
        s->setColor(m.color);
        s->setBorderColor(m.color.darker());
        s->setMarkerShape(m.shape);
        s->setMarkerSize(10);
        charts_[PositionChart]->addSeries(s);
        s->attachAxis(timeAxes_[PositionChart]);
        s->attachAxis(valueAxes_[PositionChart]);
        markers_.push_back({m.code, s});
    }
}

void TrendsWindow::setActuator(int address, const QString& caption)
{
    const bool changed = address != address_;
    address_ = address;
    actuatorLabel_->setText(caption);
    if (changed)
        refresh();
}

std::int64_t TrendsWindow::spanMs() const
{
    return static_cast<std::int64_t>(span_->currentData().toInt()) * 60 * 1000;
}

bool TrendsWindow::paused() const
{
    return pause_->isChecked();
}

void TrendsWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
}

void TrendsWindow::draw(Lines& l, std::int64_t from, std::int64_t to, double& lo, double& hi)
{
    const std::vector<service::TrendLine> lines =
        record_.lines(l.quantity, address_, from, to, l.step);
    QChart* chart = charts_[l.chart];
    QAbstractAxis* y =
        l.chart == RelayChart ? static_cast<QAbstractAxis*>(relayAxis_) : valueAxes_[l.chart];
    while (l.series.size() < lines.size())
        l.series.push_back(newSeries(chart, l.name, l.color, timeAxes_[l.chart], y));
    for (std::size_t i = 0; i < l.series.size(); ++i) {
        QList<QPointF> points;
        if (i < lines.size()) {
            points.reserve(static_cast<qsizetype>(lines[i].size()));
            for (const service::TrendPoint& p : lines[i]) {
                const double v = drawnValue(l, p.value);
                points.append(QPointF(static_cast<double>(p.time), v));
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
        }
        l.series[i]->replace(points);
        // One legend entry per quantity.
        if (i > 0)
            for (QLegendMarker* m : chart->legend()->markers(l.series[i]))
                m->setVisible(false);
    }
}

double TrendsWindow::drawnValue(const Lines& l, double value) const
{
    if (l.quantity == service::TrendQuantity::DriveState) {
        const auto row = stateRows_.find(static_cast<int>(std::lround(value)));
        return row != stateRows_.end() ? row->second : 0;
    }
    return l.offset + l.scale * value;
}

void TrendsWindow::drawMarkers(std::int64_t from, std::int64_t to)
{
    const QValueAxis* axis = valueAxes_[PositionChart];
    for (Marker& m : markers_) {
        QList<QPointF> points;
        for (const service::TrendMarker& t : record_.markers()) {
            if (t.address != address_ || t.motionCode != m.motionCode || t.time < from ||
                t.time > to)
                continue;
            const auto v = record_.valueAt(service::TrendQuantity::Percent, address_, t.time);
            points.append(QPointF(static_cast<double>(t.time), v ? *v : axis->max()));
        }
        m.series->replace(points);
    }
}

void TrendsWindow::refresh()
{
    if (paused())
        return;
    const std::int64_t to = Now();
    const std::int64_t from = to - spanMs();
    const QString format =
        spanMs() <= 5 * 60 * 1000 ? QStringLiteral("hh:mm:ss") : QStringLiteral("hh:mm");
    for (QDateTimeAxis* axis : timeAxes_) {
        axis->setFormat(format);
        axis->setRange(QDateTime::fromMSecsSinceEpoch(from), QDateTime::fromMSecsSinceEpoch(to));
    }
    // The fixed scales widen for readings beyond them.
    std::array<double, ChartCount> lo{0, 0, 0, 0}, hi{100, 0, 24, 6};
    labelStates(from, to);  // the rows the states are drawn at
    for (Lines& l : lines_)
        draw(l, from, to, lo[l.chart], hi[l.chart]);
    // Quarters of the travel while the readings stay within it.
    const double travelSpan = hi[PositionChart] - lo[PositionChart];
    setTicks(valueAxes_[PositionChart], lo[PositionChart] - travelSpan * 0.05,
             hi[PositionChart] + travelSpan * 0.05, 0,
             travelSpan == 100 ? 25 : niceStep(travelSpan, 4));
    // Steps of 4 mA put 4 and 20 mA, the ends of the loop's range, on the grid.
    const double mA = std::ceil(hi[InputChart]) - std::floor(lo[InputChart]);
    setTicks(valueAxes_[InputChart], std::floor(lo[InputChart]), std::ceil(hi[InputChart]), 4,
             4 * std::ceil(niceStep(mA, 6) / 4));
    drawMarkers(from, to);

    // Millimetres are a fixed multiple of the percentage for one travel.
    const auto pct = record_.valueAt(service::TrendQuantity::Percent, address_, to);
    const auto mm = record_.valueAt(service::TrendQuantity::Millimetres, address_, to);
    const bool scaled = pct && mm && *pct != 0;
    mmAxis_->setVisible(scaled);
    if (scaled) {
        const double k = *mm / *pct;
        const QValueAxis* left = valueAxes_[PositionChart];
        const double a = left->min() * k, b = left->max() * k;
        setTicks(mmAxis_, std::min(a, b), std::max(a, b), 0, niceStep(std::abs(b - a), 5));
    }
    for (int c = 0; c < ChartCount; ++c)
        charts_[c]->setTitle(latestText(static_cast<Chart>(c)));
    alignPlotAreas();
    fitNamedRows();
}

void TrendsWindow::alignPlotAreas()
{
    // Each chart lays out its own axes; one time scale under another reads
    // only when their plot areas share the left and right edges. Wider
    // margins move a chart's plot area in to the narrowest of them.
    std::array<QRectF, ChartCount> natural;
    for (int c = 0; c < ChartCount; ++c) {
        charts_[c]->setMargins(ChartMargins);
        charts_[c]->resize(views_[c]->viewport()->size());
        charts_[c]->layout()->activate();
        natural[c] = charts_[c]->plotArea();
    }
    double left = 0, right = std::numeric_limits<double>::max();
    for (const QRectF& r : natural) {
        left = std::max(left, r.left());
        right = std::min(right, r.right());
    }
    if (right <= left)
        return;
    for (int c = 0; c < ChartCount; ++c) {
        QMargins m = ChartMargins;
        m.setLeft(m.left() + static_cast<int>(std::lround(left - natural[c].left())));
        m.setRight(m.right() + static_cast<int>(std::lround(natural[c].right() - right)));
        charts_[c]->setMargins(m);
    }
}

void TrendsWindow::labelStates(std::int64_t from, std::int64_t to)
{
    // Only the states of the span, a row each: a code the span lacks takes
    // no room, so even all thirteen names stand apart.
    stateRows_.clear();
    for (const service::TrendLine& line :
         record_.lines(service::TrendQuantity::DriveState, address_, from, to, true))
        for (const service::TrendPoint& p : line)
            stateRows_.emplace(static_cast<int>(std::lround(p.value)), 0);
    QStringList names;
    for (auto& [code, row] : stateRows_) {
        row = static_cast<int>(names.size());
        const char* name = drivestate::text(code);
        names << (name ? QString::fromUtf8(name) : QString::number(code));
    }
    const int rows = std::max(static_cast<int>(names.size()), 1);
    stateAxis_->setRange(-0.5, rows - 0.5);
    if (names == stateAxis_->categoriesLabels())
        return;
    for (const QString& label : stateAxis_->categoriesLabels())
        stateAxis_->remove(label);
    // Each name centred in its row.
    stateAxis_->setStartValue(-0.5);
    for (int row = 0; row < names.size(); ++row)
        stateAxis_->append(names[row], row + 0.5);
}

void TrendsWindow::fitNamedRows()
{
    // Qt Charts drops a label that would overlap the one below it: each row
    // of a named axis is a line of its font high, with room for the label's
    // margins; the charts without names give way.
    bool changed = false;
    for (const auto& [c, axis] :
         {std::pair{StateChart, stateAxis_}, std::pair{RelayChart, relayAxis_}}) {
        const int rows = std::max(axis->count(), 1);
        const int rowHeight = QFontMetrics(axis->labelsFont()).height() + 4;
        QChartView* view = views_[c];
        const double around = view->height() - charts_[c]->plotArea().height();
        const int needed = static_cast<int>(std::ceil(around)) + rows * rowHeight;
        if (std::abs(needed - view->minimumHeight()) > 2) {
            view->setMinimumHeight(needed);
            changed = true;
        }
    }
    // The charts take their new heights from the layout first.
    if (changed)
        QTimer::singleShot(0, this, &TrendsWindow::alignPlotAreas);
}

void TrendsWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    alignPlotAreas();
}

QString TrendsWindow::latestText(Chart which) const
{
    const std::int64_t now = std::numeric_limits<std::int64_t>::max();
    const auto value = [&](service::TrendQuantity q) { return record_.valueAt(q, address_, now); };
    switch (which) {
    case PositionChart: {
        QString text = QStringLiteral("Положение");
        if (const auto p = value(service::TrendQuantity::Percent)) {
            text += QStringLiteral(": ") + QString::number(posmath::shownPercent(*p)) +
                    QStringLiteral(" %");
            if (const auto mm = value(service::TrendQuantity::Millimetres))
                text += QStringLiteral(", ") + number(*mm, 1) + QStringLiteral(" мм");
        }
        return text;
    }
    case StateChart: {
        QString text = QStringLiteral("Состояние привода");
        if (const auto s = value(service::TrendQuantity::DriveState)) {
            const char* name = drivestate::text(static_cast<int>(*s));
            text += QStringLiteral(": ") +
                    (name ? QString::fromUtf8(name) : QString::number(static_cast<int>(*s)));
        }
        return text;
    }
    case InputChart: {
        QString text = QStringLiteral("Токовый вход");
        if (const auto i = value(service::TrendQuantity::InputCurrent))
            text += QStringLiteral(": ") + number(*i, 2) + QStringLiteral(" мА");
        return text;
    }
    case RelayChart:
    case ChartCount: break;
    }
    QString text = QStringLiteral("Реле");
    const service::TrendQuantity relays[] = {service::TrendQuantity::Relay1,
                                             service::TrendQuantity::Relay2,
                                             service::TrendQuantity::Relay3};
    QStringList states;
    for (int k = 0; k < wake::RelayCount; ++k)
        if (const auto on = value(relays[k]))
            states << QString::number(k + 1) +
                          (*on != 0 ? QStringLiteral(" вкл.") : QStringLiteral(" выкл."));
    if (!states.isEmpty())
        text += QStringLiteral(": ") + states.join(QStringLiteral(", "));
    return text;
}

std::vector<QLineSeries*> TrendsWindow::lineSeries(service::TrendQuantity q) const
{
    for (const Lines& l : lines_)
        if (l.quantity == q)
            return l.series;
    return {};
}

QScatterSeries* TrendsWindow::markerSeries(int motionCode) const
{
    for (const Marker& m : markers_)
        if (m.motionCode == motionCode)
            return m.series;
    return nullptr;
}

bool TrendsWindow::saveCsv(const QString& path, QString& error) const
{
    std::ostringstream out;
    service::writeTrendCsv(out, record_, [](std::int64_t ms) {
        return QDateTime::fromMSecsSinceEpoch(ms).toString(Qt::ISODateWithMs).toStdString();
    });
    try {
        filebytes::replace(QFile::encodeName(path).toStdString(), out.str());
    } catch (const IniFileError& e) {
        error = QString::fromStdString(e.what());
        return false;
    }
    return true;
}

// Rendered to bytes first, so that the picture goes through the file layer
// as every other file the window writes.
bool TrendsWindow::savePng(const QString& path) const
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!chartArea_->grab().save(&buffer, "PNG"))
        return false;
    try {
        filebytes::replace(QFile::encodeName(path).toStdString(), png.toStdString());
    } catch (const IniFileError&) {
        return false;
    }
    return true;
}

QString TrendsWindow::chooseFile(const QString& filter, const QString& extension)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    const QString suggested = QStringLiteral("trends-") + stamp + extension;
    if (ChooseSaveFile)
        return ChooseSaveFile(filter, suggested);
    return QFileDialog::getSaveFileName(this, windowTitle(), suggested, filter);
}

void TrendsWindow::saveCsvClicked()
{
    const QString path = chooseFile(QStringLiteral("Таблицы CSV (*.csv)"), QStringLiteral(".csv"));
    if (path.isEmpty())
        return;
    QString error;
    if (!saveCsv(path, error))
        ShowFileErrorBox(this, error);
}

void TrendsWindow::savePngClicked()
{
    const QString path = chooseFile(QStringLiteral("Рисунки PNG (*.png)"), QStringLiteral(".png"));
    if (path.isEmpty())
        return;
    if (!savePng(path))
        ShowFileErrorBox(this, QStringLiteral("Cannot create file ") + path);
}
