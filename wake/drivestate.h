// The texts of the drive's state codes, as the position page shows them, and
// the short names of its flags and the motion codes' buttons.
#pragma once

#include <string>

namespace drivestate {

inline constexpr int Count = 13;

// The text of a state code, or nullptr for a code that has none (13 and up).
const char* text(int code);

// The window's button for a SetS motion code ("Открыть", "Закрыть", "Стоп",
// "Стоп/откл."), or nullptr for another code.
const char* motionText(int code);

// The names of the set flags, space-separated: "откр", "закр", "LIMO", "LIMC", "PC".
std::string flagsText(int driveFlags);

}  // namespace drivestate
