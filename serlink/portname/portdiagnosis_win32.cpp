#include "portdiagnosis.h"

#include <windows.h>

namespace serlink {

namespace {

// The system's text for an error code, in UTF-8 like every text inside the program.
std::string systemText(DWORD error)
{
    wchar_t* wide = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&wide), 0, nullptr);
    std::string text;
    if (length > 0) {
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), nullptr,
                                              0, nullptr, nullptr);
        text.resize(static_cast<std::size_t>(bytes));
        WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), text.data(), bytes, nullptr,
                            nullptr);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
            text.pop_back();
    }
    LocalFree(wide);
    return text.empty() ? "error " + std::to_string(error) : text;
}

}  // namespace

// Windows tells a missing port from a held one only by opening it: first
// without access rights (is it there), then as the library opens it (is it
// free; a port in use answers access denied).
PortCondition diagnosePath(const std::string& path, std::string& detail)
{
    for (const DWORD access : {DWORD{0}, DWORD{GENERIC_READ | GENERIC_WRITE}}) {
        const HANDLE h = CreateFileA(path.c_str(), access, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            continue;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return PortCondition::NotFound;
        if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
            return PortCondition::Busy;
        detail = systemText(error);
        return PortCondition::Other;
    }
    return PortCondition::Openable;
}

}  // namespace serlink
