// Whole-file reads, atomic replacement and whole appends with the Windows
// file functions. Paths are UTF-8 inside the program and wide at the
// system's edge. A replacement's rename takes a link's place (the link is
// never written through); an append refuses a link (a reparse point) in the
// file's place, since its owners are not compared here.
#include "filebytes.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <system_error>

#include "inifile.h"

namespace {

// A settings or parameter file is a few kilobytes; anything this big is not one.
constexpr LONGLONG MaxFileSize = 16 * 1024 * 1024;

std::wstring wide(const std::string& utf8)
{
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
    return w;
}

std::string systemReason(DWORD error)
{
    return std::system_category().message(static_cast<int>(error));
}

class FileHandle {
public:
    explicit FileHandle(HANDLE h) : h_(h) {}
    ~FileHandle() { close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return h_; }
    bool close()
    {
        const bool ok = h_ == INVALID_HANDLE_VALUE || CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE h_;
};

// The size of an open file that must be a file on a disk (not a device or a pipe).
LARGE_INTEGER diskFileSize(HANDLE h, const std::string& path)
{
    if (GetFileType(h) != FILE_TYPE_DISK)
        throw IniFileError(IniFileError::Kind::NotRegularFile,
                           "Cannot open file " + path + ". Not a regular file");
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(h, &size))
        throw IniFileError(IniFileError::Kind::Open,
                           "Cannot open file " + path + ". " + systemReason(GetLastError()));
    return size;
}

}  // namespace

namespace filebytes {

std::string read(const std::string& path, bool& missing)
{
    missing = false;
    const HANDLE h =
        CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            missing = true;
            return {};
        }
        throw IniFileError(IniFileError::Kind::Open,
                           "Cannot open file " + path + ". " + systemReason(error));
    }
    FileHandle file(h);
    const LARGE_INTEGER size = diskFileSize(h, path);
    if (size.QuadPart > MaxFileSize)
        throw IniFileError(IniFileError::Kind::TooLarge, "File " + path + " is too large");
    std::string bytes;
    char buf[65536];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(h, buf, sizeof buf, &n, nullptr))
            throw IniFileError(IniFileError::Kind::Read,
                               "Cannot read file " + path + ". " + systemReason(GetLastError()));
        if (n == 0)
            break;
        bytes.append(buf, n);
        // The file may grow while it is read.
        if (bytes.size() > static_cast<std::size_t>(MaxFileSize))
            throw IniFileError(IniFileError::Kind::TooLarge, "File " + path + " is too large");
    }
    return bytes;
}

void replace(const std::string& path, const std::string& bytes)
{
    static std::atomic<unsigned> counter{0};
    // A read-only file is never replaced (renaming over it would).
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        throw IniFileError(IniFileError::Kind::Refused,
                           "Cannot create file " + path + ". " + systemReason(ERROR_ACCESS_DENIED));
    std::string tempPath;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
        tempPath =
            path + ".~" + std::to_string(GetCurrentProcessId()) + "." + std::to_string(counter++);
        h = CreateFileW(wide(tempPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    if (h == INVALID_HANDLE_VALUE)
        throw IniFileError(IniFileError::Kind::Create, "Cannot create file " + path);
    FileHandle file(h);

    auto fail = [&](IniFileError::Kind kind, const std::string& message) {
        file.close();
        DeleteFileW(wide(tempPath).c_str());
        throw IniFileError(kind, message);
    };

    std::size_t written = 0;
    while (written < bytes.size()) {
        DWORD n = 0;
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1 << 20));
        if (!WriteFile(h, bytes.data() + written, chunk, &n, nullptr))
            fail(IniFileError::Kind::Write,
                 "Cannot write file " + path + ". " + systemReason(GetLastError()));
        written += n;
    }
    if (!FlushFileBuffers(h))
        fail(IniFileError::Kind::Write,
             "Cannot write file " + path + ". " + systemReason(GetLastError()));
    if (!file.close())
        fail(IniFileError::Kind::Write,
             "Cannot write file " + path + ". " + systemReason(GetLastError()));
    if (!MoveFileExW(wide(tempPath).c_str(), wide(path).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        fail(IniFileError::Kind::Create, "Cannot create file " + path);
}

// Windows writes each file through to the disk as it is replaced: nothing
// is left for the sync.
void replaceUnsynced(const std::string& path, const std::string& bytes)
{
    replace(path, bytes);
}

void sync(const std::vector<std::string>&) {}

void append(const std::string& path, const std::string& bytes, const std::string& firstLine)
{
    // FILE_APPEND_DATA alone: every write goes to the end of the file.
    const HANDLE h =
        CreateFileW(wide(path).c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw IniFileError(IniFileError::Kind::Open,
                           "Cannot open file " + path + ". " + systemReason(GetLastError()));
    FileHandle file(h);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info))
        throw IniFileError(IniFileError::Kind::Open,
                           "Cannot open file " + path + ". " + systemReason(GetLastError()));
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        throw IniFileError(IniFileError::Kind::Refused,
                           "Cannot write file " + path + ". A link is in its place");
    const LARGE_INTEGER size = diskFileSize(h, path);

    const std::string text = size.QuadPart == 0 ? firstLine + bytes : bytes;
    // A short write leaves part of the text: the file is cut back to its old
    // size (through a handle that may set the end), so no fragment stays.
    const auto fail = [&](DWORD error) {
        file.close();
        const HANDLE cut =
            CreateFileW(wide(path).c_str(), GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (cut != INVALID_HANDLE_VALUE) {
            FILE_END_OF_FILE_INFO end{};
            end.EndOfFile = size;
            SetFileInformationByHandle(cut, FileEndOfFileInfo, &end, sizeof end);
            CloseHandle(cut);
        }
        throw IniFileError(IniFileError::Kind::Write,
                           "Cannot write file " + path + ". " + systemReason(error));
    };
    std::size_t written = 0;
    while (written < text.size()) {
        DWORD n = 0;
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(text.size() - written, 1 << 20));
        if (!WriteFile(h, text.data() + written, chunk, &n, nullptr))
            fail(GetLastError());
        if (n == 0)
            fail(ERROR_DISK_FULL);
        written += n;
    }
    if (!file.close())
        throw IniFileError(IniFileError::Kind::Write,
                           "Cannot write file " + path + ". " + systemReason(GetLastError()));
}

}  // namespace filebytes
