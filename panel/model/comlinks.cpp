#include "comlinks.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// A target that can never exist (/dev/null is no folder): the link leads
// nowhere, and the /dev/ttyS fallback is not taken either.
const char* const NothingTarget = "/dev/null/none";

std::string entryPath(const std::string& folder, int n)
{
    return folder + "/COM" + std::to_string(n);
}

[[noreturn]] void fail(PortLinkError::Kind kind, const std::string& folder,
                       const std::error_code& ec)
{
    throw PortLinkError(kind, "Папка " + folder + " недоступна для записи: " + ec.message());
}

}  // namespace

PortLink ReadPortLink(const std::string& portsFolder, int n)
{
    const std::string entry = entryPath(portsFolder, n);
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(entry, ec);
    PortLink link;
    if (ec || !fs::exists(status)) {
        link.kind = PortLink::Kind::Fallback;
        link.target = "/dev/ttyS" + std::to_string(n - 1);
    } else if (fs::is_symlink(status)) {
        link.target = fs::read_symlink(entry, ec).string();
        link.kind = link.target == NothingTarget ? PortLink::Kind::Nothing : PortLink::Kind::Device;
        if (!link.target.empty() && link.target.front() != '/')
            link.target = portsFolder + "/" + link.target;  // relative to its folder
    } else {
        link.kind = PortLink::Kind::Other;
        link.target = entry;
    }
    link.present = link.kind != PortLink::Kind::Nothing && fs::exists(link.target, ec);
    return link;
}

void WritePortLink(const std::string& portsFolder, int n, const std::string& device)
{
    std::error_code ec;
    fs::create_directories(portsFolder, ec);
    if (ec)
        fail(PortLinkError::Kind::Folder, portsFolder, ec);
    const std::string entry = entryPath(portsFolder, n);
    const std::string staged = portsFolder + "/.COM" + std::to_string(n) + ".new";
    fs::remove(staged, ec);
    fs::create_symlink(device.empty() ? NothingTarget : device, staged, ec);
    if (ec)
        fail(PortLinkError::Kind::Link, portsFolder, ec);
    fs::rename(staged, entry, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(staged, ignored);
        fail(PortLinkError::Kind::Link, portsFolder, ec);
    }
}

std::string DescribePortLink(const PortLink& link, const SerialDeviceRoots& roots)
{
    if (link.kind == PortLink::Kind::Nothing)
        return "нет устройства";
    std::string text = DescribeDevice(link.target, roots);
    // A stable name says by itself that it leads nowhere now.
    if (!link.present && text.find("(не подключено)") == std::string::npos)
        text += " (не подключено)";
    return text;
}
