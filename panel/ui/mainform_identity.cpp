// The window's identity and placement: the version in the About box, a
// saved position brought back onto a screen, and the hint on the pages that
// operator mode locks.
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTabWidget>

#include "mainform.h"
#include "ui_mainform.h"
#include "windowplacement.h"

QString TMainForm::ProgramVersionText()
{
    return QStringLiteral("Версия ") + QStringLiteral(TIRSPANEL_VERSION);
}

QPoint TMainForm::RestoredPosition(QPoint saved) const
{
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens << screen->availableGeometry();
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return saved;
    return PlaceOnScreens(saved, frameGeometry().size(), screens, primary->availableGeometry());
}

void TMainForm::ExplainServicePages()
{
    const QString hint = QStringLiteral("Доступно в сервисном режиме: строка Master=1 в разделе "
                                        "[General] файла настроек ") +
                         QFileInfo(SettingsPath()).fileName();
    for (QWidget* page : {ui->tsParams, ui->tsSettings}) {
        page->setToolTip(hint);
        ui->PageControl->setTabToolTip(ui->PageControl->indexOf(page), hint);
    }
}
