// The menu "Сервис" and the trends and line overview behind it.
#include <QMenu>
#include <QMenuBar>

#include "lineviews.h"
#include "mainform.h"
#include "ui_mainform.h"

QMenu* TMainForm::ServiceMenu()
{
    if (auto* menu = ui->MainMenu->findChild<QMenu*>(QStringLiteral("mnService")))
        return menu;
    auto* menu = new QMenu(QStringLiteral("&Сервис"), ui->MainMenu);
    menu->setObjectName(QStringLiteral("mnService"));
    ui->MainMenu->insertMenu(ui->mnHelp->menuAction(), menu);
    return menu;
}

void TMainForm::setupLineViews()
{
    Views = new LineViews(*this);
    Views->addMenuItems(ServiceMenu());
}
