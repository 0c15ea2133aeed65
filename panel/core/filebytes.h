// The disk under the INI files: whole-file reads and atomic replacement, one
// implementation per platform. Both throw IniFileError with the reason.
#pragma once

#include <string>

namespace filebytes {

// The file's bytes; `missing` is set (and nothing returned) when there is no
// such file.
std::string read(const std::string& path, bool& missing);

// Writes a temporary file in the same folder and renames it over the old
// one, so that a reader sees the old file or the new one, never a mix.
void replace(const std::string& path, const std::string& bytes);

}  // namespace filebytes
