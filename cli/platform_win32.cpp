#include <io.h>
#include <stdio.h>
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "platform.h"

namespace platform {

namespace {

std::string utf8(const wchar_t* text, int length)
{
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), bytes, nullptr, nullptr);
    return out;
}

}  // namespace

std::string programFolder()
{
    wchar_t path[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
    if (n == 0 || n >= std::size(path))
        return {};
    int end = static_cast<int>(n);
    while (end > 0 && path[end - 1] != L'\\' && path[end - 1] != L'/')
        --end;
    return end > 0 ? utf8(path, end - 1) : std::string{};
}

bool stderrIsTerminal()
{
    return _isatty(_fileno(stderr)) != 0;
}

std::vector<std::string> utf8Arguments(int argc, char** argv)
{
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr || count != argc) {
        LocalFree(wide);
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i)
        args.push_back(utf8(wide[i], -1).c_str());
    LocalFree(wide);
    return args;
}

void useUtf8Console()
{
    SetConsoleOutputCP(CP_UTF8);
}

}  // namespace platform
