#include "addresslist.h"

#include <algorithm>
#include <sstream>

#include "numbertext.h"
#include "codes.h"

namespace service {

namespace {

int addressOf(const std::string& text, const std::string& whole)
{
    const auto v = numtext::parseInteger(text, false);
    if (!v || *v < 1 || *v > wake::MaxAddress)
        throw AddressListError("неверный список адресов: " + whole +
                               " (адреса 1…127, например 1,3,5-9)");
    return static_cast<int>(*v);
}

}  // namespace

std::vector<int> parseAddressList(const std::string& text)
{
    std::vector<int> out;
    std::stringstream items(text);
    std::string item;
    while (std::getline(items, item, ',')) {
        const auto dash = item.find('-');
        const int from = addressOf(item.substr(0, dash), text);
        const int to = dash == std::string::npos ? from : addressOf(item.substr(dash + 1), text);
        if (from > to)
            throw AddressListError("неверный список адресов: " + text +
                                   " (диапазон по возрастанию)");
        for (int a = from; a <= to; ++a)
            out.push_back(a);
    }
    if (!text.empty() && out.empty())
        throw AddressListError("неверный список адресов: " + text);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

}  // namespace service
