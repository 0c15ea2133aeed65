// The drive parameters page: read, write, address assignment, counter reset.
#include <QCheckBox>
#include <QPushButton>

#include "errorbox.h"
#include "floatedit.h"
#include "glyphs.h"
#include "mainform.h"
#include "paramfile.h"
#include "paramview.h"
#include "ui_paramspage.h"

namespace {

// The whole number a field's value goes on the wire as.
int sent(const TFloatEdit* field)
{
    return static_cast<int>(paramfile::truncateValue(field->Value()));
}

}  // namespace

void TMainForm::setupParamsPage()
{
    Ui::ParamsPage& p = *uiParams;
    const auto guarded = [this](void (TMainForm::*handler)()) {
        return [this, handler] { RunGuarded(this, [this, handler] { (this->*handler)(); }); };
    };
    connect(p.bbRead, &QPushButton::clicked, this, guarded(&TMainForm::bbReadClick));
    connect(p.bbWrite, &QPushButton::clicked, this, guarded(&TMainForm::bbWriteClick));
    connect(p.btSetAddr, &QPushButton::clicked, this, guarded(&TMainForm::btSetAddrClick));
    connect(p.btResN, &QPushButton::clicked, this, guarded(&TMainForm::btResNClick));
    connect(p.bbFileOpen, &QPushButton::clicked, this, guarded(&TMainForm::bbFileOpenClick));
    connect(p.bbFileSave, &QPushButton::clicked, this, guarded(&TMainForm::bbFileSaveClick));
    // Also when the settings check it, so that feNt always follows the box.
    connect(p.cbTravel, &QCheckBox::toggled, this, guarded(&TMainForm::cbTravelClick));

    p.bbRead->setIcon(GlyphRead());
    p.bbWrite->setIcon(GlyphWrite());
    p.bbFileOpen->setIcon(GlyphFileOpen());
    p.bbFileSave->setIcon(GlyphFileSave());
}

void TMainForm::bbReadClick()
{
    Ui::ParamsPage& p = *uiParams;
    p.edType2->setText(QString::fromStdString(WakePort->GetInfo()));

    int a = 0, ia = 0;
    WakePort->GetA(a, ia);
    p.edA->SetValue(a);
    p.feIa->SetValue(ia);

    int vmin = 0, extra = 0;  // the extra value has no field
    WakePort->GetM(vmin, extra);
    p.feVm->SetValue(vmin);

    int vp = 0, ip = 0, np = 0;
    WakePort->GetP(vp, ip, np);
    p.feVp->SetValue(vp);
    p.feIp->SetValue(ip);
    p.feNp->SetValue(np);

    int vl = 0, il = 0, no = 0, nc = 0;
    WakePort->GetL(vl, il, no, nc);
    p.feVl->SetValue(vl);
    p.feIl->SetValue(il);
    p.feNo->SetValue(no);
    p.feNc->SetValue(nc);

    int v[4] = {}, i[4] = {}, workStatus = 0;
    WakePort->GetW(v[0], i[0], v[1], i[1], v[2], i[2], v[3], i[3], workStatus);
    TFloatEdit* const speedFields[4][2] = {
        {p.feV1, p.feI1}, {p.feV2, p.feI2}, {p.feV3, p.feI3}, {p.feV4, p.feI4}};
    for (int k = 0; k < 4; ++k) {
        speedFields[k][0]->SetValue(v[k]);
        speedFields[k][1]->SetValue(i[k]);
    }

    int nt = 0;
    WakePort->GetT(nt);
    p.feNt->SetValue(nt);
    p.feLt->SetValue(TravelMillimetres(nt, MMPerStep, MotSteps, OptoBlades));

    const ParamHighlight h = HighlightFromWorkStatus(workStatus);
    for (int k = 0; k < 4; ++k) {
        PaintFieldBase(speedFields[k][0], h.speedInactive[k]);
        PaintFieldBase(speedFields[k][1], h.speedInactive[k]);
    }
    PaintFieldBase(p.feNo, h.upperZoneInactive);
    PaintFieldBase(p.feNc, h.lowerZoneInactive);
}

void TMainForm::bbWriteClick()
{
    Ui::ParamsPage& p = *uiParams;
    WakePort->SetS(CmdStopOff);
    const int ia = sent(p.feIa);
    WakePort->SetA(sent(p.edA), ia);
    // The drive's extra value of SetM has no field: it gets the current just sent.
    WakePort->SetM(sent(p.feVm), ia);
    WakePort->SetP(sent(p.feVp), sent(p.feIp), sent(p.feNp));
    WakePort->SetL(sent(p.feVl), sent(p.feIl), sent(p.feNo), sent(p.feNc));
    WakePort->SetW(sent(p.feV1), sent(p.feI1), sent(p.feV2), sent(p.feI2), sent(p.feV3),
                   sent(p.feI3), sent(p.feV4), sent(p.feI4));
    if (p.cbTravel->isChecked()) {
        WakePort->SetT(sent(p.feNt));
    }
}

void TMainForm::btSetAddrClick()
{
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
}

void TMainForm::btResNClick()
{
    WakePort->SetN(0);
}

void TMainForm::cbTravelClick()
{
    uiParams->feNt->setEnabled(uiParams->cbTravel->isChecked());
}
