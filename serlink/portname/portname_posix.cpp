#include "portname.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace serlink {

namespace {

std::string programFolder()
{
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return {};
    path[n] = '\0';
    std::string folder(path);
    const auto slash = folder.rfind('/');
    return slash == std::string::npos ? std::string{} : folder.substr(0, slash);
}

}  // namespace

bool isDevicePath(const char* name)
{
    return std::strchr(name, '/') != nullptr;
}

std::string devicePath(const char* name)
{
    if (isDevicePath(name))
        return name;
    const unsigned n = comNumber(name);
    if (n == 0)
        return {};
    const std::string folder = programFolder();
    if (!folder.empty()) {
        std::string entry = folder + "/ports/" + name;
        struct stat st;
        if (lstat(entry.c_str(), &st) == 0)
            return entry;
    }
    return "/dev/ttyS" + std::to_string(n - 1);
}

}  // namespace serlink
