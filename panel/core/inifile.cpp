#include "inifile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "cp1251.h"
#include "numbertext.h"

namespace {

// A settings or parameter file is a few kilobytes; anything this big is not one.
constexpr off_t kMaxFileSize = 16 * 1024 * 1024;

bool isBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return std::string(s);
}

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    return true;
}

// A line break inside a name or value would split it into two lines of the
// file, the second of which would read as something else.
std::string oneLine(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c == '\r' || c == '\n') c = ' ';
    return out;
}

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

std::string readAll(const std::string& path, bool& missing) {
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

IniImage IniImage::fromBytes(std::string_view bytes) {
    IniImage image;
    const std::string text = cp1251::toUtf8(bytes);
    Section* current = nullptr;
    std::size_t start = 0;
    while (start <= text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = trimmed(std::string_view(text).substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            const std::string name = trimmed(std::string_view(line).substr(1, line.size() - 2));
            // A repeated section continues the first one of that name, so
            // that its keys stay reachable and the file holds it once.
            current = image.findSection(name);
            if (!current) {
                image.sections_.push_back(Section{name, {}});
                current = &image.sections_.back();
            }
            continue;
        }
        if (!current) continue;  // before the first section
        const auto eq = line.find('=');
        if (eq == std::string::npos) {
            current->lines.push_back(Line{{}, line, false});
        } else {
            current->lines.push_back(Line{trimmed(std::string_view(line).substr(0, eq)),
                                          trimmed(std::string_view(line).substr(eq + 1)), true});
        }
    }
    return image;
}

std::string IniImage::toBytes() const {
    std::string text;
    for (const auto& section : sections_) {
        text += "[" + section.name + "]\r\n";
        for (const auto& line : section.lines) {
            if (line.isPair) text += line.key + "=";
            text += line.value + "\r\n";
        }
        text += "\r\n";
    }
    return cp1251::fromUtf8(text);
}

IniImage IniImage::load(const std::string& path) {
    bool missing = false;
    const std::string bytes = readAll(path, missing);
    return missing ? IniImage() : fromBytes(bytes);
}

void IniImage::save(const std::string& path) const {
    static std::atomic<unsigned> counter{0};
    const std::string target = resolvedTarget(path);
    const std::string bytes = toBytes();

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

IniImage::Section* IniImage::findSection(std::string_view name) {
    for (auto& s : sections_)
        if (sameName(s.name, name)) return &s;
    return nullptr;
}

const IniImage::Section* IniImage::findSection(std::string_view name) const {
    for (const auto& s : sections_)
        if (sameName(s.name, name)) return &s;
    return nullptr;
}

std::optional<std::string> IniImage::value(std::string_view section, std::string_view key) const {
    const Section* s = findSection(section);
    if (!s) return std::nullopt;
    for (const auto& line : s->lines)
        if (line.isPair && sameName(line.key, key)) return line.value;
    return std::nullopt;
}

long long IniImage::readInteger(std::string_view section, std::string_view key, long long def) const {
    const auto text = value(section, key);
    if (!text) return def;
    return numtext::parseInteger(*text, true).value_or(def);
}

int IniImage::readInt(std::string_view section, std::string_view key, int def) const {
    const long long v = readInteger(section, key, def);
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) return def;
    return static_cast<int>(v);
}

bool IniImage::readBool(std::string_view section, std::string_view key, bool def) const {
    const auto text = value(section, key);
    if (!text) return def;
    const auto v = numtext::parseInteger(*text, true);
    return v ? *v != 0 : def;
}

double IniImage::readFloat(std::string_view section, std::string_view key, double def) const {
    const auto text = value(section, key);
    if (!text) return def;
    return numtext::parseFloat(*text).value_or(def);
}

std::string IniImage::readString(std::string_view section, std::string_view key,
                                 const std::string& def) const {
    return value(section, key).value_or(def);
}

void IniImage::writeString(std::string_view section, std::string_view key, const std::string& value) {
    Section* s = findSection(section);
    if (!s) {
        sections_.push_back(Section{oneLine(section), {}});
        s = &sections_.back();
    }
    for (auto& line : s->lines) {
        if (line.isPair && sameName(line.key, key)) {
            line.value = oneLine(value);
            return;
        }
    }
    s->lines.push_back(Line{oneLine(key), oneLine(value), true});
}

void IniImage::writeInteger(std::string_view section, std::string_view key, long long value) {
    writeString(section, key, std::to_string(value));
}

void IniImage::writeBool(std::string_view section, std::string_view key, bool value) {
    writeString(section, key, value ? "1" : "0");
}

void IniImage::writeFloat(std::string_view section, std::string_view key, double value) {
    writeString(section, key, numtext::formatGeneral(value, 15));
}

bool IniImage::hasSection(std::string_view name) const {
    return findSection(name) != nullptr;
}

std::vector<std::string> IniImage::sections() const {
    std::vector<std::string> names;
    names.reserve(sections_.size());
    for (const auto& s : sections_) names.push_back(s.name);
    return names;
}
