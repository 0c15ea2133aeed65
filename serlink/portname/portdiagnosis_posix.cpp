#include "portdiagnosis.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "portname.h"

namespace serlink {

PortDiagnosis diagnose(const char* name)
{
    PortDiagnosis d;
    d.path = devicePath(name);
    if (d.path.empty()) {
        d.condition = PortCondition::UnknownName;
        return d;
    }
    struct stat st;
    if (stat(d.path.c_str(), &st) != 0) {
        d.condition = PortCondition::NotFound;
        return d;
    }
    const int fd = open(d.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EACCES || errno == EPERM)
            d.condition = PortCondition::NoPermission;
        else if (errno == EBUSY)
            d.condition = PortCondition::Busy;
        else {
            d.condition = PortCondition::Other;
            d.detail = std::strerror(errno);
        }
        return d;
    }
    // Serial tools take an advisory lock on a port they hold.
    const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd);
    if (held)
        d.condition = PortCondition::Busy;
    return d;
}

}  // namespace serlink
