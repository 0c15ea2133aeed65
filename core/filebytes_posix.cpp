// Whole-file reads and atomic replacement with POSIX calls.
#include "filebytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "inifile.h"

namespace {

// A settings or parameter file is a few kilobytes; anything this big is not one.
constexpr off_t MaxFileSize = 16 * 1024 * 1024;

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

// Where a write lands. A symbolic link is followed, so that the link stays
// and the file it names gets the new contents; also a link to a file that is
// not there (a share not mounted yet), which must not be replaced by a plain
// file. Only a chain of the user's own links that ends at the user's own file
// (or at none) is followed: a link planted by somebody else, or one that leads
// to another user's file, would send the program's writes where that somebody
// chose (a service tool often runs as the superuser).
struct Target {
    std::string path;     // the file to write; the path itself when not followed
    std::string refusal;  // why the link in the path's place is not followed
    bool followed() const { return refusal.empty(); }
};

Target resolvedTarget(const std::string& path)
{
    std::string target = path;
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0)
            return {target, {}};
        if (!S_ISLNK(st.st_mode)) {
            if (target != path && st.st_uid != ::geteuid())
                return {path, "The link in its place leads to a file of another user"};
            return {target, {}};
        }
        if (st.st_uid != ::geteuid())
            return {path, "The link in its place belongs to another user"};
        char next[PATH_MAX];
        const ssize_t n = ::readlink(target.c_str(), next, sizeof next - 1);
        if (n <= 0)
            return {path, "The link in its place cannot be read"};
        const std::string to(next, static_cast<std::size_t>(n));
        target = to.front() == '/' ? to : folderOf(target) + "/" + to;
    }
    return {path, "The links in its place lead round in a circle"};
}

// A file the user could not write is never replaced: access is denied, or
// its mode has no write bit at all (read-only, which binds the superuser
// too, as the read-only attribute does elsewhere).
bool userMayWrite(const std::string& path, const struct stat& st)
{
    return (st.st_mode & 0222) != 0 && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

void writeAll(int fd, const std::string& bytes,
              const std::function<void(IniFileError::Kind, const std::string&)>& fail,
              const std::string& path)
{
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(IniFileError::Kind::Write,
                 "Cannot write file " + path + ". " + systemReason(errno));
        }
        written += static_cast<std::size_t>(n);
    }
}

// Where the file cannot be replaced, it is rewritten in place: owner, group,
// mode and links stay by themselves. The space is taken first, so that a
// full disk fails before the old contents are touched.
void writeInPlace(const std::string& target, const std::string& bytes, const std::string& path,
                  bool synced)
{
    FileDescriptor file(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
    const auto fail = [&](IniFileError::Kind kind, const std::string& message) {
        throw IniFileError(kind, message);
    };
    if (file.get() < 0)
        fail(IniFileError::Kind::Create, "Cannot create file " + path + ". " + systemReason(errno));
    struct stat st {};
    if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode))
        fail(IniFileError::Kind::Create, "Cannot create file " + path);
    if (st.st_uid != ::geteuid())
        fail(IniFileError::Kind::Refused,
             "Cannot create file " + path + ". The file belongs to another user");
    const int reserved = ::posix_fallocate(file.get(), 0, static_cast<off_t>(bytes.size()));
    if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL)
        fail(IniFileError::Kind::Write,
             "Cannot write file " + path + ". " + systemReason(reserved));
    writeAll(file.get(), bytes, fail, path);
    if (::ftruncate(file.get(), static_cast<off_t>(bytes.size())) != 0 ||
        (synced && ::fsync(file.get()) != 0))
        fail(IniFileError::Kind::Write, "Cannot write file " + path + ". " + systemReason(errno));
    if (file.close() != 0)
        fail(IniFileError::Kind::Write, "Cannot write file " + path + ". " + systemReason(errno));
}

void syncFolder(const std::string& folder)
{
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

void replaceFile(const std::string& path, const std::string& bytes, bool synced)
{
    static std::atomic<unsigned> counter{0};
    // A link that is not followed is replaced by the new file: the rename
    // below takes the link's name, and nothing it pointed to is touched.
    const Target resolved = resolvedTarget(path);
    const std::string& target = resolved.path;

    struct stat old {};
    const bool exists = resolved.followed() && ::stat(target.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode))
        throw IniFileError(IniFileError::Kind::Create, "Cannot create file " + path);
    if (exists && !userMayWrite(target, old))
        throw IniFileError(IniFileError::Kind::Refused,
                           "Cannot create file " + path + ". " + systemReason(EACCES));

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
            return writeInPlace(target, bytes, path, synced);
        if (!resolved.followed())
            throw IniFileError(IniFileError::Kind::Refused,
                               "Cannot create file " + path + ". " + resolved.refusal);
        throw IniFileError(IniFileError::Kind::Create, "Cannot create file " + path);
    }
    FileDescriptor file(fd);

    auto fail = [&](IniFileError::Kind kind, const std::string& message) {
        if (file.get() >= 0)
            file.close();
        ::unlink(tempPath.c_str());
        throw IniFileError(kind, message);
    };

    if (exists) {
        // The replacement keeps the file's owner, group and mode. Where it
        // cannot have them, the user's own file (of a group the user is not
        // in) is rewritten in place; somebody else's file in the user's folder
        // is never written: the replacement becomes the user's.
        struct stat made {};
        const bool sameOwner =
            ::fstat(fd, &made) == 0 && made.st_uid == old.st_uid && made.st_gid == old.st_gid;
        if (!sameOwner && ::fchown(fd, old.st_uid, old.st_gid) != 0 && S_ISREG(old.st_mode)) {
            if (old.st_uid == ::geteuid()) {
                file.close();
                ::unlink(tempPath.c_str());
                return writeInPlace(target, bytes, path, synced);
            }
            ::fchown(fd, static_cast<uid_t>(-1), old.st_gid);  // the group where it can be kept
        }
        ::fchmod(fd, old.st_mode & 07777);
    }

    writeAll(fd, bytes, fail, path);
    if (synced && ::fsync(fd) != 0)
        fail(IniFileError::Kind::Write, "Cannot write file " + path + ". " + systemReason(errno));
    if (file.close() != 0)
        fail(IniFileError::Kind::Write, "Cannot write file " + path + ". " + systemReason(errno));
    if (::rename(tempPath.c_str(), target.c_str()) != 0)
        fail(IniFileError::Kind::Create, "Cannot create file " + path);
    // Make the rename itself durable; a failure here loses nothing already written.
    if (synced)
        syncFolder(folderOf(target));
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
        throw IniFileError(IniFileError::Kind::Open,
                           "Cannot open file " + path + ". " + systemReason(errno));
    }
    FileDescriptor file(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw IniFileError(IniFileError::Kind::Open,
                           "Cannot open file " + path + ". " + systemReason(errno));
    if (S_ISDIR(st.st_mode))
        throw IniFileError(IniFileError::Kind::NotRegularFile,
                           "Cannot open file " + path + ". " + systemReason(EISDIR));
    if (!S_ISREG(st.st_mode))
        throw IniFileError(IniFileError::Kind::NotRegularFile,
                           "Cannot open file " + path + ". Not a regular file");
    if (st.st_size > MaxFileSize)
        throw IniFileError(IniFileError::Kind::TooLarge, "File " + path + " is too large");
    std::string bytes;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw IniFileError(IniFileError::Kind::Read,
                               "Cannot read file " + path + ". " + systemReason(errno));
        }
        if (n == 0)
            break;
        bytes.append(buf, static_cast<std::size_t>(n));
        // The file may grow while it is read.
        if (bytes.size() > static_cast<std::size_t>(MaxFileSize))
            throw IniFileError(IniFileError::Kind::TooLarge, "File " + path + " is too large");
    }
    return bytes;
}

void replace(const std::string& path, const std::string& bytes)
{
    replaceFile(path, bytes, true);
}

void replaceUnsynced(const std::string& path, const std::string& bytes)
{
    replaceFile(path, bytes, false);
}

void sync(const std::vector<std::string>& paths)
{
    std::vector<std::string> folders;
    for (const std::string& path : paths) {
        const std::string target = resolvedTarget(path).path;
        FileDescriptor file(::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        if (file.get() < 0 || ::fsync(file.get()) != 0)
            throw IniFileError(IniFileError::Kind::Write,
                               "Cannot write file " + path + ". " + systemReason(errno));
        const std::string folder = folderOf(target);
        if (std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(folder);
    }
    // The names last, once the bytes they lead to are there.
    for (const std::string& folder : folders) {
        const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir < 0 || ::fsync(dir) != 0) {
            const int err = errno;
            if (dir >= 0)
                ::close(dir);
            throw IniFileError(IniFileError::Kind::Write,
                               "Cannot write file " + paths.front() + ". " + systemReason(err));
        }
        ::close(dir);
    }
}

void append(const std::string& path, const std::string& bytes, const std::string& firstLine)
{
    const Target resolved = resolvedTarget(path);
    if (!resolved.followed())
        throw IniFileError(IniFileError::Kind::Refused,
                           "Cannot write file " + path + ". " + resolved.refusal);
    // O_NOFOLLOW: a link put in the file's place since it was looked at is
    // not followed either.
    FileDescriptor file(::open(resolved.path.c_str(),
                               O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW,
                               0666));
    if (file.get() < 0)
        throw IniFileError(IniFileError::Kind::Open,
                           "Cannot open file " + path + ". " + systemReason(errno));
    struct stat st {};
    if (::fstat(file.get(), &st) != 0)
        throw IniFileError(IniFileError::Kind::Open,
                           "Cannot open file " + path + ". " + systemReason(errno));
    if (!S_ISREG(st.st_mode))
        throw IniFileError(IniFileError::Kind::NotRegularFile,
                           "Cannot open file " + path + ". Not a regular file");
    if (st.st_uid != ::geteuid())
        throw IniFileError(IniFileError::Kind::Refused,
                           "Cannot write file " + path + ". The file belongs to another user");

    const std::string text = st.st_size == 0 ? firstLine + bytes : bytes;
    // A short write (a full disk, a size limit) leaves part of the text: the
    // file is cut back to where it ended, so that no fragment stays for the
    // next text to be glued onto.
    const auto fail = [&](int err) {
        if (::ftruncate(file.get(), st.st_size) != 0) {
            // Nothing more can be done; the reason of the write is the one to give.
        }
        throw IniFileError(IniFileError::Kind::Write,
                           "Cannot write file " + path + ". " + systemReason(err));
    };
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(file.get(), text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail(n < 0 ? errno : ENOSPC);
        written += static_cast<std::size_t>(n);
    }
    if (file.close() != 0)
        throw IniFileError(IniFileError::Kind::Write,
                           "Cannot write file " + path + ". " + systemReason(errno));
}

}  // namespace filebytes
