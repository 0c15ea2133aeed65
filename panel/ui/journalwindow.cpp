#include "journalwindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

#include "journaltablemodel.h"
#include "logtable.h"

JournalWindow::JournalWindow(std::string path, std::string oldPath, QWidget* parent)
    : QWidget(parent, Qt::Window), path_(std::move(path)), oldPath_(std::move(oldPath))
{
    setObjectName(QStringLiteral("JournalWindow"));
    setWindowTitle(QStringLiteral("Журнал операций"));
    resize(1000, 480);

    address_ = newAddressFilter(this);
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
    table_ =
        newLogTable(model_, QStringLiteral("JournalTable"), {215, 50, 50, 120, 95, 300, 120}, this);
    table_->horizontalHeader()->setStretchLastSection(true);

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
    std::vector<service::journal::Row> rows = service::journal::readFile(oldPath_);
    std::vector<service::journal::Row> current = service::journal::readFile(path_);
    rows.insert(rows.end(), std::make_move_iterator(current.begin()),
                std::make_move_iterator(current.end()));
    model_->setRows(std::move(rows));
    table_->scrollToBottom();
}

void JournalWindow::appendRow(const service::journal::Row& row)
{
    const bool following = showsLastRow(table_);
    model_->appendRow(row);
    if (following)
        table_->scrollToBottom();
}
