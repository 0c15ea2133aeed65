// The texts of the drive's state codes, as the position page shows them, and
// the short names of its flags.
#pragma once

#include <string>

namespace drivestate {

inline constexpr int Count = 13;

// The text of a state code, or nullptr for a code that has none (13 and up).
const char* text(int code);

// The names of the set flags, space-separated: "откр", "закр", "LIMO", "LIMC", "PC".
std::string flagsText(int driveFlags);

}  // namespace drivestate
