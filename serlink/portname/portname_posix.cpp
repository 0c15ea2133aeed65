#include "portname.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <limits>

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

// The n of "COMn", or 0 when the name is not of that form.
unsigned comNumber(const char* name)
{
    if (std::strncmp(name, "COM", 3) != 0 || name[3] == '\0')
        return 0;
    unsigned long n = 0;
    for (const char* p = name + 3; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9')
            return 0;
        n = n * 10 + static_cast<unsigned long>(*p - '0');
        if (n > std::numeric_limits<unsigned>::max() / 10)
            return 0;
    }
    return static_cast<unsigned>(n);
}

}  // namespace

std::string devicePath(const char* name)
{
    if (std::strchr(name, '/') != nullptr)
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
