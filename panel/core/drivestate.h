// The texts of the drive's state codes, as the position page shows them.
#pragma once

namespace drivestate {

inline constexpr int Count = 13;

// The text of a state code, or nullptr for a code that has none (13 and up).
const char* text(int code);

}  // namespace drivestate
