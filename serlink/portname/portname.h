// Where a port name leads on this system.
#pragma once

#include <string>

namespace serlink {

// The device a port name opens, empty for a name that is none.
// POSIX: "COMn" is the entry ports/COMn beside the running program when it
// exists (a dangling link included: the port is then missing), else
// /dev/ttyS<n-1>; a name containing '/' is a device path as it stands.
// Windows: "COMn" is \\.\COMn (so that COM10 and above open too); a name
// containing '\' is a device path as it stands.
std::string devicePath(const char* name);

// A name that is a device path and stands as it is: one with '/' on POSIX,
// with '\' on Windows.
bool isDevicePath(const char* name);

// The n of "COMn" (n from 1), or 0 when the name is not of that form.
unsigned comNumber(const char* name);

}  // namespace serlink
