#include "portname.h"

#include <cstring>

namespace serlink {

bool isDevicePath(const char* name)
{
    return std::strchr(name, '\\') != nullptr;
}

std::string devicePath(const char* name)
{
    if (isDevicePath(name))
        return name;
    if (comNumber(name) == 0)
        return {};
    return std::string("\\\\.\\") + name;
}

}  // namespace serlink
