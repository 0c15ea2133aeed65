// The library's functions for a program that loads serlink.dll itself: from
// the program's own folder, by its full path, and from nowhere else. An
// import from the executable would let the system look for the DLL in the
// current folder and along PATH when the folder lacks it, so that a DLL
// planted there would run inside the program.
#include <windows.h>

#include <array>
#include <cstddef>
#include <mutex>
#include <string>

#include "serlink.h"

namespace {

// The library's functions, each by its place in the table of their exported
// names.
enum Function : std::size_t {
    SlotAccessCOM,
    SlotOpenCOM,
    SlotCloseCOM,
    SlotGetHandleCOM,
    SlotSetModeCOM,
    SlotSetModLns,
    SlotGetModLns,
    SlotPurgeCOM,
    SlotFlushCOM,
    SlotGetMaskCOM,
    SlotSetMaskCOM,
    SlotWaitEventCOM,
    SlotTxFrame,
    SlotRxFrame,
    FunctionCount
};
constexpr std::array<const char*, FunctionCount> FunctionNames = {
    "AccessCOM", "OpenCOM",  "CloseCOM",   "GetHandleCOM", "SetModeCOM",   "SetModLns", "GetModLns",
    "PurgeCOM",  "FlushCOM", "GetMaskCOM", "SetMaskCOM",   "WaitEventCOM", "TxFrame",   "RxFrame"};

using Addresses = std::array<FARPROC, FunctionCount>;

std::wstring programFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

// Loaded on the first call, all functions or none: when the folder has no
// usable serlink.dll every function fails, as it does for a port that is
// not there.
const Addresses& functions()
{
    static Addresses addresses{};
    static std::once_flag once;
    std::call_once(once, [] {
        const std::wstring folder = programFolder();
        if (folder.empty())
            return;
        // The altered search path makes the DLL's own imports (system DLLs)
        // resolve from its folder and the system's, not the current folder.
        HMODULE dll = LoadLibraryExW((folder + L"serlink.dll").c_str(), nullptr,
                                     LOAD_WITH_ALTERED_SEARCH_PATH);
        if (!dll)
            return;
        Addresses found{};
        for (std::size_t i = 0; i < FunctionCount; ++i) {
            found[i] = GetProcAddress(dll, FunctionNames[i]);
            if (!found[i]) {
                FreeLibrary(dll);
                return;
            }
        }
        addresses = found;
    });
    return addresses;
}

// Calls the library's function with the type of its forwarder `Self` (the
// same declaration in serlink.h); 0 without the library.
template <auto Self, typename... Args>
auto forward(Function function, Args... args)
{
    const FARPROC address = functions()[function];
    return address ? reinterpret_cast<decltype(Self)>(reinterpret_cast<void*>(address))(args...)
                   : decltype(Self(args...)){};
}

}  // namespace

extern "C" {

int SERLINK_CALL AccessCOM(const char* name)
{
    return forward<&AccessCOM>(SlotAccessCOM, name);
}

int SERLINK_CALL OpenCOM(const char* name, uint32_t baud)
{
    return forward<&OpenCOM>(SlotOpenCOM, name, baud);
}

int SERLINK_CALL CloseCOM(void)
{
    return forward<&CloseCOM>(SlotCloseCOM);
}

intptr_t SERLINK_CALL GetHandleCOM(void)
{
    return forward<&GetHandleCOM>(SlotGetHandleCOM);
}

int SERLINK_CALL SetModeCOM(int rtsMode, int dtrMode)
{
    return forward<&SetModeCOM>(SlotSetModeCOM, rtsMode, dtrMode);
}

int SERLINK_CALL SetModLns(uint32_t function)
{
    return forward<&SetModLns>(SlotSetModLns, function);
}

int SERLINK_CALL GetModLns(uint32_t* status)
{
    return forward<&GetModLns>(SlotGetModLns, status);
}

int SERLINK_CALL PurgeCOM(void)
{
    return forward<&PurgeCOM>(SlotPurgeCOM);
}

int SERLINK_CALL FlushCOM(void)
{
    return forward<&FlushCOM>(SlotFlushCOM);
}

int SERLINK_CALL GetMaskCOM(uint32_t* mask)
{
    return forward<&GetMaskCOM>(SlotGetMaskCOM, mask);
}

int SERLINK_CALL SetMaskCOM(uint32_t mask)
{
    return forward<&SetMaskCOM>(SlotSetMaskCOM, mask);
}

int SERLINK_CALL WaitEventCOM(uint32_t* event)
{
    return forward<&WaitEventCOM>(SlotWaitEventCOM, event);
}

int SERLINK_CALL TxFrame(uint8_t address, uint8_t command, uint8_t count, const uint8_t* data)
{
    return forward<&TxFrame>(SlotTxFrame, address, command, count, data);
}

int SERLINK_CALL RxFrame(uint32_t timeout, uint8_t* address, uint8_t* command, uint8_t* count,
                         uint8_t* data)
{
    return forward<&RxFrame>(SlotRxFrame, timeout, address, command, count, data);
}

}  // extern "C"
