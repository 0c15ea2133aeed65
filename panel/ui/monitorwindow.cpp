#include "monitorwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "errorbox.h"
#include "exchangecsv.h"
#include "exchangering.h"
#include "exchangestats.h"
#include "exchangetablemodel.h"
#include "exchangetext.h"
#include "logtable.h"
#include "outcometext.h"

namespace {

// The outcome list's items, in order.
const std::pair<const char*, service::OutcomeFilter> Outcomes[] = {
    {"все", service::OutcomeFilter::All},
    {"все сбои", service::OutcomeFilter::Failures},
    {outcomeName(ExchangeOutcome::Answer), service::OutcomeFilter::Answer},
    {outcomeName(ExchangeOutcome::DeviceError), service::OutcomeFilter::DeviceError},
    {outcomeName(ExchangeOutcome::NoAnswer), service::OutcomeFilter::NoAnswer},
    {outcomeName(ExchangeOutcome::WrongAnswer), service::OutcomeFilter::WrongAnswer},
    {outcomeName(ExchangeOutcome::NoPort), service::OutcomeFilter::NoPort},
    {outcomeName(ExchangeOutcome::DamagedAnswer), service::OutcomeFilter::DamagedAnswer},
};

const char* const CounterHeadings[] = {
    "Адрес",     "Обменов",   "Сбоев",     "Ошибка устр.", "Нет ответа",      "Неверный",
    "Без порта", "Повреждён", "Пропущено", "Медиана, мс",  "Худший ответ, мс"};

QTableWidgetItem* numberItem(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

}  // namespace

MonitorWindow::MonitorWindow(service::ExchangeRing& ring, service::ExchangeStats& stats,
                             QWidget* parent)
    : QWidget(parent, Qt::Window), ring_(ring), stats_(stats)
{
    setObjectName(QStringLiteral("MonitorWindow"));
    setWindowTitle(QStringLiteral("Монитор обмена"));
    resize(1000, 620);

    counters_ = new QTableWidget(0, int(std::size(CounterHeadings)), this);
    counters_->setObjectName(QStringLiteral("Counters"));
    QStringList headings;
    for (const char* h : CounterHeadings)
        headings << QString::fromUtf8(h);
    counters_->setHorizontalHeaderLabels(headings);
    counters_->horizontalHeaderItem(int(std::size(CounterHeadings)) - 1)
        ->setToolTip(QStringLiteral("Самый долгий ответ, запоздавшие ответы тоже: по нему "
                                    "видно, какое ожидание ответа нужно этому приводу"));
    counters_->verticalHeader()->hide();
    counters_->verticalHeader()->setDefaultSectionSize(20);
    counters_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    counters_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    counters_->setSelectionMode(QAbstractItemView::NoSelection);
    counters_->setFixedHeight(130);

    hideRoutine_ = new QCheckBox(QStringLiteral("Скрыть опрос без изменений"), this);
    hideRoutine_->setObjectName(QStringLiteral("cbHideRoutine"));
    address_ = newAddressFilter(this);
    outcome_ = new QComboBox(this);
    outcome_->setObjectName(QStringLiteral("cbOutcome"));
    for (const auto& [name, filter] : Outcomes)
        outcome_->addItem(QString::fromUtf8(name), int(filter));
    showBytes_ = new QCheckBox(QStringLiteral("Байты"), this);
    showBytes_->setObjectName(QStringLiteral("cbBytes"));
    pause_ = new QPushButton(QStringLiteral("Пауза"), this);
    pause_->setObjectName(QStringLiteral("btPause"));
    pause_->setCheckable(true);
    auto* clear = new QPushButton(QStringLiteral("Очистить"), this);
    clear->setObjectName(QStringLiteral("btClear"));
    auto* exportButton = new QPushButton(QStringLiteral("Экспорт CSV…"), this);
    exportButton->setObjectName(QStringLiteral("btExport"));

    auto* filters = new QHBoxLayout;
    filters->addWidget(hideRoutine_);
    filters->addSpacing(12);
    filters->addWidget(new QLabel(QStringLiteral("Адрес:"), this));
    filters->addWidget(address_);
    filters->addSpacing(12);
    filters->addWidget(new QLabel(QStringLiteral("Исход:"), this));
    filters->addWidget(outcome_);
    filters->addSpacing(12);
    filters->addWidget(showBytes_);
    filters->addStretch(1);
    filters->addWidget(pause_);
    filters->addWidget(clear);
    filters->addWidget(exportButton);

    model_ = new ExchangeTableModel(ring_, this);
    table_ = newLogTable(model_, QStringLiteral("Exchanges"),
                         {95, 50, 50, 65, 200, 260, 140, 75, 150, 150}, this);
    // The answer takes what is left: its fields are the longest.
    table_->horizontalHeader()->setSectionResizeMode(ExchangeTableModel::Answer,
                                                     QHeaderView::Stretch);
    table_->setColumnHidden(ExchangeTableModel::RequestBytes, true);
    table_->setColumnHidden(ExchangeTableModel::AnswerBytes, true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(counters_);
    layout->addLayout(filters);
    layout->addWidget(table_, 1);

    timer_ = new QTimer(this);
    timer_->setInterval(RefreshMs);
    connect(timer_, &QTimer::timeout, this, &MonitorWindow::refresh);
    connect(hideRoutine_, &QCheckBox::toggled, this, &MonitorWindow::applyFilter);
    connect(address_, &QSpinBox::valueChanged, this, &MonitorWindow::applyFilter);
    connect(outcome_, &QComboBox::currentIndexChanged, this, &MonitorWindow::applyFilter);
    connect(showBytes_, &QCheckBox::toggled, this, [this](bool on) {
        table_->setColumnHidden(ExchangeTableModel::RequestBytes, !on);
        table_->setColumnHidden(ExchangeTableModel::AnswerBytes, !on);
    });
    connect(pause_, &QPushButton::toggled, this, [this](bool on) { ring_.setPaused(on); });
    connect(clear, &QPushButton::clicked, this, &MonitorWindow::clearAll);
    connect(exportButton, &QPushButton::clicked, this,
            [this] { RunGuarded(this, [this] { exportClicked(); }); });
}

void MonitorWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
    table_->scrollToBottom();
    timer_->start();
}

void MonitorWindow::hideEvent(QHideEvent* event)
{
    timer_->stop();
    QWidget::hideEvent(event);
}

void MonitorWindow::refresh()
{
    // The view follows the newest exchange unless the operator scrolled up.
    const bool following = showsLastRow(table_);
    if (model_->sync() && following)
        table_->scrollToBottom();
    refreshCounters();
}

void MonitorWindow::applyFilter()
{
    service::ExchangeFilter filter;
    filter.hideRoutine = hideRoutine_->isChecked();
    filter.address = address_->value();
    filter.outcome = service::OutcomeFilter(outcome_->currentData().toInt());
    model_->setFilter(filter);
    table_->scrollToBottom();
}

void MonitorWindow::refreshCounters()
{
    if (stats_.generation() == countersShown_)
        return;
    countersShown_ = stats_.generation();
    const auto& all = stats_.byAddress();
    counters_->setRowCount(int(all.size()));
    int row = 0;
    for (const auto& [address, c] : all) {
        const auto count = [](std::uint64_t n) { return QString::number(n); };
        const auto ms = [](double v) {
            return v > 0 ? QString::fromStdString(service::exchangetext::milliseconds(v))
                         : QStringLiteral("—");
        };
        const QString cells[] = {QString::number(address), count(c.exchanges),
                                 count(c.failures()),      count(c.deviceErrors),
                                 count(c.noAnswers),       count(c.wrongAnswers),
                                 count(c.noPort),          count(c.damagedAnswers),
                                 count(c.skippedFrames),   ms(c.roundTrips.medianMs()),
                                 ms(c.worstAnswerMs)};
        for (int col = 0; col < int(std::size(cells)); ++col) {
            QTableWidgetItem* item = counters_->item(row, col);
            if (!item)
                counters_->setItem(row, col, numberItem(cells[col]));
            else if (item->text() != cells[col])
                item->setText(cells[col]);
        }
        ++row;
    }
}

void MonitorWindow::clearAll()
{
    ring_.clear();
    stats_.clear();
    refresh();
}

bool MonitorWindow::exportCsv(const QString& path)
{
    refresh();
    std::string error;
    if (service::exchangecsv::write(QFile::encodeName(path).toStdString(), model_->entries(),
                                    error))
        return true;
    ShowErrorBox(this, QString::fromStdString(error));
    return false;
}

void MonitorWindow::exportClicked()
{
    QString path;
    if (ChooseExportFile) {
        path = ChooseExportFile();
    } else {
        path = QFileDialog::getSaveFileName(this, QStringLiteral("Экспорт обмена"),
                                            QDir::homePath() + QStringLiteral("/exchanges.csv"),
                                            QStringLiteral("CSV (*.csv)"));
    }
    if (!path.isEmpty())
        exportCsv(path);
}
