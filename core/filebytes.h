// The disk under the INI files: whole-file reads and atomic replacement, one
// implementation per platform. Both throw IniFileError with the reason.
#pragma once

#include <string>

namespace filebytes {

// The file's bytes; `missing` is set (and nothing returned) when there is no
// such file.
std::string read(const std::string& path, bool& missing);

// Writes a temporary file in the same folder and renames it over the old
// one, so that a reader sees the old file or the new one, never a mix. A
// file the user could not write (read-only) is never replaced. On POSIX the
// replacement keeps the old file's owner, group and mode, or the file is
// written in place where that cannot be (a folder the user may not write, an
// owner the temporary cannot be given); a symbolic link in the file's place
// is followed only when it belongs to the user running the program.
void replace(const std::string& path, const std::string& bytes);

}  // namespace filebytes
