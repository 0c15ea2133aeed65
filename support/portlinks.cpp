#include "portlinks.h"

#include <system_error>

namespace fs = std::filesystem;

namespace support {

fs::path programFolder()
{
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path() : exe.parent_path();
}

void replaceWithLink(const fs::path& path, const std::string& target)
{
    if (path.has_parent_path())
        fs::create_directories(path.parent_path());
    std::error_code ignored;
    fs::remove(path, ignored);
    fs::create_symlink(target, path);
}

void linkPort(const std::string& name, const std::string& target)
{
    replaceWithLink(programFolder() / "ports" / name, target.empty() ? MissingDevice : target);
}

void linkPort(int n, const std::string& target)
{
    linkPort("COM" + std::to_string(n), target);
}

void pointPortsAt(const std::string& target, int simPort, int maxPort)
{
    for (int n = 1; n <= maxPort; ++n)
        linkPort(n, n == simPort ? target : std::string());
}

}  // namespace support
