// Only kernel headers here: <asm/termbits.h> redefines what glibc's
// <termios.h> declares, so the two cannot meet in one file.
#include "termios2_linux.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstring>

namespace serlink {

static_assert(sizeof(termios2) <= sizeof(KernelSettings::bytes));

bool kernelGetSettings(int fd, KernelSettings& settings)
{
    termios2 t;
    if (ioctl(fd, TCGETS2, &t) != 0)
        return false;
    std::memcpy(settings.bytes, &t, sizeof t);
    return true;
}

bool kernelSetSettings(int fd, const KernelSettings& settings)
{
    termios2 t;
    std::memcpy(&t, settings.bytes, sizeof t);
    return ioctl(fd, TCSETS2, &t) == 0;
}

bool kernelSetBaud(int fd, std::uint32_t baud)
{
    termios2 t;
    if (ioctl(fd, TCGETS2, &t) != 0)
        return false;
    t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = baud;
    t.c_ospeed = baud;
    return ioctl(fd, TCSETS2, &t) == 0;
}

}  // namespace serlink
