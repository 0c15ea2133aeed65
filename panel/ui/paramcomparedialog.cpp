#include "paramcomparedialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

const QColor ParamCompareDialog::DifferenceColour(255, 220, 150);

namespace {

// The page's captions of each parameter, in the page's order.
const struct {
    const char* key;
    const char* name;
    const char* unit;
} Rows[] = {
    {"Vmin", "Минимальная скорость", "шаг/сек"},
    {"A", "Ускорение", "шаг/сек²"},
    {"Ia", "Ток ускорения", "мА"},
    {"V1", "Скорость 1", "шаг/сек"},
    {"I1", "Ток скорости 1", "мА"},
    {"V2", "Скорость 2", "шаг/сек"},
    {"I2", "Ток скорости 2", "мА"},
    {"V3", "Скорость 3", "шаг/сек"},
    {"I3", "Ток скорости 3", "мА"},
    {"V4", "Скорость 4", "шаг/сек"},
    {"I4", "Ток скорости 4", "мА"},
    {"Vp", "Люфт: скорость", "шаг/сек"},
    {"Ip", "Люфт: ток", "мА"},
    {"Np", "Люфт: ход", "шагов"},
    {"Vl", "Запирание: скорость", "шаг/сек"},
    {"Il", "Запирание: ток", "мА"},
    {"No", "Зона запирания верхн.", "шагов"},
    {"Nc", "Зона запирания нижн.", "шагов"},
    {"Nt", "Ход между LIMO и LIMC", "шаг. опт."},
};

QTableWidgetItem* cell(const QString& text, bool number)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled);
    if (number)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

}  // namespace

ParamCompareDialog::ParamCompareDialog(const QString& actuator, const QString& pageCaption,
                                       const service::ParamSet& drive,
                                       const service::ParamSet& page, bool travel, bool asking,
                                       QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ParamCompareDialog"));
    setWindowTitle(QStringLiteral("Сравнение параметров"));
    table_ = new QTableWidget(static_cast<int>(std::size(Rows)), ColCount, this);
    table_->setObjectName(QStringLiteral("CompareTable"));
    table_->setHorizontalHeaderLabels({QStringLiteral("Параметр"), QStringLiteral("Ключ"), actuator,
                                       pageCaption, QStringLiteral("Ед.")});
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(20);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setFocusPolicy(Qt::NoFocus);
    const std::vector<service::Difference> all = service::diffParams(drive, page, true);
    const std::vector<service::Difference> sent = service::diffParams(drive, page, travel);
    const auto has = [](const std::vector<service::Difference>& list, const char* key) {
        return std::any_of(list.begin(), list.end(),
                           [key](const service::Difference& d) { return d.key == key; });
    };
    for (int row = 0; row < table_->rowCount(); ++row) {
        const auto& r = Rows[row];
        const std::size_t i = *service::paramIndex(r.key);
        const bool differs = has(all, r.key);
        const bool written = has(sent, r.key);
        QTableWidgetItem* items[ColCount] = {
            cell(QString::fromUtf8(r.name), false), cell(QString::fromUtf8(r.key), false),
            cell(QString::number(drive[i]), true), cell(QString::number(page[i]), true),
            cell(QString::fromUtf8(r.unit), false)};
        if (differs && !written) {  // the travel, while cbTravel is clear
            items[ColName]->setText(items[ColName]->text() + QStringLiteral(" (не записывается)"));
            for (QTableWidgetItem* item : items)
                item->setForeground(QColor(110, 110, 110));
            ++notWritten_;
        } else if (differs) {
            differences_ << QString::fromUtf8(r.key);
            for (QTableWidgetItem* item : items) {
                item->setBackground(DifferenceColour);
                QFont f = item->font();
                f.setBold(true);
                item->setFont(f);
            }
        }
        for (int col = 0; col < ColCount; ++col)
            table_->setItem(row, col, items[col]);
    }
    table_->resizeColumnsToContents();
    table_->horizontalHeader()->setStretchLastSection(true);

    summary_ = new QLabel(summary(), this);
    summary_->setObjectName(QStringLiteral("lbSummary"));
    summary_->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(this);
    if (asking) {
        buttons->addButton(QStringLiteral("Записать"), QDialogButtonBox::AcceptRole)
            ->setObjectName(QStringLiteral("btWriteAnyway"));
        buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole)
            ->setObjectName(QStringLiteral("btCancel"));
    } else {
        buttons->addButton(QStringLiteral("Закрыть"), QDialogButtonBox::RejectRole)
            ->setObjectName(QStringLiteral("btCancel"));
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_, 1);
    layout->addWidget(summary_);
    if (asking) {
        auto* question = new QLabel(QStringLiteral("Записать значения страницы в привод?"), this);
        question->setObjectName(QStringLiteral("lbQuestion"));
        layout->addWidget(question);
    }
    layout->addWidget(buttons);
    int width = table_->verticalHeader()->width() + 4;
    for (int col = 0; col < ColCount; ++col)
        width += table_->columnWidth(col);
    // Every row in sight without scrolling.
    const int rows = table_->rowCount() * table_->verticalHeader()->defaultSectionSize();
    table_->setMinimumHeight(rows + table_->horizontalHeader()->sizeHint().height() +
                             2 * table_->frameWidth());
    resize(std::max(width + 40, 480), sizeHint().height());
}

QString ParamCompareDialog::summary() const
{
    QString text = differences_.isEmpty()
                       ? QStringLiteral("Различий нет.")
                       : QStringLiteral("Различаются: ") + differences_.join(QStringLiteral(", ")) +
                             QLatin1Char('.');
    if (notWritten_ > 0)
        text += QStringLiteral(" Ход между LIMO и LIMC различается, но не записывается "
                               "(флажок перед ним снят).");
    return text;
}
