// Port setup on Windows: COMn is the system's own port, so the port menu
// names what Windows calls each one, and "Настройка портов…" lists the
// system's ports and sets the baud rate; the port in use is reopened at once
// when the rate changed.
#include <QAction>
#include <map>

#include "mainform.h"
#include "windowsportdialog.h"
#include "windowsports.h"

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
    const bool accepted = dialog.exec() == QDialog::Accepted;
    const int oldBaudRate = BaudRate;
    if (accepted)
        BaudRate = dialog.BaudRate();
    portSetupDone(accepted, oldBaudRate, false);
}
