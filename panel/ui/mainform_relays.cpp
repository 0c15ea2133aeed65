// The relay page: the three relay settings read from and written to the drive.
#include <QComboBox>
#include <QPushButton>

#include "errorbox.h"
#include "floatedit.h"
#include "glyphs.h"
#include "mainform.h"
#include "paramfields.h"
#include "relayset.h"
#include "ui_relayspage.h"

namespace {

struct RelayRow {
    QComboBox* mode;
    TFloatEdit* min;
    TFloatEdit* max;
    TFloatEdit* hyst;
};

std::array<RelayRow, 3> relayRows(Ui::RelaysPage& r)
{
    return {{{r.cbRelEn1, r.feRelMin1, r.feRelMax1, r.feRelHyst1},
             {r.cbRelEn2, r.feRelMin2, r.feRelMax2, r.feRelHyst2},
             {r.cbRelEn3, r.feRelMin3, r.feRelMax3, r.feRelHyst3}}};
}

}  // namespace

void TMainForm::setupRelaysPage()
{
    connect(uiRelays->bbReadRel, &QPushButton::clicked, this, Guarded(&TMainForm::bbReadRelClick));
    connect(uiRelays->bbWriteRel, &QPushButton::clicked, this,
            Guarded(&TMainForm::bbWriteRelClick));
    // The mode lists, in the order of the drive's mode codes.
    for (const RelayRow& row : relayRows(*uiRelays))
        for (int mode = 0; service::relayModeText(mode); ++mode)
            row.mode->addItem(QString::fromUtf8(service::relayModeText(mode)));
    uiRelays->bbReadRel->setIcon(GlyphRead());
    uiRelays->bbWriteRel->setIcon(GlyphWrite());
}

void TMainForm::bbReadRelClick()
{
    const service::LineOwner::Hold hold(Owner, service::LineUse::Read);
    if (!hold)
        return;  // a scan or a backup holds the line
    service::RelaySet relays;
    try {
        relays = service::readRelays(*WakePort, Address);
    } catch (const EHardwareException&) {
        return;  // a silent drive changes nothing, and the caller carries on
    }
    const auto rows = relayRows(*uiRelays);
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const service::RelaySetting& r = relays[k];
        // A mode the list has no item for selects none; a write then sends
        // the mode back as the drive reported it.
        relayReportedMode_[k] = r.mode;
        rows[k].mode->setCurrentIndex(r.mode < rows[k].mode->count() ? r.mode : -1);
        rows[k].min->SetValue(r.min);
        rows[k].max->SetValue(r.max);
        rows[k].hyst->SetValue(r.hyst);
    }
}

void TMainForm::bbWriteRelClick()
{
    const service::LineOwner::Hold hold(Owner, service::LineUse::Write);
    if (!hold)
        return;  // a scan or a backup holds the line
    if (!confirmAddressZero())
        return;
    service::RelaySet relays;
    const auto rows = relayRows(*uiRelays);
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const int index = rows[k].mode->currentIndex();
        relays[k] = {index >= 0 ? index : relayReportedMode_[k], SentValue(rows[k].min),
                     SentValue(rows[k].max), SentValue(rows[k].hyst)};
    }
    try {
        service::writeRelays(*WakePort, Address, relays);
    } catch (const EHardwareException&) {
        // The operator is not told; the page stays as it was.
        return;
    }
    ReportDone(QStringLiteral("Настройки реле записаны в привод ") + SelectedDriveNumber());
}
