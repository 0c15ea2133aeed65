// The little that tirsctl asks of the operating system besides the serial
// line: where the program lies, whether stderr is a terminal, and texts in
// UTF-8 at the console. One file per platform implements it.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The folder of the running program, without a trailing separator; empty
// when it cannot be told.
std::string programFolder();

// Whether standard error goes to a terminal (progress bars only there).
bool stderrIsTerminal();

// The command-line arguments in UTF-8, like every text inside the program
// (Windows hands them over in the ANSI code page), and a console that shows
// the program's UTF-8 output as such (Windows consoles read their OEM code
// page otherwise).
std::vector<std::string> utf8Arguments(int argc, char** argv);
void useUtf8Console();

}  // namespace platform
