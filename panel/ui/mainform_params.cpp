// The drive parameters page: read, write, address assignment, counter reset.
#include <QCheckBox>
#include <QPushButton>
#include <QScopedValueRollback>

#include "errorbox.h"
#include "floatedit.h"
#include "glyphs.h"
#include "mainform.h"
#include "paramfields.h"
#include "paramfile.h"
#include "paramhighlight.h"
#include "paramview.h"
#include "addressing.h"
#include "motion.h"
#include "positionmath.h"
#include "ui_paramspage.h"

void TMainForm::setupParamsPage()
{
    Ui::ParamsPage& p = *uiParams;
    connect(p.bbRead, &QPushButton::clicked, this, Guarded(&TMainForm::bbReadClick));
    connect(p.bbWrite, &QPushButton::clicked, this, Guarded(&TMainForm::bbWriteClick));
    connect(p.btSetAddr, &QPushButton::clicked, this, Guarded(&TMainForm::btSetAddrClick));
    connect(p.btResN, &QPushButton::clicked, this, Guarded(&TMainForm::btResNClick));
    connect(p.bbFileOpen, &QPushButton::clicked, this, Guarded(&TMainForm::bbFileOpenClick));
    connect(p.bbFileSave, &QPushButton::clicked, this, Guarded(&TMainForm::bbFileSaveClick));
    // Also when the settings check it, so that feNt always follows the box.
    connect(p.cbTravel, &QCheckBox::toggled, this, Guarded(&TMainForm::cbTravelClick));

    p.bbRead->setIcon(GlyphRead());
    p.bbWrite->setIcon(GlyphWrite());
    p.bbFileOpen->setIcon(GlyphFileOpen());
    p.bbFileSave->setIcon(GlyphFileSave());
    setupParamEdits();
}

void TMainForm::bbReadClick()
{
    const service::LineOwner::Hold hold(Owner, service::LineUse::Read);
    if (!hold)
        return;  // a scan or a backup holds the line
    const QScopedValueRollback fromDrive(paramSource_, ParamSource::Drive);
    Ui::ParamsPage& p = *uiParams;
    const service::ParamPageReading read = service::readParamPage(*WakePort, Address);
    p.edType2->setText(QString::fromStdString(read.type));
    const auto fields = ParamFields(p);
    for (std::size_t k = 0; k < fields.size(); ++k)
        fields[k]->SetValue(static_cast<double>(read.values[k]));
    // No millimetres without optical blades: the field then shows 0.
    const int nt = static_cast<int>(read.values[service::TravelIndex]);
    p.feLt->SetValue(posmath::travelMillimetres(nt, MMPerStep, MotSteps, OptoBlades).value_or(0));

    const auto field = [&p](std::string_view key) { return ParamField(p, key); };
    TFloatEdit* const speedFields[4][2] = {{field("V1"), field("I1")},
                                           {field("V2"), field("I2")},
                                           {field("V3"), field("I3")},
                                           {field("V4"), field("I4")}};
    const ParamHighlight h = HighlightFromWorkStatus(read.workStatus);
    for (int k = 0; k < 4; ++k) {
        PaintFieldBase(speedFields[k][0], h.speedInactive[k]);
        PaintFieldBase(speedFields[k][1], h.speedInactive[k]);
    }
    PaintFieldBase(field("No"), h.upperZoneInactive);
    PaintFieldBase(field("Nc"), h.lowerZoneInactive);
    settleParamFields();
    paramsReadFrom_ = Address;
}

void TMainForm::bbWriteClick()
{
    const service::LineOwner::Hold hold(Owner, service::LineUse::Write);
    if (!hold)
        return;  // a scan or a backup holds the line
    if (!confirmAddressZero() || !ConfirmParamWrite())
        return;
    Ui::ParamsPage& p = *uiParams;
    service::writeParams(*WakePort, Address, SentParams(p), p.cbTravel->isChecked());
    // Also a travel the write did not send: the drive keeps its own, and no
    // automatic read should wait for a value the operator cannot write.
    settleParamFields();
    ReportDone(QStringLiteral("Параметры записаны в привод ") + SelectedDriveNumber());
}

void TMainForm::btSetAddrClick()
{
    const service::LineOwner::Hold hold(Owner, service::LineUse::Write);
    if (!hold)
        return;  // a scan or a backup holds the line
    // The request goes without address and reaches every actuator on the
    // line: the operator is asked when more than one hears it, or when the
    // new address already answers.
    const QString number = QString::number(Address);
    service::AddressQuestions ask;
    ask.several = [this, &number](const service::Listeners&) {
        return confirm(QStringLiteral("На линии отвечает больше одного привода.\n"
                                      "Команда уходит без адреса, и адрес %1 получат все они.\n\n"
                                      "Присвоить адрес %1?")
                           .arg(number));
    };
    ask.occupied = [this, &number](const std::string& occupant) {
        return confirm(QStringLiteral("По адресу %1 уже отвечает привод «%2».\n\n"
                                      "Присвоить адрес %1?")
                           .arg(number, QString::fromStdString(occupant)));
    };
    const service::AddressOutcome out = service::assignAddress(*WakePort, Address, ask);
    if (out.result == service::AddressOutcome::Assigned)
        ReportDone(QStringLiteral("Приводу присвоен адрес ") + number);
    else if (out.result == service::AddressOutcome::NotAnswering)
        ReportDone(QStringLiteral("Адрес ") + number +
                   QStringLiteral(" отправлен, но по нему никто не отвечает"));
}

void TMainForm::btResNClick()
{
    const service::LineOwner::Hold hold(Owner, service::LineUse::Write);
    if (!hold)
        return;  // a scan or a backup holds the line
    if (!confirmAddressZero())
        return;
    service::resetPosition(*WakePort, Address);
    ReportDone(QStringLiteral("Положение привода ") + SelectedDriveNumber() +
               QStringLiteral(" сброшено в 0"));
}

void TMainForm::cbTravelClick()
{
    uiParams->feNt->setEnabled(uiParams->cbTravel->isChecked());
}
