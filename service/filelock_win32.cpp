#include "filelock.h"

#include <windows.h>

#include <string>

namespace service {

namespace {

std::wstring wide(const std::string& utf8)
{
    const int n =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

}  // namespace

FileLock::FileLock(const std::string& path)
{
    const HANDLE h = ::CreateFileW(wide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error_ = "cannot open " + path + ": error " + std::to_string(::GetLastError());
        return;
    }
    handle_ = reinterpret_cast<std::intptr_t>(h);
    OVERLAPPED whole{};
    locked_ = ::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole) != 0;
    if (!locked_)
        error_ = "cannot lock " + path + ": error " + std::to_string(::GetLastError());
}

FileLock::~FileLock()
{
    if (handle_ != -1) {
        const HANDLE h = reinterpret_cast<HANDLE>(handle_);
        OVERLAPPED whole{};
        ::UnlockFileEx(h, 0, MAXDWORD, MAXDWORD, &whole);
        ::CloseHandle(h);
    }
}

}  // namespace service
