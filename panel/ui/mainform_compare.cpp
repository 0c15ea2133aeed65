// Compare before write on the page "Параметры": the button "Сравнить" and
// the question that a write of changed fields asks first.
#include <QCheckBox>
#include <QPushButton>

#include "mainform.h"
#include "paramcomparedialog.h"
#include "ui_mainform.h"
#include "ui_paramspage.h"

void TMainForm::setupParamCompare()
{
    // Beside the minimum speed, where the page has room; the Parts' buttons
    // keep their places.
    auto* button = new QPushButton(QStringLiteral("Сравнить"), ui->tsParams);
    button->setObjectName(QStringLiteral("btCompare"));
    button->setGeometry(380, 55, 78, 23);
    button->setToolTip(QStringLiteral("Сравнить значения страницы с параметрами привода"));
    connect(button, &QPushButton::clicked, this, Guarded(&TMainForm::btCompareClick));
}

bool TMainForm::showParamComparison(bool asking)
{
    const ParamNumbers page = PageParams(*uiParams);
    const ParamNumbers drive = ReadDriveParams(*WakePort);
    const std::optional<QString> file = paramOrigin_.file(page);
    const QString pageCaption =
        file ? QStringLiteral("Файл ") + *file : QStringLiteral("Страница");
    ParamCompareDialog dialog(QStringLiteral("Привод ") + QString::number(Address), pageCaption,
                              drive, page, uiParams->cbTravel->isChecked(), asking, this);
    if (asking && dialog.differences().isEmpty())
        return true;  // the write changes nothing the operator could weigh
    if (ShowComparison)
        return ShowComparison(&dialog);
    return dialog.exec() == QDialog::Accepted;
}

void TMainForm::btCompareClick()
{
    showParamComparison(false);
}

bool TMainForm::ConfirmParamWrite()
{
    if (!paramOrigin_.pending(Address, PageParams(*uiParams)))
        return true;
    return showParamComparison(true);
}
