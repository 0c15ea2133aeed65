// The menu "Сервис" of the main window: the exchange monitor and the
// operation journal, set up beside the window's own controls.
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>

#include "mainform.h"
#include "servicetools.h"
#include "ui_controlpage.h"
#include "ui_mainform.h"

void TMainForm::setupServiceTools()
{
    Service = new ServiceTools(this, QCoreApplication::applicationDirPath());
    Service->addMenu(ui->MainMenu, ui->mnHelp->menuAction());
    Service->setStatusBar(ui->StatusBar);
    // Under the bar, between the two zone captions.
    auto* stroke = new QLabel(uiControl->gbPos);
    stroke->setObjectName(QStringLiteral("lbStroke"));
    stroke->setAlignment(Qt::AlignCenter);
    stroke->setGeometry(150, 46, 142, 18);
    Service->setStrokeLabel(stroke);
    Service->attach(*WakePort);
}

void TMainForm::journalFileOperation(const char* action, const QString& path, const QString& error)
{
    Service->fileOperation(action, WakePort ? WakePort->PortName : std::string("None"), Address,
                           path, error);
}
