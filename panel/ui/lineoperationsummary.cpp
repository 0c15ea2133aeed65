#include "lineoperationsummary.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QColor FailedRow(255, 205, 205);

QTableWidget* newTable(QWidget* parent, const QString& name, const QStringList& headings)
{
    auto* table = new QTableWidget(0, static_cast<int>(headings.size()), parent);
    table->setObjectName(name);
    table->setHorizontalHeaderLabels(headings);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(20);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

void addRow(QTableWidget* table, const QStringList& cells, bool failed)
{
    const int row = table->rowCount();
    table->insertRow(row);
    for (int col = 0; col < cells.size(); ++col) {
        auto* item = new QTableWidgetItem(cells[col]);
        if (failed)
            item->setBackground(FailedRow);
        table->setItem(row, col, item);
    }
}

// "V1 200→250, No 1000→900"
QString differencesText(const std::vector<service::Difference>& differences)
{
    QStringList parts;
    for (const service::Difference& d : differences)
        parts << QString::fromStdString(d.key) + QLatin1Char(' ') + QString::number(d.device) +
                     QStringLiteral("→") + QString::number(d.wanted);
    return parts.join(QStringLiteral(", "));
}

template <class T>
std::vector<T> joined(std::vector<T> a, const std::vector<T>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

QString LineOperationSummary::resultText(const service::RestoreItem& item)
{
    using R = service::RestoreItem;
    switch (item.result) {
    case R::Restored: return QStringLiteral("записано и проверено");
    case R::Unchanged: return QStringLiteral("без изменений");
    case R::DryRun: return QStringLiteral("только сравнение");
    case R::TypeMismatch:
        return QStringLiteral("пропущено: по адресу отвечает «") +
               QString::fromStdString(item.deviceType) + QStringLiteral("», в файле «") +
               QString::fromStdString(item.device.type) + QStringLiteral("»");
    case R::VerifyFailed:
        return QStringLiteral("ошибка проверки: после записи различаются ") +
               differencesText(joined(item.params.mismatches, item.relays.mismatches));
    case R::Failed: return QStringLiteral("ошибка: ") + QString::fromStdString(item.error);
    case R::BadFile:
        return QStringLiteral("файл не годится: ") + QString::fromStdString(item.error);
    }
    return {};
}

namespace {

// " Прервано. Не сохранены: 2, 3." — the words tirsctl prints after a Ctrl+C.
QString interruptedText(const QString& what, const QStringList& notDone)
{
    QString text = QStringLiteral(" Прервано.");
    if (!notDone.isEmpty())
        text += QLatin1Char(' ') + what + QStringLiteral(": ") +
                notDone.join(QStringLiteral(", ")) + QLatin1Char('.');
    return text;
}

}  // namespace

LineOperationSummary::LineOperationSummary(const QString& folder,
                                           const std::vector<service::BackupItem>& items,
                                           bool cancelled, const QStringList& notDone,
                                           QWidget* parent)
    : QDialog(parent)
{
    build(QStringLiteral("Резервная копия линии"),
          {QStringLiteral("Адрес"), QStringLiteral("Тип"), QStringLiteral("Итог")}, QString());
    int saved = 0;
    for (const service::BackupItem& item : items) {
        saved += item.ok() ? 1 : 0;
        addRow(items_,
               {QString::number(item.address), QString::fromStdString(item.type),
                item.ok() ? QStringLiteral("сохранено: ") +
                                QFileInfo(QString::fromStdString(item.file)).fileName()
                          : QStringLiteral("ошибка: ") + QString::fromStdString(item.error)},
               !item.ok());
    }
    QString totals = QStringLiteral("Сохранено приводов: ") + QString::number(saved) +
                     QStringLiteral(", с ошибками: ") +
                     QString::number(static_cast<int>(items.size()) - saved) +
                     QStringLiteral(". Папка: ") + folder;
    if (cancelled)
        totals += interruptedText(QStringLiteral("Не сохранены"), notDone);
    totals_->setText(totals);
    items_->resizeColumnsToContents();
}

LineOperationSummary::LineOperationSummary(const QString& folder,
                                           const std::vector<service::RestoreItem>& items,
                                           const std::vector<service::journal::Row>& journal,
                                           bool cancelled, const QStringList& notDone,
                                           QWidget* parent)
    : QDialog(parent)
{
    build(QStringLiteral("Восстановление линии"),
          {QStringLiteral("Файл"), QStringLiteral("Адрес"), QStringLiteral("Записано"),
           QStringLiteral("Итог")},
          QString());
    int good = 0, written = 0;
    for (const service::RestoreItem& item : items) {
        good += item.ok() ? 1 : 0;
        const bool wrote = item.params.written || item.relays.written;
        written += wrote ? 1 : 0;
        addRow(items_,
               {QFileInfo(QString::fromStdString(item.file)).fileName(),
                item.device.address ? QString::number(item.device.address) : QString(),
                wrote ? differencesText(joined(item.params.before, item.relays.before)) : QString(),
                resultText(item) + (item.params.travelSkipped
                                        ? QStringLiteral(" (ход Nt различается, не записан)")
                                        : QString())},
               !item.ok());
    }
    QString totals = QStringLiteral("Файлов: ") + QString::number(items.size()) +
                     QStringLiteral(", записано и проверено: ") + QString::number(written) +
                     QStringLiteral(", с ошибками: ") +
                     QString::number(static_cast<int>(items.size()) - good) +
                     QStringLiteral(". Папка: ") + folder;
    if (cancelled)
        totals += interruptedText(QStringLiteral("Не записаны"), notDone);
    totals_->setText(totals);
    items_->resizeColumnsToContents();

    auto* heading = new QLabel(QStringLiteral("Записи журнала операций:"), this);
    journal_ =
        newTable(this, QStringLiteral("JournalRows"),
                 {QStringLiteral("Время"), QStringLiteral("Адрес"), QStringLiteral("Действие"),
                  QStringLiteral("Значения"), QStringLiteral("Итог")});
    for (const service::journal::Row& row : journal)
        addRow(journal_,
               {QString::fromStdString(row.time), QString::number(row.address),
                QString::fromStdString(row.action), QString::fromStdString(row.values),
                QString::fromStdString(row.result)},
               row.result != service::journal::Ok);
    journal_->resizeColumnsToContents();
    auto* layout = static_cast<QVBoxLayout*>(this->layout());
    layout->insertWidget(layout->count() - 1, heading);
    layout->insertWidget(layout->count() - 1, journal_, 1);
    resize(900, 560);
}

void LineOperationSummary::build(const QString& title, const QStringList& headings,
                                 const QString& totals)
{
    setObjectName(QStringLiteral("LineOperationSummary"));
    setWindowTitle(title);
    totals_ = new QLabel(totals, this);
    totals_->setObjectName(QStringLiteral("lbTotals"));
    totals_->setWordWrap(true);
    items_ = newTable(this, QStringLiteral("ItemRows"), headings);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Закрыть"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(totals_);
    layout->addWidget(items_, 1);
    layout->addWidget(buttons);
    resize(720, 360);
}

QString LineOperationSummary::totals() const
{
    return totals_->text();
}
