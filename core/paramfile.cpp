#include "paramfile.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <regex>

#include "inifile.h"
#include "numbertext.h"

namespace paramfile {

namespace {

std::string lowerTrimmed(std::string_view text)
{
    std::string out;
    for (char c : text)
        if (c != ' ' && c != '\t')
            out += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return out;
}

// A number, but none a parameter can hold: infinite, not a number, or a
// whole number (decimal or hexadecimal) past what 64 bits carry.
bool isNonFiniteNumber(std::string_view text)
{
    std::string t = lowerTrimmed(text);
    if (!t.empty() && (t[0] == '+' || t[0] == '-'))
        t.erase(0, 1);
    if (t == "nan" || t == "inf" || t == "infinity")
        return true;
    const auto allOf = [](const std::string& s, std::size_t from, auto pred) {
        if (s.size() <= from)
            return false;
        for (std::size_t i = from; i < s.size(); ++i)
            if (!pred(static_cast<unsigned char>(s[i])))
                return false;
        return true;
    };
    const auto isHex = [](unsigned char c) { return std::isxdigit(c) != 0; };
    const auto isDigit = [](unsigned char c) { return std::isdigit(c) != 0; };
    if ((t.rfind("0x", 0) == 0 && allOf(t, 2, isHex)) ||
        (t.rfind('$', 0) == 0 && allOf(t, 1, isHex)))
        return true;  // parseInteger refused it: too long
    if (allOf(t, 0, isDigit))
        return true;
    const auto f = numtext::parseFloat(text);
    if (f)
        return !std::isfinite(*f);
    // A decimal number written right but past what a double holds ("1e309"),
    // which the number text refuses as out of range.
    static const std::regex decimal(R"([0-9]+(\.[0-9]*)?(e[+-]?[0-9]+)?|\.[0-9]+(e[+-]?[0-9]+)?)");
    if (!std::regex_match(t, decimal))
        return false;
    const double d = std::strtod(t.c_str(), nullptr);
    return !std::isfinite(d);
}

std::string joined(const std::vector<std::string>& keys)
{
    std::string out;
    for (const std::string& k : keys)
        out += (out.empty() ? "" : ", ") + k;
    return out;
}

}  // namespace

Reading inspect(const IniImage& ini)
{
    Reading r;
    for (std::size_t i = 0; i < ParamCount; ++i) {
        const ParamKey& k = ParamKeys[i];
        r.values[i] = static_cast<double>(k.defaultValue);
        const auto text = ini.value(k.section, k.key);
        if (!text) {
            r.missing.emplace_back(k.key);
        } else if (const auto v = numtext::parseInteger(*text, true)) {
            r.values[i] = static_cast<double>(*v);
        } else if (isNonFiniteNumber(*text)) {
            r.notFinite.emplace_back(k.key);
        } else {
            r.missing.emplace_back(k.key);
        }
    }
    return r;
}

std::string refusal(const Reading& reading)
{
    if (!reading.notFinite.empty())
        return "значение не является конечным числом: " + joined(reading.notFinite);
    if (reading.hasNoKey())
        return "это не файл параметров: в нём нет ни одного параметра привода";
    return {};
}

std::string missingText(const Reading& reading)
{
    if (reading.missing.empty())
        return {};
    return "в файле нет значений или они не читаются (будут взяты значения по умолчанию): " +
           joined(reading.missing);
}

ParamValues read(const IniImage& ini)
{
    ParamValues values{};
    for (std::size_t i = 0; i < ParamCount; ++i) {
        const ParamKey& k = ParamKeys[i];
        values[i] = static_cast<double>(ini.readInteger(k.section, k.key, k.defaultValue));
    }
    return values;
}

void write(IniImage& ini, const ParamValues& values)
{
    for (std::size_t i = 0; i < ParamCount; ++i) {
        const ParamKey& k = ParamKeys[i];
        ini.writeInteger(k.section, k.key, truncateValue(values[i]));
    }
}

long long truncateValue(double value)
{
    // Fields hold clamped values; the guards only keep a stray NaN or a huge
    // number from being undefined behaviour.
    if (std::isnan(value)) {
        return 0;
    }
    constexpr double Limit = 9.0e18;
    if (value >= Limit) {
        return std::numeric_limits<long long>::max();
    }
    if (value <= -Limit) {
        return std::numeric_limits<long long>::min();
    }
    return static_cast<long long>(std::trunc(value));
}

long long fieldValue(const ParamKey& key, double value)
{
    if (std::isnan(value)) {
        return truncateValue(key.fieldMin);
    }
    return truncateValue(std::clamp(value, key.fieldMin, key.fieldMax));
}

}  // namespace paramfile
