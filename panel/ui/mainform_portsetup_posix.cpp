// Port setup on a system of port links: the port menu names what each COMn
// leads to, and "Настройка портов…" points COM1 ... COM8 at the machine's
// serial devices and sets the baud rate; the port in use is reopened at once.
#include <QAction>
#include <QCoreApplication>
#include <QFile>

#include "comlinks.h"
#include "mainform.h"
#include "portsetupdialog.h"

QString TMainForm::PortsFolder()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/ports");
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
    portSetupDone(accepted, oldBaudRate, dialog.ChangedPorts().count(PortNumber) != 0);
}
