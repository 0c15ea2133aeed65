#include "backup.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "addressscope.h"
#include "filebytes.h"
#include "inifile.h"
#include "isotime.h"
#include "wakeport.h"
#include "codes.h"

namespace fs = std::filesystem;

namespace service {

namespace {

constexpr const char* DeviceSection = "Device";

// "A<address>.par", the extension in any case.
bool isBackupName(const std::string& name)
{
    if (name.size() < 6 || name[0] != 'A')
        return false;
    std::string ext = name.substr(name.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::string digits = name.substr(1, name.size() - 5);
    return ext == ".par" && !digits.empty() && digits.size() <= 3 &&
           std::all_of(digits.begin(), digits.end(),
                       [](unsigned char c) { return std::isdigit(c); });
}

BackupItem backupOne(TWakePort& port, const fs::path& dir, const FoundActuator& actuator,
                     const BackupOptions& options)
{
    BackupItem item{actuator.address, actuator.type, {}, {}};
    try {
        const ParamSet params = readParams(port, actuator.address);
        const RelaySet relays = readRelays(port, actuator.address);
        IniImage file;
        deviceToFile(file, {actuator.address, actuator.type,
                            options.name ? options.name(actuator.address) : std::string{},
                            isoLocalTime(std::chrono::system_clock::now())});
        paramsToFile(file, params);
        relaysToFile(file, relays);
        item.file = (dir / backupFileName(actuator.address)).string();
        // Synced with the others once the line is done (see backupLine).
        filebytes::replaceUnsynced(item.file, file.toBytes());
    } catch (const std::exception& e) {
        item.error = e.what();
    }
    return item;
}

}  // namespace

std::string backupFileName(int address)
{
    return "A" + std::to_string(address) + ".par";
}

void deviceToFile(IniImage& file, const DeviceRecord& device)
{
    file.writeInteger(DeviceSection, "Address", device.address);
    file.writeString(DeviceSection, "Type", device.type);
    file.writeString(DeviceSection, "Name", device.name);
    file.writeString(DeviceSection, "Date", device.date);
}

DeviceRecord deviceFromFile(const IniImage& file)
{
    DeviceRecord d;
    d.address = file.readInt(DeviceSection, "Address", 0);
    if (d.address < 1 || d.address > wake::MaxAddress)
        d.address = 0;
    d.type = file.readString(DeviceSection, "Type", {});
    d.name = file.readString(DeviceSection, "Name", {});
    d.date = file.readString(DeviceSection, "Date", {});
    return d;
}

std::vector<BackupItem> backupLine(TWakePort& port, const std::string& dir,
                                   const BackupOptions& options)
{
    std::vector<FoundActuator> actuators;
    std::vector<BackupItem> items;
    const auto finish = [&](BackupItem item) {
        if (options.done)
            options.done(item);
        items.push_back(std::move(item));
    };
    if (options.addresses.empty()) {
        actuators = scanLine(port, options.scan);
    } else {
        for (int address : options.addresses) {
            if (options.scan.cancelled && options.scan.cancelled())
                break;
            AddressScope scope(port, address);
            try {
                actuators.push_back({address, port.GetInfo()});
            } catch (const EHardwareException& e) {
                finish({address, {}, {}, e.what()});
            }
        }
    }
    std::error_code ec;
    fs::create_directories(fs::path(dir), ec);
    for (const FoundActuator& actuator : actuators) {
        if (options.scan.cancelled && options.scan.cancelled())
            break;
        finish(backupOne(port, fs::path(dir), actuator, options));
    }
    // A finished backup is on disk: the files, then the folder, once for
    // all, not twice per file while the line waits.
    std::vector<std::string> written;
    for (const BackupItem& item : items)
        if (item.ok())
            written.push_back(item.file);
    try {
        filebytes::sync(written);
    } catch (const IniFileError& e) {
        for (BackupItem& item : items)
            if (item.ok())
                item.error = e.what();
    }
    std::sort(items.begin(), items.end(),
              [](const BackupItem& a, const BackupItem& b) { return a.address < b.address; });
    return items;
}

RestoreItem restoreFile(TWakePort& port, const std::string& path, const RestoreOptions& options)
{
    RestoreItem item;
    item.file = path;
    IniImage file;
    try {
        file = IniImage::load(path);
    } catch (const IniFileError& e) {
        item.result = RestoreItem::BadFile;
        item.error = e.what();
        return item;
    }
    item.device = deviceFromFile(file);
    if (item.device.address == 0) {
        item.result = RestoreItem::BadFile;
        item.error = "в файле нет адреса привода ([Device] Address)";
        return item;
    }
    const paramfile::Reading reading = paramfile::inspect(file);
    item.error = paramfile::refusal(reading);
    if (item.error.empty() && !options.allowDefaults)
        item.error = paramfile::missingText(reading);
    if (!item.error.empty()) {
        item.result = RestoreItem::BadFile;
        return item;
    }
    const int address = item.device.address;
    try {
        {
            AddressScope scope(port, address);
            item.deviceType = port.GetInfo();
        }
        if (item.deviceType != item.device.type && !options.force) {
            item.result = RestoreItem::TypeMismatch;
            return item;
        }
        item.params = writeParamsVerified(port, address, paramsFromFile(file),
                                          {options.travel, options.dryRun});
        if (const auto relays = relaysFromFile(file)) {
            item.hasRelays = true;
            item.relays = writeRelaysVerified(port, address, *relays, options.dryRun);
        }
    } catch (const EHardwareException& e) {
        item.result = RestoreItem::Failed;
        item.error = e.what();
        return item;
    }
    const bool differs = !item.params.before.empty() || !item.relays.before.empty();
    if (options.dryRun)
        item.result = differs ? RestoreItem::DryRun : RestoreItem::Unchanged;
    else if (!item.params.verified() || !item.relays.verified())
        item.result = RestoreItem::VerifyFailed;
    else if (item.params.written || item.relays.written)
        item.result = RestoreItem::Restored;
    else
        item.result = RestoreItem::Unchanged;
    return item;
}

std::vector<std::string> backupFiles(const std::string& dir)
{
    std::vector<std::pair<int, std::string>> files;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(dir), ec)) {
        const std::string name = entry.path().filename().string();
        if (isBackupName(name))
            files.emplace_back(std::stoi(name.substr(1)), entry.path().string());
    }
    std::sort(files.begin(), files.end());
    std::vector<std::string> paths;
    for (auto& file : files)
        paths.push_back(std::move(file.second));
    return paths;
}

std::vector<std::string> filesNotRestored(const std::string& dir,
                                          const std::vector<RestoreItem>& items)
{
    std::vector<std::string> left;
    for (const std::string& path : backupFiles(dir))
        if (std::none_of(items.begin(), items.end(),
                         [&](const RestoreItem& item) { return item.file == path; }))
            left.push_back(path);
    return left;
}

std::vector<int> addressesNotBackedUp(const std::vector<int>& wanted,
                                      const std::vector<BackupItem>& items)
{
    std::vector<int> left;
    for (int address : wanted)
        if (std::none_of(items.begin(), items.end(),
                         [&](const BackupItem& item) { return item.address == address; }))
            left.push_back(address);
    return left;
}

std::vector<RestoreItem> restoreLine(TWakePort& port, const std::string& dir,
                                     const RestoreOptions& options)
{
    std::vector<RestoreItem> items;
    for (const std::string& path : backupFiles(dir)) {
        if (options.cancelled && options.cancelled())
            break;
        items.push_back(restoreFile(port, path, options));
        if (options.done)
            options.done(items.back());
    }
    return items;
}

}  // namespace service
