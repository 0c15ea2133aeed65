// Port setup from the window: the port menu names what each COMn leads to,
// and "Настройка портов…" points COM1 ... COM8 at the machine's serial
// devices and sets the baud rate; the port in use is reopened at once.
#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QMenu>

#include "mainform.h"
#include "comlinks.h"
#include "portsetupdialog.h"
#include "ui_mainform.h"

QString TMainForm::PortsFolder()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/ports");
}

void TMainForm::setupPortSetup()
{
    auto* item = new QAction(QStringLiteral("Настройка портов…"), this);
    item->setObjectName(QStringLiteral("mnPortSetup"));
    connect(item, &QAction::triggered, this, Guarded(&TMainForm::mnPortSetupClick));
    ui->mnPort->insertAction(ui->N2, item);
    ShowPortTargets();
}

void TMainForm::ShowPortTargets()
{
    const std::string folder = QFile::encodeName(PortsFolder()).toStdString();
    for (int n = 1; n <= static_cast<int>(PortItems.size()); ++n) {
        const std::string target = DescribePortLink(ReadPortLink(folder, n), DeviceRoots);
        PortItems[n - 1]->setText(QStringLiteral("COM") + QString::number(n) +
                                  QStringLiteral(" — ") + QFile::decodeName(target.c_str()));
    }
}

void TMainForm::mnPortSetupClick()
{
    TPortSetupDialog dialog(PortsFolder(), DeviceRoots, BaudRate, this);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    const int oldBaudRate = BaudRate;
    if (accepted)
        BaudRate = dialog.BaudRate();
    // Links may have been written also when a later one failed and the
    // operator then cancelled.
    const bool moved = dialog.ChangedPorts().count(PortNumber) != 0;
    if (PortNumber != 0 && (moved || BaudRate != oldBaudRate)) {
        const int n = PortNumber;
        SelectPort(0);
        SelectPort(n);
        DeviceFound = false;  // the next poll identifies what is there now
    }
    ShowPortTargets();
    if (accepted)
        ReportDone(QStringLiteral("Настройка портов сохранена, ") + QString::number(BaudRate) +
                   QStringLiteral(" бод"));
}
