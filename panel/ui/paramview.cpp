#include "paramview.h"

#include <QLineEdit>
#include <QPalette>

double TravelMillimetres(int nt, double mmPerStep, int motSteps, int optoBlades)
{
    if (optoBlades == 0) {
        return 0;
    }
    return nt * mmPerStep * motSteps / optoBlades;
}

ParamHighlight HighlightFromWorkStatus(int workStatus)
{
    ParamHighlight h;
    const int speed = workStatus & 0x03;
    for (int k = 0; k < 4; ++k) {
        h.speedInactive[k] = k != speed;
    }
    const int zone = workStatus & 0x30;
    h.upperZoneInactive = zone == 0x10;
    h.lowerZoneInactive = zone == 0x20;
    return h;
}

QColor InactiveFieldColour()
{
    return QColor(0xD4, 0xD0, 0xC8);
}

void PaintFieldBase(QLineEdit* field, bool inactive)
{
    // The normal colour comes from the style, per colour group, so that a
    // disabled page still looks disabled.
    const QPalette standard = field->window()->palette();
    QPalette pal = field->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Base,
                     inactive ? InactiveFieldColour() : standard.color(group, QPalette::Base));
        pal.setColor(group, QPalette::Text, standard.color(group, QPalette::Text));
    }
    field->setPalette(pal);
}
