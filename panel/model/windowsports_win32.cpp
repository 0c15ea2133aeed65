// The ports from the registry (SERIALCOMM) and their friendly names from the
// system's device list of the class "Ports". Only names are read: no port is
// opened.
#include "windowsports.h"

#include <windows.h>

#include <devguid.h>
#include <setupapi.h>

namespace {

std::string utf8(const wchar_t* w, std::size_t n)
{
    while (n > 0 && w[n - 1] == L'\0')
        --n;
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, w, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w, static_cast<int>(n), s.data(), size, nullptr, nullptr);
    return s;
}

std::vector<std::string> serialComm()
{
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        wchar_t value[256];
        wchar_t data[256];
        DWORD valueSize = 256;
        DWORD dataSize = sizeof data;
        DWORD type = 0;
        const LONG r = RegEnumValueW(key, i, value, &valueSize, nullptr, &type,
                                     reinterpret_cast<BYTE*>(data), &dataSize);
        if (r == ERROR_NO_MORE_ITEMS)
            break;
        if (r == ERROR_SUCCESS && type == REG_SZ)
            names.push_back(utf8(data, dataSize / sizeof(wchar_t)));
    }
    RegCloseKey(key);
    return names;
}

std::map<std::string, std::string> friendlyNames()
{
    std::map<std::string, std::string> names;
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return names;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE)
            continue;
        wchar_t port[64];
        DWORD size = sizeof port;
        DWORD type = 0;
        const bool named =
            RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(port),
                             &size) == ERROR_SUCCESS &&
            type == REG_SZ;
        RegCloseKey(key);
        wchar_t name[256];
        DWORD nameSize = 0;
        if (named && SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_FRIENDLYNAME, nullptr,
                                                       reinterpret_cast<BYTE*>(name), sizeof name,
                                                       &nameSize))
            names[utf8(port, size / sizeof(wchar_t))] = utf8(name, nameSize / sizeof(wchar_t));
    }
    SetupDiDestroyDeviceInfoList(set);
    return names;
}

}  // namespace

WindowsPortSource SystemWindowsPorts()
{
    return {serialComm, friendlyNames};
}
