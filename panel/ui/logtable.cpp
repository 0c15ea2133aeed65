#include "logtable.h"
#include "codes.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>

QTableView* newLogTable(QAbstractItemModel* model, const QString& name,
                        const std::vector<int>& widths, QWidget* parent)
{
    auto* table = new QTableView(parent);
    table->setObjectName(name);
    table->setModel(model);
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(20);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setWordWrap(false);
    for (std::size_t c = 0; c < widths.size(); ++c)
        table->setColumnWidth(int(c), widths[c]);
    return table;
}

bool showsLastRow(QTableView* table)
{
    const QScrollBar* bar = table->verticalScrollBar();
    return bar->value() >= bar->maximum();
}

QSpinBox* newAddressFilter(QWidget* parent)
{
    auto* address = new QSpinBox(parent);
    address->setObjectName(QStringLiteral("seAddress"));
    address->setRange(-1, wake::MaxAddress);
    address->setValue(-1);
    address->setSpecialValueText(QStringLiteral("все"));
    return address;
}
