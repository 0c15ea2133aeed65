// The monitor's rows as a CSV file (the journal's dialect, csv.h).
#pragma once

#include <string>
#include <vector>

#include "exchangering.h"

namespace service {

namespace exchangecsv {

std::string header();
std::string row(const LoggedExchange& e);
// Writes the header and the rows; false with the reason in error on failure.
bool write(const std::string& path, const std::vector<const LoggedExchange*>& entries,
           std::string& error);

}  // namespace exchangecsv

}  // namespace service
