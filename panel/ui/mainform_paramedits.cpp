// Unwritten values of the parameter page: a field the operator changed since
// the last read, write or file load is bold, the page says that values are
// pending, and meanwhile the automatic reads leave the fields alone (the
// button "Прочитать" still reads: the operator's explicit choice).
#include <QLabel>

#include "floatedit.h"
#include "mainform.h"
#include "paramfields.h"
#include "ui_paramspage.h"

void TMainForm::setupParamEdits()
{
    const auto fields = ParamFields(*uiParams);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        fields[i]->OnChanged = [this, i](TFloatEdit* field) {
            if (paramSource_ == ParamSource::Operator)
                EditedParams.edited(i, field->Value());
            else if (paramSource_ == ParamSource::Drive)
                EditedParams.settled(i, field->Value());
            else
                return;  // a file: the load takes all fields at once
            showParamEdits();
        };
        EditedParams.settled(i, fields[i]->Value());
    }
    QPalette warning = uiParams->lbPending->palette();
    warning.setColor(QPalette::WindowText, QColor(0xA0, 0x00, 0x00));
    uiParams->lbPending->setPalette(warning);
    showParamEdits();
}

void TMainForm::settleParamFields()
{
    const auto fields = ParamFields(*uiParams);
    for (std::size_t i = 0; i < fields.size(); ++i)
        EditedParams.settled(i, fields[i]->Value());
    showParamEdits();
}

void TMainForm::loadedParamFields()
{
    paramfile::ParamValues values{};
    const auto fields = ParamFields(*uiParams);
    for (std::size_t i = 0; i < fields.size(); ++i)
        values[i] = fields[i]->Value();
    EditedParams.loaded(values);
    showParamEdits();
}

void TMainForm::showParamEdits()
{
    const auto fields = ParamFields(*uiParams);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        QFont font = fields[i]->font();
        if (font.bold() != EditedParams.changed(i)) {
            font.setBold(EditedParams.changed(i));
            fields[i]->setFont(font);
        }
    }
    QString note;
    if (EditedParams.anyChanged())
        note = QStringLiteral("Изменённые значения (жирным) ещё не записаны в привод");
    else if (EditedParams.fromFile())
        note = QStringLiteral("Значения из файла ещё не записаны в привод");
    uiParams->lbPending->setText(note);
}

void TMainForm::autoReadParams()
{
    if (!EditedParams.pending())
        bbReadClick();
}
