// The library's functions for a program that loads serlink.dll itself: from
// the program's own folder, by its full path, and from nowhere else. An
// import from the executable would let the system look for the DLL in the
// current folder and along PATH when the folder lacks it, so that a DLL
// planted there would run inside the program.
#include <windows.h>

#include <mutex>
#include <string>

#include "serlink.h"

namespace {

struct Functions {
    decltype(&AccessCOM) accessCom = nullptr;
    decltype(&OpenCOM) openCom = nullptr;
    decltype(&CloseCOM) closeCom = nullptr;
    decltype(&GetHandleCOM) getHandleCom = nullptr;
    decltype(&SetModeCOM) setModeCom = nullptr;
    decltype(&SetModLns) setModLns = nullptr;
    decltype(&GetModLns) getModLns = nullptr;
    decltype(&PurgeCOM) purgeCom = nullptr;
    decltype(&FlushCOM) flushCom = nullptr;
    decltype(&GetMaskCOM) getMaskCom = nullptr;
    decltype(&SetMaskCOM) setMaskCom = nullptr;
    decltype(&WaitEventCOM) waitEventCom = nullptr;
    decltype(&TxFrame) txFrame = nullptr;
    decltype(&RxFrame) rxFrame = nullptr;
};

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

template <typename F>
void bind(HMODULE dll, const char* name, F& f)
{
    f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

// Loaded on the first call; when the folder has no usable serlink.dll every
// function fails, as it does for a port that is not there.
const Functions& functions()
{
    static Functions f;
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
        Functions g;
        bind(dll, "AccessCOM", g.accessCom);
        bind(dll, "OpenCOM", g.openCom);
        bind(dll, "CloseCOM", g.closeCom);
        bind(dll, "GetHandleCOM", g.getHandleCom);
        bind(dll, "SetModeCOM", g.setModeCom);
        bind(dll, "SetModLns", g.setModLns);
        bind(dll, "GetModLns", g.getModLns);
        bind(dll, "PurgeCOM", g.purgeCom);
        bind(dll, "FlushCOM", g.flushCom);
        bind(dll, "GetMaskCOM", g.getMaskCom);
        bind(dll, "SetMaskCOM", g.setMaskCom);
        bind(dll, "WaitEventCOM", g.waitEventCom);
        bind(dll, "TxFrame", g.txFrame);
        bind(dll, "RxFrame", g.rxFrame);
        if (g.accessCom && g.openCom && g.closeCom && g.getHandleCom && g.setModeCom &&
            g.setModLns && g.getModLns && g.purgeCom && g.flushCom && g.getMaskCom &&
            g.setMaskCom && g.waitEventCom && g.txFrame && g.rxFrame)
            f = g;
        else
            FreeLibrary(dll);
    });
    return f;
}

}  // namespace

extern "C" {

int SERLINK_CALL AccessCOM(const char* name)
{
    const auto f = functions().accessCom;
    return f ? f(name) : 0;
}

int SERLINK_CALL OpenCOM(const char* name, uint32_t baud)
{
    const auto f = functions().openCom;
    return f ? f(name, baud) : 0;
}

int SERLINK_CALL CloseCOM(void)
{
    const auto f = functions().closeCom;
    return f ? f() : 0;
}

intptr_t SERLINK_CALL GetHandleCOM(void)
{
    const auto f = functions().getHandleCom;
    return f ? f() : 0;
}

int SERLINK_CALL SetModeCOM(int rtsMode, int dtrMode)
{
    const auto f = functions().setModeCom;
    return f ? f(rtsMode, dtrMode) : 0;
}

int SERLINK_CALL SetModLns(uint32_t function)
{
    const auto f = functions().setModLns;
    return f ? f(function) : 0;
}

int SERLINK_CALL GetModLns(uint32_t* status)
{
    const auto f = functions().getModLns;
    return f ? f(status) : 0;
}

int SERLINK_CALL PurgeCOM(void)
{
    const auto f = functions().purgeCom;
    return f ? f() : 0;
}

int SERLINK_CALL FlushCOM(void)
{
    const auto f = functions().flushCom;
    return f ? f() : 0;
}

int SERLINK_CALL GetMaskCOM(uint32_t* mask)
{
    const auto f = functions().getMaskCom;
    return f ? f(mask) : 0;
}

int SERLINK_CALL SetMaskCOM(uint32_t mask)
{
    const auto f = functions().setMaskCom;
    return f ? f(mask) : 0;
}

int SERLINK_CALL WaitEventCOM(uint32_t* event)
{
    const auto f = functions().waitEventCom;
    return f ? f(event) : 0;
}

int SERLINK_CALL TxFrame(uint8_t address, uint8_t command, uint8_t count, const uint8_t* data)
{
    const auto f = functions().txFrame;
    return f ? f(address, command, count, data) : 0;
}

int SERLINK_CALL RxFrame(uint32_t timeout, uint8_t* address, uint8_t* command, uint8_t* count,
                         uint8_t* data)
{
    const auto f = functions().rxFrame;
    return f ? f(timeout, address, command, count, data) : 0;
}

}  // extern "C"
