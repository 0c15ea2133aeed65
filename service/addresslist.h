// Address lists as tools take them: "1,3,5-9" (ascending, no repeats).
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace service {

// A text that is not such a list; the message says what a list looks like.
class AddressListError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// Empty text gives an empty list; anything else that is not a list of
// addresses 1..127 throws AddressListError.
std::vector<int> parseAddressList(const std::string& text);

}  // namespace service
