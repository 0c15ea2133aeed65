#include "portname.h"

#include <cstring>
#include <limits>

namespace serlink {

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

}  // namespace serlink
