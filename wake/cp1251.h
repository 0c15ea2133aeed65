// Windows-1251 at the edges of the program (the identification text from the
// wire, the settings and parameter files); UTF-8 inside.
#pragma once

#include <string>
#include <string_view>

namespace cp1251 {

std::string toUtf8(std::string_view bytes);
// A character that Windows-1251 cannot hold becomes '?'; invalid UTF-8 too.
std::string fromUtf8(std::string_view utf8);

}  // namespace cp1251
