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
#include "positionmath.h"
#include "ui_paramspage.h"

namespace {

// The whole number a field's value goes on the wire as.
int sentValue(const TFloatEdit* field)
{
    return static_cast<int>(paramfile::truncateValue(field->Value()));
}

}  // namespace

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
    const auto field = [&p](std::string_view key) { return ParamField(p, key); };
    p.edType2->setText(QString::fromStdString(WakePort->GetInfo()));

    int a = 0, ia = 0;
    {
        const auto got = WakePort->GetA();
        a = got.a;
        ia = got.ia;
    }
    field("A")->SetValue(a);
    field("Ia")->SetValue(ia);

    int vmin = 0, extra = 0;  // the extra value has no field
    {
        const auto got = WakePort->GetM();
        vmin = got.vmin;
        extra = got.extra;
    }
    field("Vmin")->SetValue(vmin);

    int vp = 0, ip = 0, np = 0;
    {
        const auto got = WakePort->GetP();
        vp = got.vp;
        ip = got.ip;
        np = got.np;
    }
    field("Vp")->SetValue(vp);
    field("Ip")->SetValue(ip);
    field("Np")->SetValue(np);

    int vl = 0, il = 0, no = 0, nc = 0;
    {
        const auto got = WakePort->GetL();
        vl = got.vl;
        il = got.il;
        no = got.no;
        nc = got.nc;
    }
    field("Vl")->SetValue(vl);
    field("Il")->SetValue(il);
    field("No")->SetValue(no);
    field("Nc")->SetValue(nc);

    int v[4] = {}, i[4] = {}, workStatus = 0;
    {
        const auto got = WakePort->GetW();
        v[0] = got.steps[0].v;
        i[0] = got.steps[0].i;
        v[1] = got.steps[1].v;
        i[1] = got.steps[1].i;
        v[2] = got.steps[2].v;
        i[2] = got.steps[2].i;
        v[3] = got.steps[3].v;
        i[3] = got.steps[3].i;
        workStatus = got.workStatus;
    }
    TFloatEdit* const speedFields[4][2] = {{field("V1"), field("I1")},
                                           {field("V2"), field("I2")},
                                           {field("V3"), field("I3")},
                                           {field("V4"), field("I4")}};
    for (int k = 0; k < 4; ++k) {
        speedFields[k][0]->SetValue(v[k]);
        speedFields[k][1]->SetValue(i[k]);
    }

    int nt = 0;
    nt = WakePort->GetT();
    field("Nt")->SetValue(nt);
    // No millimetres without optical blades: the field then shows 0.
    p.feLt->SetValue(posmath::travelMillimetres(nt, MMPerStep, MotSteps, OptoBlades).value_or(0));

    const ParamHighlight h = HighlightFromWorkStatus(workStatus);
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
    Ui::ParamsPage& p = *uiParams;
    const auto sent = [&p](std::string_view key) { return sentValue(ParamField(p, key)); };
    if (!ConfirmParamWrite())
        return;
    WakePort->SetS(wake::CmdStopOff);
    const int ia = sent("Ia");
    WakePort->SetA({sent("A"), ia});
    // The drive's extra value of SetM has no field: it gets the current just sent.
    WakePort->SetM({sent("Vmin"), ia});
    WakePort->SetP({sent("Vp"), sent("Ip"), sent("Np")});
    WakePort->SetL({sent("Vl"), sent("Il"), sent("No"), sent("Nc")});
    WakePort->SetW({{{sent("V1"), sent("I1")},
                     {sent("V2"), sent("I2")},
                     {sent("V3"), sent("I3")},
                     {sent("V4"), sent("I4")}}});
    if (p.cbTravel->isChecked()) {
        WakePort->SetT(sent("Nt"));
    }
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
    // The request reaches every actuator on the line: with more than one
    // there, all of them would take the same address.
    if (LastScanCount > 1 &&
        !confirm(QStringLiteral("При последнем сканировании на линии найдено приводов: %1.\n"
                                "Команда уходит без адреса, и адрес %2 получат все они.\n\n"
                                "Присвоить адрес %2?")
                     .arg(LastScanCount)
                     .arg(Address)))
        return;
    // Address 0 sends the frame without an address byte, so that the drive
    // takes it whatever address it has now.
    WakePort->SetDevAddr(0);
    try {
        WakePort->SetAddr(Address);
    } catch (...) {
        WakePort->SetDevAddr(Address);
        throw;
    }
    WakePort->SetDevAddr(Address);
    ReportDone(QStringLiteral("Приводу присвоен адрес ") + QString::number(Address));
}

void TMainForm::btResNClick()
{
    const service::LineOwner::Hold hold(Owner, service::LineUse::Write);
    if (!hold)
        return;  // a scan or a backup holds the line
    WakePort->SetN(0);
    ReportDone(QStringLiteral("Положение привода ") + SelectedDriveNumber() +
               QStringLiteral(" сброшено в 0"));
}

void TMainForm::cbTravelClick()
{
    uiParams->feNt->setEnabled(uiParams->cbTravel->isChecked());
}
