// Only kernel headers here: <asm/termbits.h> redefines what glibc's
// <termios.h> declares, so the two cannot meet in one file.
#include "termios2_linux.h"

#include "lineops_posix.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstring>

namespace serlink {

static_assert(sizeof(termios2) <= sizeof(KernelSettings::bytes));

namespace {

int settingsIoctl(int fd, unsigned long request, termios2& t)
{
    return lineOps().ioctl(fd, request, &t);
}

}  // namespace

bool kernelGetSettings(int fd, KernelSettings& settings)
{
    termios2 t;
    if (settingsIoctl(fd, TCGETS2, t) != 0)
        return false;
    std::memcpy(settings.bytes, &t, sizeof t);
    return true;
}

bool kernelSetSettings(int fd, const KernelSettings& settings)
{
    termios2 t;
    std::memcpy(&t, settings.bytes, sizeof t);
    return settingsIoctl(fd, TCSETS2, t) == 0;
}

bool kernelSetBaud(int fd, std::uint32_t baud)
{
    termios2 t;
    if (settingsIoctl(fd, TCGETS2, t) != 0)
        return false;
    t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = baud;
    t.c_ospeed = baud;
    return settingsIoctl(fd, TCSETS2, t) == 0;
}

bool kernelGetBaud(int fd, std::uint32_t& baud)
{
    termios2 t;
    if (settingsIoctl(fd, TCGETS2, t) != 0)
        return false;
    baud = t.c_ospeed;
    return true;
}

}  // namespace serlink
