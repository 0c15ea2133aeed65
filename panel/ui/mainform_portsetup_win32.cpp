// Port setup from the window on Windows: COMn is the system's own port, so
// the port menu names what Windows calls each one, and "Настройка портов…"
// lists the system's ports and sets the baud rate; the port in use is
// reopened at once when the rate changed.
#include <QAction>
#include <QMenu>
#include <map>

#include "mainform.h"
#include "ui_mainform.h"
#include "windowsportdialog.h"
#include "windowsports.h"

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
    std::map<int, std::string> known;
    for (const WindowsPort& p : ListWindowsPorts(SystemWindowsPorts()))
        known[p.number] = p.label;
    for (int n = 1; n <= static_cast<int>(PortItems.size()); ++n) {
        const auto k = known.find(n);
        PortItems[n - 1]->setText(k != known.end() ? QString::fromStdString(k->second)
                                                   : QStringLiteral("COM") + QString::number(n) +
                                                         QStringLiteral(" — нет в системе"));
    }
}

void TMainForm::mnPortSetupClick()
{
    TWindowsPortDialog dialog(SystemWindowsPorts(), BaudRate, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const int oldBaudRate = BaudRate;
    BaudRate = dialog.BaudRate();
    if (PortNumber != 0 && BaudRate != oldBaudRate) {
        const int n = PortNumber;
        SelectPort(0);
        SelectPort(n);
        DeviceFound = false;  // the next poll identifies what is there now
    }
    ShowPortTargets();
    ReportDone(QStringLiteral("Настройка портов сохранена, ") + QString::number(BaudRate) +
               QStringLiteral(" бод"));
}
