// The modem-line, RS-485 and line-status ioctls go through this table, so that
// a test can stand in for a UART and watch the library switch RTS.
#pragma once

namespace serlink {

struct LineOps {
    int (*ioctl)(int fd, unsigned long request, void* arg);
};

LineOps& lineOps();

}  // namespace serlink
