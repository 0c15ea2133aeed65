#include "lineoverviewwindow.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "codes.h"
#include "drivestate.h"

namespace {

// Ages tick on even when no reading comes.
constexpr int AgeRefreshMs = 500;
const QColor SilentRow(255, 205, 205);

QString limitSwitches(int flags)
{
    QStringList names;
    if (flags & wake::flag::Limc)
        names << QStringLiteral("LIMC");
    if (flags & wake::flag::Limo)
        names << QStringLiteral("LIMO");
    return names.join(QLatin1Char(' '));
}

void setCell(QTableWidget* table, int row, int col, const QString& text, const QColor& background,
             bool bold)
{
    QTableWidgetItem* item = table->item(row, col);
    if (!item) {
        item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        if (col == LineOverviewWindow::ColAddress || col == LineOverviewWindow::ColPercent)
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        table->setItem(row, col, item);
    }
    item->setText(text);
    item->setBackground(background.isValid() ? QBrush(background) : QBrush());
    QFont font = item->font();
    font.setBold(bold);
    item->setFont(font);
}

}  // namespace

LineOverviewWindow::LineOverviewWindow(const service::LineOverview& overview, QWidget* parent)
    : QWidget(parent, Qt::Window), overview_(overview)
{
    setObjectName(QStringLiteral("LineOverviewWindow"));
    setWindowTitle(QStringLiteral("Линия"));
    table_ = new QTableWidget(0, ColCount, this);
    table_->setObjectName(QStringLiteral("LineTable"));
    table_->setHorizontalHeaderLabels({QStringLiteral("Адрес"), QStringLiteral("Название"),
                                       QStringLiteral("Тип"), QStringLiteral("Состояние"),
                                       QStringLiteral("Положение, %"), QStringLiteral("Концевики"),
                                       QStringLiteral("Ответ")});
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(20);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QHeaderView* header = table_->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(ColState, QHeaderView::Stretch);
    origin_ = new QLabel(
        QStringLiteral("Приводы из последнего сканирования (до перезапуска программы)"), this);
    origin_->setObjectName(QStringLiteral("LineOrigin"));
    origin_->hide();
    hint_ = new QLabel(this);
    hint_->setObjectName(QStringLiteral("LineHint"));
    hint_->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(origin_);
    layout->addWidget(table_, 1);
    layout->addWidget(hint_);
    resize(760, 320);

    connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        const QTableWidgetItem* item = table_->item(row, ColAddress);
        if (item && Select)
            Select(item->text().toInt());
    });
    timer_ = new QTimer(this);
    timer_->setInterval(AgeRefreshMs);
    connect(timer_, &QTimer::timeout, this, [this] {
        if (isVisible())
            refresh();
    });
    timer_->start();
}

void LineOverviewWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
}

QString LineOverviewWindow::ageText(const service::LineEntry& entry,
                                    service::LineOverview::Clock::time_point now)
{
    if (!entry.lastAnswer)
        return QStringLiteral("—");
    const double s = std::chrono::duration<double>(now - *entry.lastAnswer).count();
    if (s < 10)
        return QString::number(std::max(s, 0.0), 'f', 1) + QStringLiteral(" с");
    if (s < 120)
        return QString::number(static_cast<int>(s)) + QStringLiteral(" с");
    return QString::number(static_cast<int>(s / 60)) + QStringLiteral(" мин");
}

void LineOverviewWindow::refresh()
{
    const auto now = service::LineOverview::Clock::now();
    const std::vector<service::LineEntry>& entries = overview_.entries();
    origin_->setVisible(!entries.empty() && FromKeptScan && FromKeptScan());
    const QString hint =
        entries.empty()
            ? QStringLiteral("Приводы не известны: выполните сканирование на странице «Сеть».")
            : QStringLiteral("Двойной щелчок по строке выбирает привод. Красные строки не "
                             "ответили на последний запрос.");
    if (hint_->text() != hint)
        hint_->setText(hint);
    table_->setRowCount(static_cast<int>(entries.size()));
    for (int row = 0; row < static_cast<int>(entries.size()); ++row) {
        const service::LineEntry& e = entries[static_cast<std::size_t>(row)];
        const QColor background = e.silent ? SilentRow : QColor();
        const bool selected = e.address == overview_.selected();
        QString state;
        if (e.driveState) {
            const char* text = drivestate::text(*e.driveState);
            state = text ? QString::fromUtf8(text) : QString::number(*e.driveState);
        }
        const std::optional<int> pct = e.percent();
        const QString cells[ColCount] = {
            QString::number(e.address),
            NameOf ? NameOf(e.address) : QString(),
            QString::fromStdString(e.type),
            state,
            pct ? QString::number(*pct) : QString(),
            e.driveFlags ? limitSwitches(*e.driveFlags) : QString(),
            e.silent ? (e.lastAnswer ? QStringLiteral("нет (") + ageText(e, now) + QLatin1Char(')')
                                     : QStringLiteral("нет"))
                     : ageText(e, now),
        };
        for (int col = 0; col < ColCount; ++col)
            setCell(table_, row, col, cells[col], background, selected);
    }
}
