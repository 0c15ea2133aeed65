#include "statusline.h"

#include <cstdio>

#include "drivestate.h"

namespace tirssim {

std::string driveStateText(int code)
{
    const char* text = drivestate::text(code);
    return text ? text : std::string();
}

std::string statusLine(const sim::ActuatorState& s)
{
    const int percent = s.Nt > 0 ? s.N * 100 / s.Nt : 0;
    const std::string flags = drivestate::flagsText(s.driveFlags);
    char buf[160];
    std::snprintf(buf, sizeof buf, "N %d/%d (%d%%), реле %c%c%c, вход %d мкА", s.N, s.Nt, percent,
                  (s.relayStates & 1) ? '1' : '-', (s.relayStates & 2) ? '2' : '-',
                  (s.relayStates & 4) ? '3' : '-', s.inputCurrent);
    return "[" + std::to_string(s.address) + "] " + s.info + ": " + driveStateText(s.driveState) +
           " [" + flags + "], " + buf;
}

}  // namespace tirssim
