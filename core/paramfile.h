// The parameter file (extension "par"): the drive parameter set as five INI
// sections of whole numbers.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

class IniImage;

namespace paramfile {

struct ParamKey {
    std::string_view section;
    std::string_view key;
    long long defaultValue;  // taken when the key is missing or not an integer
    double fieldMin;         // the parameter page holds its field to these limits
    double fieldMax;
};

inline constexpr std::size_t ParamCount = 19;

// The keys in the order in which they are read and written.
inline constexpr std::array<ParamKey, ParamCount> ParamKeys{{
    {"Work", "Vmin", 80, 1, 1000},
    {"Work", "V1", 200, -0.1, 1000},
    {"Work", "I1", 1000, -0.1, 2000},
    {"Work", "V2", 200, -0.1, 1000},
    {"Work", "I2", 1000, -0.1, 2000},
    {"Work", "V3", 200, -0.1, 1000},
    {"Work", "I3", 1000, -0.1, 2000},
    {"Work", "V4", 200, -0.1, 1000},
    {"Work", "I4", 1000, -0.1, 2000},
    {"Acceleration", "A", 200, -0.1, 4000},
    {"Acceleration", "Ia", 1500, -0.1, 2000},
    {"Play", "Vp", 300, -0.1, 1000},
    {"Play", "Ip", 800, -0.1, 2000},
    {"Play", "Np", 200, -0.1, 30000},
    {"Lock", "Vl", 100, -0.1, 1000},
    {"Lock", "Il", 2000, -0.1, 2000},
    {"Lock", "No", 1000, -0.1, 30000},
    {"Lock", "Nc", 1000, -0.1, 30000},
    {"Travel", "Nt", 2000, -0.1, 30000},
}};

// One value per key, in the order of ParamKeys.
using ParamValues = std::array<double, ParamCount>;

// Every key as an integer (decimal, or hexadecimal after "0x" or "$");
// a missing key or one that is not an integer gives its default.
ParamValues read(const IniImage& ini);

// A file read with an eye on what it lacks. A file of some other kind
// (empty, random bytes, a program) holds none of the keys; a value such as
// 1e309, NaN, inf or a hexadecimal number past 64 bits is no finite number
// and must not quietly become the default.
struct Reading {
    ParamValues values{};                // as read; defaults where missing or unreadable
    std::vector<std::string> missing;    // keys absent, or not a whole number
    std::vector<std::string> notFinite;  // keys whose number is not finite or too large
    bool hasNoKey() const { return missing.size() == ParamCount; }
};
Reading inspect(const IniImage& ini);

// Why a reading must not be loaded at all (no key, or a value that is no
// finite number, its keys named); empty when it may be.
std::string refusal(const Reading& reading);
// The keys that would take their defaults, for a question or a refusal;
// empty when there are none.
std::string missingText(const Reading& reading);

// Stores every value truncated toward zero (12.7 -> 12, -0.1 -> 0) under its
// key; other sections and keys of the image stay where they are.
void write(IniImage& ini, const ParamValues& values);

// The whole number a field's value is sent or saved as: truncated toward zero.
long long truncateValue(double value);

// The whole number the parameter page sends for a value put into the field of
// that key: held to the field's limits, then truncated (Vmin 0 -> 1, -5 -> 0).
long long fieldValue(const ParamKey& key, double value);

}  // namespace paramfile
