// Compare before write on the page "Параметры": the button "Сравнить" and
// the question that a write of pending values asks first.
#include <QCheckBox>
#include <QPushButton>

#include "mainform.h"
#include "paramcomparedialog.h"
#include "paramfields.h"
#include "paramset.h"
#include "ui_mainform.h"
#include "ui_paramspage.h"

void TMainForm::setupParamCompare()
{
    connect(uiParams->btCompare, &QPushButton::clicked, this, Guarded(&TMainForm::btCompareClick));
}

bool TMainForm::showParamComparison(bool asking)
{
    const service::ParamSet page = SentParams(*uiParams);
    const service::ParamSet drive = service::readParams(*WakePort, Address);
    // The page still shows a file as it was loaded.
    const QString pageCaption = EditedParams.fromFile() && !EditedParams.anyChanged()
                                    ? QStringLiteral("Файл ") + paramFileName_
                                    : QStringLiteral("Страница");
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
    const service::LineOwner::Hold hold(Owner, service::LineUse::Compare);
    if (!hold)
        return;  // a scan or a backup holds the line
    showParamComparison(false);
}

bool TMainForm::ConfirmParamWrite()
{
    // A file's values, fields changed since the last read, or fields read
    // from another actuator. Before any read there is nothing to compare
    // with: the write goes as the page has always sent it.
    const bool pending =
        EditedParams.fromFile() ||
        (paramsReadFrom_ && (EditedParams.anyChanged() || *paramsReadFrom_ != Address));
    return !pending || showParamComparison(true);
}
