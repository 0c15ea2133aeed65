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

#include "inifile.h"

namespace {

// A settings or parameter file is a few kilobytes; anything this big is not one.
constexpr off_t kMaxFileSize = 16 * 1024 * 1024;

std::string systemReason(int err) { return std::strerror(err); }

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    // Closes now, reporting the error that close() may bring (NFS, full disks).
    int close() {
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc;
    }

private:
    int fd_;
};

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The path a save replaces: a symbolic link is followed, so that the link
// stays and the file it names gets the new contents; also a link to a file
// that is not there (a share not mounted yet), which must not be replaced by
// a plain file.
std::string resolvedTarget(const std::string& path) {
    std::string target = path;
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return target;
        char real[PATH_MAX];
        if (::realpath(target.c_str(), real)) return real;
        const ssize_t n = ::readlink(target.c_str(), real, sizeof real - 1);
        if (n <= 0) return target;
        const std::string next(real, static_cast<std::size_t>(n));
        target = next.front() == '/' ? next : folderOf(target) + "/" + next;
    }
    return target;
}

}  // namespace

namespace filebytes {

std::string read(const std::string& path, bool& missing) {
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
    if (::fstat(fd, &st) != 0) throw IniFileError("Cannot open file " + path + ". " + systemReason(errno));
    if (S_ISDIR(st.st_mode)) throw IniFileError("Cannot open file " + path + ". " + systemReason(EISDIR));
    if (!S_ISREG(st.st_mode)) throw IniFileError("Cannot open file " + path + ". Not a regular file");
    if (st.st_size > kMaxFileSize) throw IniFileError("File " + path + " is too large");
    std::string bytes;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw IniFileError("Cannot read file " + path + ". " + systemReason(errno));
        }
        if (n == 0) break;
        bytes.append(buf, static_cast<std::size_t>(n));
        // The file may grow while it is read.
        if (bytes.size() > static_cast<std::size_t>(kMaxFileSize))
            throw IniFileError("File " + path + " is too large");
    }
    return bytes;
}

void replace(const std::string& path, const std::string& bytes) {
    static std::atomic<unsigned> counter{0};
    const std::string target = resolvedTarget(path);

    std::string tempPath;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tempPath = target + ".~" + std::to_string(::getpid()) + "." + std::to_string(counter++);
        fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) throw IniFileError("Cannot create file " + path);
    FileDescriptor file(fd);

    auto fail = [&](const std::string& message) {
        if (file.get() >= 0) file.close();
        ::unlink(tempPath.c_str());
        throw IniFileError(message);
    };

    // The replaced file keeps its permissions.
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
        if (S_ISDIR(old.st_mode)) fail("Cannot create file " + path);
        ::fchmod(fd, old.st_mode & 07777);
    }

    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("Cannot write file " + path + ". " + systemReason(errno));
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) fail("Cannot write file " + path + ". " + systemReason(errno));
    if (file.close() != 0) fail("Cannot write file " + path + ". " + systemReason(errno));
    if (::rename(tempPath.c_str(), target.c_str()) != 0) fail("Cannot create file " + path);
    // Make the rename itself durable; a failure here loses nothing already written.
    const int dir = ::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

}  // namespace filebytes
