#include "serialdevices.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> sortedNames(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The device a path leads to, all links followed; empty when it leads nowhere.
std::string resolved(const std::string& path)
{
    std::error_code ec;
    const fs::path real = fs::canonical(path, ec);
    return ec ? std::string{} : real.string();
}

// "usb-FTDI_USB-RS485_Cable_FT1ABC23-if00-port0" -> "FTDI USB-RS485 Cable":
// udev's name is bus, maker_model_serial and the interface; the serial
// number tells two equal adapters apart no better than the kernel's name.
std::string shortStableName(std::string name)
{
    static const std::regex bus("^[a-z]+-");
    static const std::regex interface("-if[0-9]+(-port[0-9]+)?$");
    name = std::regex_replace(name, bus, "");
    name = std::regex_replace(name, interface, "");
    const auto parts = std::count(name.begin(), name.end(), '_');
    if (parts >= 2)
        name.erase(name.rfind('_'));
    std::replace(name.begin(), name.end(), '_', ' ');
    return name;
}

// The kernel's name of the device a stable name stands for: the last part of
// its link ("../../ttyUSB0"), not followed further.
std::string kernelName(const std::string& path)
{
    std::error_code ec;
    const fs::path target = fs::read_symlink(path, ec);
    return (ec ? fs::path(path) : target).filename().string();
}

bool isUnder(const std::string& path, const std::string& folder)
{
    return path.size() > folder.size() + 1 && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

// ttyUSB*, ttyACM*, ttyS* in this order, each by its number.
std::vector<std::string> kernelDevices(const SerialDeviceRoots& roots)
{
    static const std::array<std::string, 3> kinds{"ttyUSB", "ttyACM", "ttyS"};
    std::vector<std::string> out;
    const std::vector<std::string> names = sortedNames(roots.dev);
    for (const std::string& kind : kinds) {
        std::vector<std::pair<long, std::string>> found;
        const std::regex pattern(kind + "([0-9]+)");
        std::smatch m;
        for (const std::string& name : names)
            if (std::regex_match(name, m, pattern))
                found.emplace_back(std::stol(m[1]), name);
        std::sort(found.begin(), found.end());
        for (const auto& [number, name] : found)
            out.push_back(name);
    }
    return out;
}

// An on-board UART the kernel reserves a name for is fitted when its sysfs
// type is not 0 (no device opened to find out).
bool uartFitted(const SerialDeviceRoots& roots, const std::string& name)
{
    std::ifstream type(roots.sysTty + "/" + name + "/type");
    int value = 0;
    return type && (type >> value) && value != 0;
}

}  // namespace

std::vector<SerialDevice> ListSerialDevices(const SerialDeviceRoots& roots)
{
    std::vector<SerialDevice> out;
    std::set<std::string> covered;  // devices already offered under a stable name
    for (const std::string& name : sortedNames(roots.byId)) {
        const std::string path = roots.byId + "/" + name;
        const std::string device = resolved(path);
        if (device.empty())
            continue;
        covered.insert(device);
        out.push_back({path, DescribeDevice(path, roots)});
    }
    for (const std::string& name : kernelDevices(roots)) {
        const std::string path = roots.dev + "/" + name;
        if (name.rfind("ttyS", 0) == 0 && !uartFitted(roots, name))
            continue;
        if (covered.count(resolved(path)) != 0)
            continue;
        out.push_back({path, name});
    }
    return out;
}

std::string DescribeDevice(const std::string& path, const SerialDeviceRoots& roots)
{
    if (isUnder(path, roots.byId)) {
        const std::string kernel =
            resolved(path).empty() ? std::string("не подключено") : kernelName(path);
        return shortStableName(fs::path(path).filename().string()) + " (" + kernel + ")";
    }
    if (isUnder(path, roots.dev))
        return path.substr(roots.dev.size() + 1);
    return path;
}

std::string CharacterDeviceProblem(const std::string& path)
{
    if (path.empty())
        return "не указан путь к устройству";
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::exists(status))
        return path + ": нет такого устройства";
    if (!fs::is_character_file(status))
        return path + ": не символьное устройство (порт — это устройство вроде /dev/ttyUSB0 "
                      "или /dev/pts/3)";
    return {};
}
