#include "portdiagnosis.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace serlink {

PortCondition diagnosePath(const std::string& path, std::string& detail)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return PortCondition::NotFound;
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EACCES || errno == EPERM)
            return PortCondition::NoPermission;
        if (errno == EBUSY)
            return PortCondition::Busy;
        detail = std::strerror(errno);
        return PortCondition::Other;
    }
    // Serial tools take an advisory lock on a port they hold.
    const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd);
    return held ? PortCondition::Busy : PortCondition::Openable;
}

}  // namespace serlink
