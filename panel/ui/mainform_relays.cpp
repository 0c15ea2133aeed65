// The relay page: the three relay settings read from and written to the drive.
#include <QComboBox>
#include <QPushButton>

#include "errorbox.h"
#include "floatedit.h"
#include "glyphs.h"
#include "mainform.h"
#include "paramfile.h"
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

int sent(const TFloatEdit* field)
{
    return static_cast<int>(paramfile::truncateValue(field->Value()));
}

}  // namespace

void TMainForm::setupRelaysPage()
{
    connect(uiRelays->bbReadRel, &QPushButton::clicked, this, Guarded(&TMainForm::bbReadRelClick));
    connect(uiRelays->bbWriteRel, &QPushButton::clicked, this,
            Guarded(&TMainForm::bbWriteRelClick));
    uiRelays->bbReadRel->setIcon(GlyphRead());
    uiRelays->bbWriteRel->setIcon(GlyphWrite());
}

void TMainForm::bbReadRelClick()
{
    const service::LineOwner::Hold hold(Owner, service::LineUse::Read);
    if (!hold)
        return;  // a scan or a backup holds the line
    std::array<int, 12> v{};
    try {
        {
            const auto got = WakePort->GetR();
            v[0] = got[0].en;
            v[1] = got[0].min;
            v[2] = got[0].max;
            v[3] = got[0].hyst;
            v[4] = got[1].en;
            v[5] = got[1].min;
            v[6] = got[1].max;
            v[7] = got[1].hyst;
            v[8] = got[2].en;
            v[9] = got[2].min;
            v[10] = got[2].max;
            v[11] = got[2].hyst;
        }
    } catch (const EHardwareException&) {
        return;  // a silent drive changes nothing, and the caller carries on
    }
    const auto rows = relayRows(*uiRelays);
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const int mode = v[4 * k];
        // A mode the list has no item for selects none; a write then sends
        // the mode back as the drive reported it.
        relayReportedMode_[k] = mode;
        rows[k].mode->setCurrentIndex(mode < rows[k].mode->count() ? mode : -1);
        rows[k].min->SetValue(v[4 * k + 1]);
        rows[k].max->SetValue(v[4 * k + 2]);
        rows[k].hyst->SetValue(v[4 * k + 3]);
    }
}

void TMainForm::bbWriteRelClick()
{
    const service::LineOwner::Hold hold(Owner, service::LineUse::Write);
    if (!hold)
        return;  // a scan or a backup holds the line
    std::array<int, 12> v{};
    const auto rows = relayRows(*uiRelays);
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const int index = rows[k].mode->currentIndex();
        v[4 * k] = index >= 0 ? index : relayReportedMode_[k];
        v[4 * k + 1] = sent(rows[k].min);
        v[4 * k + 2] = sent(rows[k].max);
        v[4 * k + 3] = sent(rows[k].hyst);
    }
    try {
        WakePort->SetR(
            {{{v[0], v[1], v[2], v[3]}, {v[4], v[5], v[6], v[7]}, {v[8], v[9], v[10], v[11]}}});
    } catch (const EHardwareException&) {
        // The operator is not told; the page stays as it was.
        return;
    }
    ReportDone(QStringLiteral("Настройки реле записаны в привод ") + SelectedDriveNumber());
}
