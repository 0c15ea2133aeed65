// The CSV dialect of the program's own files: ';' between fields, a field
// that holds ';', '"' or a line break in double quotes with its quotes
// doubled, one record per line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace service {

namespace csv {

inline constexpr char Separator = ';';

std::string field(std::string_view text);
std::string line(const std::vector<std::string>& fields);  // without the line end
// Splits one record; an unterminated quote runs to the end of the line.
std::vector<std::string> split(std::string_view line);

}  // namespace csv

}  // namespace service
