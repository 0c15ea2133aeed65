#include "windowsportdialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <set>

#include "portsetupdialog.h"

TWindowsPortDialog::TWindowsPortDialog(const WindowsPortSource& source, int baudRate,
                                       QWidget* parent)
    : QDialog(parent), source_(source)
{
    setObjectName(QStringLiteral("PortSetupDialog"));
    setWindowTitle(QStringLiteral("Настройка портов"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Последовательные порты Windows:"), this));
    ports_ = new QListWidget(this);
    ports_->setObjectName(QStringLiteral("lwPorts"));
    ports_->setSelectionMode(QAbstractItemView::NoSelection);
    layout->addWidget(ports_);

    auto* form = new QFormLayout;
    baud_ = new QComboBox(this);
    baud_->setObjectName(QStringLiteral("cbBaudRate"));
    std::set<int> rates(TPortSetupDialog::StandardBaudRates.begin(),
                        TPortSetupDialog::StandardBaudRates.end());
    rates.insert(baudRate);  // a rate set by hand in the settings file is kept
    for (int rate : rates)
        baud_->addItem(QString::number(rate), rate);
    baud_->setCurrentIndex(baud_->findData(baudRate));
    form->addRow(QStringLiteral("Скорость обмена, бод:"), baud_);
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* rescan =
        buttons->addButton(QStringLiteral("Обновить список"), QDialogButtonBox::ResetRole);
    rescan->setObjectName(QStringLiteral("btRescan"));
    connect(rescan, &QPushButton::clicked, this, [this] { fillPorts(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    fillPorts();
}

int TWindowsPortDialog::BaudRate() const
{
    return baud_->currentData().toInt();
}

void TWindowsPortDialog::fillPorts()
{
    ports_->clear();
    const std::vector<WindowsPort> ports = ListWindowsPorts(source_);
    for (const WindowsPort& p : ports)
        ports_->addItem(QString::fromStdString(p.label));
    if (ports.empty())
        ports_->addItem(QStringLiteral("Windows не знает ни одного последовательного порта"));
}
