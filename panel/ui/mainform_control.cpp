// The page "Положение привода": the poll tick (which also keeps the relay
// page's live indicators) and the four motion buttons.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include "codes.h"
#include "drivestate.h"
#include "errorbox.h"
#include "floatedit.h"
#include "gauge.h"
#include "lineviews.h"
#include "mainform.h"
#include "pollextras.h"
#include "motion.h"
#include "positionmath.h"
#include "servicetools.h"
#include "shape.h"
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

const QColor ZoneInUse(255, 128, 128);
const QColor RelayOn(255, 0, 0);
const QColor StaleMarker(160, 160, 160);
const QString NoLinkText = QStringLiteral("нет связи");

// The readings of the position page that a lost connection leaves standing.
std::vector<QWidget*> staleWidgets(Ui::ControlPage& c)
{
    return {c.edState, c.cbOpen, c.cbClose, c.cbLIMO, c.cbLIMC, c.cbPC,
            c.edNx,    c.edNo,   c.edNxp,   c.edMMxp, c.edNc};
}

void markStale(QWidget* w, bool stale)
{
    if (w->property("stale").toBool() == stale)
        return;
    w->setProperty("stale", stale);
    w->setToolTip(stale ? NoLinkText : QString());
    w->setStyleSheet(stale ? QStringLiteral("color: rgb(170, 170, 170); font-style: italic;")
                           : QString());
}

}  // namespace

void TMainForm::setupControlPage()
{
    connect(ui->bbClose, &QPushButton::clicked, this, Guarded(&TMainForm::bbCloseClick));
    connect(ui->bbStop, &QPushButton::clicked, this, Guarded(&TMainForm::bbStopClick));
    connect(ui->bbStopOff, &QPushButton::clicked, this, Guarded(&TMainForm::bbStopOffClick));
    connect(ui->bbOpen, &QPushButton::clicked, this, Guarded(&TMainForm::bbOpenClick));
    uiControl->shShtock->raise();  // the marker is drawn over the zones
}

void TMainForm::Timer1Timer()
{
    // After shutdown the client is gone; a tick never runs inside another
    // action, nor while a scan or a backup holds the line.
    if (!WakePort)
        return;
    const service::LineOwner::Hold hold(Owner, service::LineUse::Poll);
    if (!hold)
        return;

    Timer1->stop();
    ReopenLostPort();
    std::optional<ExchangeOutcome> failure;
    try {
        if (!DeviceFound)
            IdentifyDevice();
    } catch (const EHardwareException& e) {
        failure = e.outcome();
    }
    if (!failure) {
        QWidget* page = ui->PageControl->currentWidget();
        const service::PollPage pollPage = page == ui->tsControl  ? service::PollPage::Control
                                           : page == ui->tsRelays ? service::PollPage::Relays
                                                                  : service::PollPage::Other;
        service::PollSnapshot snapshot = service::readPoll(*WakePort, pollPage);
        ShowPoll(snapshot);
        // The trends' readings, a pending stroke's state and the line
        // overview's row, where the page does not read them: at most three
        // exchanges for the trends (and the travel once at an address), one
        // for a stroke or the overview.
        service::PollNeeds needs = Views->pollNeeds(Address);
        needs.strokePending = Service->recorder().strokePending(Address);
        service::readExtras(*WakePort, service::extraReadings(pollPage, needs), snapshot);
        Views->pollRead(snapshot);
        failure = snapshot.failure;
    }
    const bool answered = !failure;
    if (answered && linkLost_)
        ReportDone(PortNameText() + QStringLiteral(": связь восстановлена"));
    linkLost_ = answered ? false : linkLost_ || DeviceFound;
    DeviceFound = answered;
    if (!answered) {
        ShowStale();
        SetStatusText(QStringLiteral("No Device"));
        uiControl->edType1->clear();
        // The exchange says whether the port went, not only the actuator.
        if (portWasOpen_ && failure == ExchangeOutcome::NoPort)
            showPortLost();
    }
    // Not reached after a failure of another kind: polling then stays off
    // until a page change runs a tick, rather than repeating an error box.
    Timer1->start();
}

void TMainForm::reportMotion(const QString& caption)
{
    ReportDone(QStringLiteral("Команда «") + caption + QStringLiteral("» отправлена в привод ") +
               SelectedDriveNumber());
}

void TMainForm::IdentifyDevice()
{
    SetStatusText(ReadDeviceType());
    uiControl->edType1->setText(StatusText());
    if (ui->cbAutoPar->isChecked())
        autoReadParams();
    if (ui->cbAutoRel->isChecked())
        bbReadRelClick();
}

void TMainForm::ShowStale()
{
    Ui::ControlPage& c = *uiControl;
    if (c.edState->property("stale").toBool() || c.edState->text().isEmpty())
        return;  // already greyed, or nothing shown yet
    c.edState->setText(NoLinkText);
    for (QWidget* w : staleWidgets(c))
        markStale(w, true);
    c.shShtock->setProperty("liveColor", c.shShtock->BrushColor());
    c.shShtock->SetBrushColor(StaleMarker);
}

void TMainForm::ShowPoll(const service::PollSnapshot& s)
{
    Ui::ControlPage& c = *uiControl;
    if (s.driveState) {
        for (QWidget* w : staleWidgets(c))
            markStale(w, false);
        const QVariant live = c.shShtock->property("liveColor");
        if (live.isValid())
            c.shShtock->SetBrushColor(live.value<QColor>());
        const int state = *s.driveState;
        if (state >= 0 && state < static_cast<int>(DriveStateTexts.size()))
            c.edState->setText(DriveStateTexts[state]);
        const int flags = s.driveFlags.value_or(0);
        c.cbOpen->setChecked(flags & wake::flag::OpenCmd);
        c.cbClose->setChecked(flags & wake::flag::CloseCmd);
        c.cbLIMO->setChecked(flags & wake::flag::Limo);
        c.cbLIMC->setChecked(flags & wake::flag::Limc);
        c.cbPC->setChecked(flags & wake::flag::Pc);
        c.edNx->setText(QString::number(*s.position));
        if (s.travel) {
            const int travel = posmath::effectiveTravel(*s.travel);
            c.edNo->setText(QString::number(travel));
            const double pct = posmath::percentOf(*s.position, travel);
            c.edNxp->setText(QString::number(posmath::shownPercent(pct)));
            c.shShtock->move(posmath::markerLeft(pct), c.shShtock->y());
            const auto mm = posmath::millimetres(travel, MMPerStep, MotSteps, OptoBlades, pct);
            c.edMMxp->setText(QString::fromStdString(posmath::millimetreText(mm)));
        }
        if (s.upperZone && s.lowerZone) {
            c.spOpen->SetBrushColor(*s.upperZone != 0 ? ZoneInUse : QColor(Qt::white));
            c.spClose->SetBrushColor(*s.lowerZone != 0 ? ZoneInUse : QColor(Qt::white));
        }
        return;
    }
    Ui::RelaysPage& r = *uiRelays;
    if (s.travel && s.position)
        r.CGauge2->SetProgress(posmath::outputGaugePercent(*s.position, *s.travel));
    if (s.inputCurrent)
        r.CGauge1->SetProgress(posmath::inputGaugePercent(*s.inputCurrent));
    if (s.relayStates) {
        TShape* lamps[wake::RelayCount] = {r.spRel1, r.spRel2, r.spRel3};
        for (int k = 0; k < wake::RelayCount; ++k)
            lamps[k]->SetBrushColor(wake::relayOn(*s.relayStates, k) ? RelayOn : QColor(Qt::white));
    }
}

bool TMainForm::confirmAddressZero()
{
    if (Address == 0 && !addressZeroAgreed_)
        addressZeroAgreed_ =
            confirm(QStringLiteral("Адрес 0: команду выполнят все приводы на линии. Продолжить?"));
    return Address != 0 || addressZeroAgreed_;
}

void TMainForm::bbCloseClick()
{
    const service::LineOwner::Hold hold(Owner, service::LineUse::Write);
    if (!hold)
        return;  // a scan or a backup holds the line
    if (!confirmAddressZero())
        return;
    service::sendMotion(*WakePort, Address, wake::CmdClose);
    reportMotion(QStringLiteral("Закрыть"));
}

void TMainForm::bbStopClick()
{
    const service::LineOwner::Hold hold(Owner, service::LineUse::Write);
    if (!hold)
        return;  // a scan or a backup holds the line
    if (!confirmAddressZero())
        return;
    service::sendMotion(*WakePort, Address, wake::CmdStop);
    reportMotion(QStringLiteral("Стоп"));
}

void TMainForm::bbStopOffClick()
{
    const service::LineOwner::Hold hold(Owner, service::LineUse::Write);
    if (!hold)
        return;  // a scan or a backup holds the line
    if (!confirmAddressZero())
        return;
    service::sendMotion(*WakePort, Address, wake::CmdStopOff);
    reportMotion(QStringLiteral("Стоп/откл."));
}

void TMainForm::bbOpenClick()
{
    const service::LineOwner::Hold hold(Owner, service::LineUse::Write);
    if (!hold)
        return;  // a scan or a backup holds the line
    if (!confirmAddressZero())
        return;
    service::sendMotion(*WakePort, Address, wake::CmdOpen);
    reportMotion(QStringLiteral("Открыть"));
}
