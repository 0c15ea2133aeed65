// The ports/ folder beside a program, where "COMn" names are looked up: the
// simulator, the tests and the benchmarks point its entries at pseudo-terminals,
// and every other COM number at nothing, so that none of them ever reaches a
// real serial device.
#pragma once

#include <filesystem>
#include <string>

namespace support {

// A target that never exists: a link to it is a missing port.
inline constexpr const char* MissingDevice = "/nonexistent/tirs-missing-port";

// The folder of the running program.
std::filesystem::path programFolder();

// Replaces whatever is at path with a symbolic link to target, making the
// folder when needed. Throws std::system_error when it cannot.
void replaceWithLink(const std::filesystem::path& path, const std::string& target);

// ports/<name> beside the running program leads to target; an empty target
// makes the port missing.
void linkPort(const std::string& name, const std::string& target = {});
void linkPort(int n, const std::string& target = {});

// COM<simPort> leads to target, COM1 … COM<maxPort> otherwise to nothing.
void pointPortsAt(const std::string& target, int simPort, int maxPort = 9);

}  // namespace support
