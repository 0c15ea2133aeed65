#include "portname.h"

#include <cstring>

namespace serlink {

std::string devicePath(const char* name)
{
    if (std::strchr(name, '\\') != nullptr)
        return name;
    if (comNumber(name) == 0)
        return {};
    return std::string("\\\\.\\") + name;
}

}  // namespace serlink
