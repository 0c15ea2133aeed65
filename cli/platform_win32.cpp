#include <io.h>
#include <stdio.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "platform.h"

namespace platform {

std::string programFolder()
{
    wchar_t path[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
    if (n == 0 || n >= std::size(path))
        return {};
    return std::filesystem::path(std::wstring(path, n)).parent_path().string();
}

bool stderrIsTerminal()
{
    return _isatty(_fileno(stderr)) != 0;
}

}  // namespace platform
