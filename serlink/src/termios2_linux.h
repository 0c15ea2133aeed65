// The kernel's termios2 interface: exact save/restore of a port's settings and
// baud rates that have no B* constant. Kept apart because the kernel header
// that defines it clashes with glibc's <termios.h>.
#pragma once

#include <cstdint>

namespace serlink {

// The calls go through the line table (lineops_posix.h), so that a test can
// play a driver that does not take a rate.

// Opaque copy of the kernel's struct termios2 (44 bytes on Linux).
struct KernelSettings {
    alignas(8) unsigned char bytes[64];
};

bool kernelGetSettings(int fd, KernelSettings& settings);
bool kernelSetSettings(int fd, const KernelSettings& settings);
// Sets input and output speed to any rate the driver accepts (BOTHER).
bool kernelSetBaud(int fd, std::uint32_t baud);
// The output speed the driver has taken, in baud.
bool kernelGetBaud(int fd, std::uint32_t& baud);

}  // namespace serlink
