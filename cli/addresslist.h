// Address lists on the command line: "1,3,5-9" (ascending, no repeats).
#pragma once

#include <string>
#include <vector>

// Empty text gives an empty list; anything else that is not such a list of
// addresses 1..127 throws UsageError.
std::vector<int> parseAddressList(const std::string& text);
