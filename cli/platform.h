// The little that tirsctl asks of the operating system besides the serial
// line: where the program lies, whether stderr is a terminal. One file per
// platform implements it.
#pragma once

#include <string>

namespace platform {

// The folder of the running program, without a trailing separator; empty
// when it cannot be told.
std::string programFolder();

// Whether standard error goes to a terminal (progress bars only there).
bool stderrIsTerminal();

}  // namespace platform
