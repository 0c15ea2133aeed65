#include "portlinks.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace bench {

void pointPortsAt(const std::string& target, int simPort, int maxPort)
{
    const fs::path ports = fs::read_symlink("/proc/self/exe").parent_path() / "ports";
    fs::create_directories(ports);
    for (int n = 1; n <= maxPort; ++n) {
        const fs::path entry = ports / ("COM" + std::to_string(n));
        std::error_code ignored;
        fs::remove(entry, ignored);
        const fs::path to = n == simPort ? fs::path(target)
                                         : fs::path("/nonexistent/tirs-bench-COM" + std::to_string(n));
        fs::create_symlink(to, entry);
    }
}

SilentPty::SilentPty()
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0) {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
        return;
    }
    slavePath_ = name;
}

SilentPty::~SilentPty()
{
    if (master_ >= 0)
        ::close(master_);
}

}  // namespace bench
