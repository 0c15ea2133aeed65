// Port setup from the window, the same on every system: "Настройка портов…"
// in the port menu, and what follows the dialog. The dialog and what each
// port item says are the system's own (mainform_portsetup_posix.cpp,
// mainform_portsetup_win32.cpp).
#include <QAction>
#include <QMenu>

#include "mainform.h"
#include "ui_mainform.h"

void TMainForm::setupPortSetup()
{
    auto* item = new QAction(QStringLiteral("Настройка портов…"), this);
    item->setObjectName(QStringLiteral("mnPortSetup"));
    connect(item, &QAction::triggered, this, Guarded(&TMainForm::mnPortSetupClick));
    ui->mnPort->insertAction(ui->N2, item);
    ShowPortTargets();
}

void TMainForm::portSetupDone(bool saved, int oldBaudRate, bool portMoved)
{
    if (PortNumber != 0 && (portMoved || BaudRate != oldBaudRate)) {
        const int n = PortNumber;
        SelectPort(0);
        SelectPort(n);
        DeviceFound = false;  // the next poll identifies what is there now
    }
    ShowPortTargets();
    if (saved)
        ReportDone(QStringLiteral("Настройка портов сохранена, ") + QString::number(BaudRate) +
                   QStringLiteral(" бод"));
}
