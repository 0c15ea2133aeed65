#include "filelock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace service {

FileLock::FileLock(const std::string& path)
{
    // O_NOFOLLOW: a link planted in the lock file's place is not opened.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        error_ = "cannot open " + path + ": " + std::strerror(errno);
        return;
    }
    handle_ = fd;
    int rc;
    do
        rc = ::flock(fd, LOCK_EX);
    while (rc != 0 && errno == EINTR);
    locked_ = rc == 0;
    if (!locked_)
        error_ = "cannot lock " + path + ": " + std::strerror(errno);
}

FileLock::~FileLock()
{
    if (handle_ >= 0)
        ::close(static_cast<int>(handle_));  // also ends the lock
}

}  // namespace service
