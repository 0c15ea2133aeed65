#include "portproblem.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "portname.h"

PortProblemInfo PortProblem(const std::string& portName)
{
    const std::string path = serlink::devicePath(portName.c_str());
    if (path.empty())
        return {"неизвестный порт", {}};
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return {"устройство не найдено", path};
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EACCES || errno == EPERM)
            return {"нет прав доступа (группа dialout)", path};
        if (errno == EBUSY)
            return {"занят другой программой", path};
        return {std::strerror(errno), path};
    }
    // Serial tools take an advisory lock on a port they hold.
    const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd);
    return held ? PortProblemInfo{"занят другой программой", path} : PortProblemInfo{};
}
