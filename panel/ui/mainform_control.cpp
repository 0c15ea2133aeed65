// The page "Положение привода": the poll tick (which also keeps the relay
// page's live indicators) and the four motion buttons.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include "errorbox.h"
#include "floatedit.h"
#include "gauge.h"
#include "mainform.h"
#include "positionmath.h"
#include "shape.h"
#include "drivestate.h"
#include "ui_controlpage.h"
#include "ui_mainform.h"
#include "ui_relayspage.h"

const std::array<QString, 13> DriveStateTexts = [] {
    static_assert(drivestate::Count == 13);
    std::array<QString, 13> texts;
    for (int code = 0; code < drivestate::Count; ++code)
        texts[code] = QString::fromUtf8(drivestate::text(code));
    return texts;
}();

namespace {

const QColor kZoneInUse(255, 128, 128);
const QColor kRelayOn(255, 0, 0);

enum DriveFlagBits : int { FlagOpen = 0x01, FlagClose = 0x02, FlagLIMO = 0x04, FlagLIMC = 0x08,
                           FlagPC = 0x10 };

}  // namespace

void TMainForm::setupControlPage()
{
    const auto guarded = [this](void (TMainForm::*handler)()) {
        return [this, handler] { RunGuarded(this, [this, handler] { (this->*handler)(); }); };
    };
    connect(ui->bbClose, &QPushButton::clicked, this, guarded(&TMainForm::bbCloseClick));
    connect(ui->bbStop, &QPushButton::clicked, this, guarded(&TMainForm::bbStopClick));
    connect(ui->bbStopOff, &QPushButton::clicked, this, guarded(&TMainForm::bbStopOffClick));
    connect(ui->bbOpen, &QPushButton::clicked, this, guarded(&TMainForm::bbOpenClick));
    uiControl->shShtock->raise();  // the marker is drawn over the zones
}

void TMainForm::Timer1Timer()
{
    // After shutdown the client is gone; a tick never runs inside another,
    // nor while a scan owns the line (it would poll the address probed).
    if (!WakePort || ticking_ || Scanning)
        return;
    ticking_ = true;
    struct TickFlag {
        bool& flag;
        ~TickFlag() { flag = false; }
    } tickFlag{ticking_};

    // 1.
    Timer1->stop();
    ReopenLostPort();
    // 2.
    try {
        // 3.
        if (!DeviceFound) {
            SetStatusText(QString::fromStdString(WakePort->GetInfo()));
            uiControl->edType1->setText(StatusText());
            if (ui->cbAutoPar->isChecked())
                bbReadClick();
            if (ui->cbAutoRel->isChecked())
                bbReadRelClick();
        }
        // 4.
        const int pos = WakePort->GetN();
        QWidget* page = ui->PageControl->currentWidget();
        if (page == ui->tsControl) {
            // 5.
            Ui::ControlPage& c = *uiControl;
            int state = 0, flags = 0;
            WakePort->GetS(state, flags);
            if (state >= 0 && state < static_cast<int>(DriveStateTexts.size()))
                c.edState->setText(DriveStateTexts[state]);
            c.cbOpen->setChecked(flags & FlagOpen);
            c.cbClose->setChecked(flags & FlagClose);
            c.cbLIMO->setChecked(flags & FlagLIMO);
            c.cbLIMC->setChecked(flags & FlagLIMC);
            c.cbPC->setChecked(flags & FlagPC);
            c.edNx->setText(QString::number(pos));
            int travel = 0;
            WakePort->GetT(travel);
            travel = posmath::effectiveTravel(travel);
            c.edNo->setText(QString::number(travel));
            const double pct = posmath::percentOf(pos, travel);
            c.edNxp->setText(QString::number(posmath::shownPercent(pct)));
            c.shShtock->move(posmath::markerLeft(pct), c.shShtock->y());
            const double mm = posmath::millimetres(travel, MMPerStep, MotSteps, OptoBlades, pct);
            c.edMMxp->setText(QString::fromStdString(posmath::millimetreText(mm)));
            int vl = 0, il = 0, no = 0, nc = 0;
            WakePort->GetL(vl, il, no, nc);
            c.spOpen->SetBrushColor(no != 0 ? kZoneInUse : QColor(Qt::white));
            c.spClose->SetBrushColor(nc != 0 ? kZoneInUse : QColor(Qt::white));
        } else if (page == ui->tsRelays) {
            // 6.
            Ui::RelaysPage& r = *uiRelays;
            int travel = 0;
            WakePort->GetT(travel);
            r.CGauge2->SetProgress(posmath::outputGaugePercent(pos, travel));
            try {
                int input = 0;
                WakePort->GetI(input);
                r.CGauge1->SetProgress(posmath::inputGaugePercent(input));
                const int relays = WakePort->GetRS();
                r.spRel1->SetBrushColor(relays & 0x01 ? kRelayOn : QColor(Qt::white));
                r.spRel2->SetBrushColor(relays & 0x02 ? kRelayOn : QColor(Qt::white));
                r.spRel3->SetBrushColor(relays & 0x04 ? kRelayOn : QColor(Qt::white));
            } catch (const EHardwareException&) {
            }
        }
        // 7.
        DeviceFound = true;
    } catch (const EHardwareException&) {
        // 8.
        SetStatusText(QStringLiteral("No Device"));
        uiControl->edType1->clear();
        DeviceFound = false;
        if (portWasOpen_ && WakePort->Port != 0 && !WakePort->Connected())
            showPortLost();
    }
    // 9. Not reached after a failure of another kind: polling then stays
    // off until a page change runs a tick, rather than repeating an error box.
    Timer1->start();
}

void TMainForm::bbCloseClick()
{
    WakePort->SetS(CmdClose);
}

void TMainForm::bbStopClick()
{
    WakePort->SetS(CmdStop);
}

void TMainForm::bbStopOffClick()
{
    WakePort->SetS(CmdStopOff);
}

void TMainForm::bbOpenClick()
{
    WakePort->SetS(CmdOpen);
}
