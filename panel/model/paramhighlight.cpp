#include "paramhighlight.h"

#include "codes.h"

ParamHighlight HighlightFromWorkStatus(int workStatus)
{
    namespace ws = wake::workstatus;
    ParamHighlight h;
    const int speed = workStatus & ws::SpeedMask;
    for (int k = 0; k < 4; ++k)
        h.speedInactive[k] = k != speed;
    const int zone = (workStatus >> ws::ZoneShift) & ws::ZoneMask;
    h.upperZoneInactive = zone == ws::UpperZoneInactive;
    h.lowerZoneInactive = zone == ws::LowerZoneInactive;
    return h;
}
