#include "journalwindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

#include "journaltablemodel.h"

JournalWindow::JournalWindow(std::string path, std::string oldPath, QWidget* parent)
    : QWidget(parent, Qt::Window), path_(std::move(path)), oldPath_(std::move(oldPath))
{
    setObjectName(QStringLiteral("JournalWindow"));
    setWindowTitle(QStringLiteral("Журнал операций"));
    resize(1000, 480);

    address_ = new QSpinBox(this);
    address_->setObjectName(QStringLiteral("seAddress"));
    address_->setRange(-1, 127);
    address_->setValue(-1);
    address_->setSpecialValueText(QStringLiteral("все"));
    file_ = new QLabel(QString::fromStdString(path_), this);
    file_->setObjectName(QStringLiteral("lbFile"));
    file_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* reloadButton = new QPushButton(QStringLiteral("Обновить"), this);
    reloadButton->setObjectName(QStringLiteral("btReload"));

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Адрес:"), this));
    top->addWidget(address_);
    top->addSpacing(16);
    top->addWidget(file_, 1);
    top->addWidget(reloadButton);

    model_ = new JournalTableModel(this);
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("JournalTable"));
    table_->setModel(model_);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(20);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setWordWrap(false);
    table_->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {215, 50, 50, 120, 95, 300, 120};
    for (int c = 0; c < JournalTableModel::ColumnCount; ++c)
        table_->setColumnWidth(c, widths[c]);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(table_, 1);

    connect(address_, &QSpinBox::valueChanged, this, [this](int a) {
        model_->setAddressFilter(a);
        table_->scrollToBottom();
    });
    connect(reloadButton, &QPushButton::clicked, this, &JournalWindow::reload);
}

void JournalWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    reload();
}

void JournalWindow::reload()
{
    std::vector<journal::Row> rows = journal::readFile(oldPath_);
    std::vector<journal::Row> current = journal::readFile(path_);
    rows.insert(rows.end(), std::make_move_iterator(current.begin()),
                std::make_move_iterator(current.end()));
    model_->setRows(std::move(rows));
    table_->scrollToBottom();
}

void JournalWindow::appendRow(const journal::Row& row)
{
    QScrollBar* bar = table_->verticalScrollBar();
    const bool following = bar->value() >= bar->maximum();
    model_->appendRow(row);
    if (following)
        table_->scrollToBottom();
}
