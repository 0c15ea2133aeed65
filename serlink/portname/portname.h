// Where a port name leads on this system.
#pragma once

#include <string>

namespace serlink {

// "COMn": the entry ports/COMn beside the running program when it exists (a
// dangling link included: the port is then missing), else /dev/ttyS<n-1>.
// A name containing '/' is a device path as it stands. Empty for other names.
std::string devicePath(const char* name);

}  // namespace serlink
