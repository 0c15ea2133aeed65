// Whole-file reads and atomic replacement with POSIX calls.
#include "filebytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "inifile.h"

namespace {

// A settings or parameter file is a few kilobytes; anything this big is not one.
constexpr off_t kMaxFileSize = 16 * 1024 * 1024;

std::string systemReason(int err)
{
    return std::strerror(err);
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    // Closes now, reporting the error that close() may bring (NFS, full disks).
    int close()
    {
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc;
    }

private:
    int fd_;
};

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// The path a save writes: a symbolic link is followed, so that the link stays
// and the file it names gets the new contents; also a link to a file that is
// not there (a share not mounted yet), which must not be replaced by a plain
// file. Only links of the user's own are followed: one planted by somebody
// else (in a shared folder) would send the program's writes where that
// somebody chose. Empty when a link is not the user's.
std::string resolvedTarget(const std::string& path)
{
    std::string target = path;
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return target;
        if (st.st_uid != ::geteuid())
            return {};
        char next[PATH_MAX];
        const ssize_t n = ::readlink(target.c_str(), next, sizeof next - 1);
        if (n <= 0)
            return target;
        const std::string to(next, static_cast<std::size_t>(n));
        target = to.front() == '/' ? to : folderOf(target) + "/" + to;
    }
    return target;
}

// A file the user could not write is never replaced: access is denied, or
// its mode has no write bit at all (read-only, which binds the superuser
// too, as the read-only attribute does elsewhere).
bool userMayWrite(const std::string& path, const struct stat& st)
{
    return (st.st_mode & 0222) != 0 && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

void writeAll(int fd, const std::string& bytes, const std::function<void(const std::string&)>& fail,
              const std::string& path)
{
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail("Cannot write file " + path + ". " + systemReason(errno));
        }
        written += static_cast<std::size_t>(n);
    }
}

// Where the file cannot be replaced, it is rewritten in place: owner, group,
// mode and links stay by themselves. The space is taken first, so that a
// full disk fails before the old contents are touched.
void writeInPlace(const std::string& target, const std::string& bytes, const std::string& path)
{
    FileDescriptor file(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK));
    const auto fail = [&](const std::string& message) { throw IniFileError(message); };
    if (file.get() < 0)
        fail("Cannot create file " + path + ". " + systemReason(errno));
    const int reserved = ::posix_fallocate(file.get(), 0, static_cast<off_t>(bytes.size()));
    if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL)
        fail("Cannot write file " + path + ". " + systemReason(reserved));
    writeAll(file.get(), bytes, fail, path);
    if (::ftruncate(file.get(), static_cast<off_t>(bytes.size())) != 0 || ::fsync(file.get()) != 0)
        fail("Cannot write file " + path + ". " + systemReason(errno));
    if (file.close() != 0)
        fail("Cannot write file " + path + ". " + systemReason(errno));
}

}  // namespace

namespace filebytes {

std::string read(const std::string& path, bool& missing)
{
    missing = false;
    // Non-blocking, so that a FIFO in the file's place is refused below
    // instead of waiting for a writer; regular files ignore the flag.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) {
            missing = true;
            return {};
        }
        throw IniFileError("Cannot open file " + path + ". " + systemReason(errno));
    }
    FileDescriptor file(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw IniFileError("Cannot open file " + path + ". " + systemReason(errno));
    if (S_ISDIR(st.st_mode))
        throw IniFileError("Cannot open file " + path + ". " + systemReason(EISDIR));
    if (!S_ISREG(st.st_mode))
        throw IniFileError("Cannot open file " + path + ". Not a regular file");
    if (st.st_size > kMaxFileSize)
        throw IniFileError("File " + path + " is too large");
    std::string bytes;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw IniFileError("Cannot read file " + path + ". " + systemReason(errno));
        }
        if (n == 0)
            break;
        bytes.append(buf, static_cast<std::size_t>(n));
        // The file may grow while it is read.
        if (bytes.size() > static_cast<std::size_t>(kMaxFileSize))
            throw IniFileError("File " + path + " is too large");
    }
    return bytes;
}

void replace(const std::string& path, const std::string& bytes)
{
    static std::atomic<unsigned> counter{0};
    const std::string target = resolvedTarget(path);
    if (target.empty())
        throw IniFileError("Cannot create file " + path +
                           ". The link in its place belongs to another user");

    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode))
        throw IniFileError("Cannot create file " + path);
    if (exists && !userMayWrite(target, old))
        throw IniFileError("Cannot create file " + path + ". " + systemReason(EACCES));

    std::string tempPath;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tempPath = target + ".~" + std::to_string(::getpid()) + "." + std::to_string(counter++);
        fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        // A folder the user may not write, holding a file the user may.
        if (exists && S_ISREG(old.st_mode))
            return writeInPlace(target, bytes, path);
        throw IniFileError("Cannot create file " + path);
    }
    FileDescriptor file(fd);

    auto fail = [&](const std::string& message) {
        if (file.get() >= 0)
            file.close();
        ::unlink(tempPath.c_str());
        throw IniFileError(message);
    };

    if (exists) {
        // The replacement keeps the file's owner, group and mode; where it
        // cannot have them (somebody else's file in the user's folder), the
        // file is rewritten in place instead.
        struct stat made {};
        const bool sameOwner =
            ::fstat(fd, &made) == 0 && made.st_uid == old.st_uid && made.st_gid == old.st_gid;
        if (!sameOwner && ::fchown(fd, old.st_uid, old.st_gid) != 0 && S_ISREG(old.st_mode)) {
            file.close();
            ::unlink(tempPath.c_str());
            return writeInPlace(target, bytes, path);
        }
        ::fchmod(fd, old.st_mode & 07777);
    }

    writeAll(fd, bytes, fail, path);
    if (::fsync(fd) != 0)
        fail("Cannot write file " + path + ". " + systemReason(errno));
    if (file.close() != 0)
        fail("Cannot write file " + path + ". " + systemReason(errno));
    if (::rename(tempPath.c_str(), target.c_str()) != 0)
        fail("Cannot create file " + path);
    // Make the rename itself durable; a failure here loses nothing already written.
    const int dir = ::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

}  // namespace filebytes
