// Number text on any input: parsing never fails other than by "no number";
// a parsed value written with 17 significant digits (general or exponent
// form) parses back to exactly that value; every format, precision and
// digits value formats without failing, also NaN, infinities and subnormals.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzzcheck.h"
#include "numbertext.h"

namespace {

void checkRoundTrip(double x)
{
    if (!(x - x == 0))
        return;  // NaN and infinities have no exact text
    const auto general = numtext::parseFloat(numtext::formatGeneral(x, 17));
    FUZZ_REQUIRE(general && *general == x);
    const auto exponent =
        numtext::parseFloat(numtext::formatFloat(x, TFloatFormat::Exponent, 17, 0));
    FUZZ_REQUIRE(exponent && *exponent == x);
    // Fifteen digits, as the settings file writes: the text is a number
    // (but near the largest double, 15 digits round up past it).
    if (std::fabs(x) < 1.7976931348623e308)
        FUZZ_REQUIRE(numtext::parseFloat(numtext::formatGeneral(x)).has_value());
}

int takeInt(const std::uint8_t*& data, std::size_t& size)
{
    std::int32_t v = 0;
    const std::size_t n = size < sizeof v ? size : sizeof v;
    std::memcpy(&v, data, n);
    data += n;
    size -= n;
    return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    if (const auto x = numtext::parseFloat(text)) {
        FUZZ_REQUIRE(*x - *x == 0);  // never an infinity or NaN
        checkRoundTrip(*x);
    }
    for (bool hex : {true, false}) {
        if (const auto v = numtext::parseInteger(text, hex)) {
            const auto back = numtext::parseInteger(std::to_string(*v), hex);
            FUZZ_REQUIRE(back && *back == *v);
        }
    }
    try {
        (void)numtext::strToInt(text);
    } catch (const EConvertError&) {
    }

    // The same bytes as a double's bit pattern, a format, a precision and digits.
    if (size >= sizeof(double)) {
        double x = 0;
        std::memcpy(&x, data, sizeof x);
        const std::uint8_t* rest = data + sizeof x;
        std::size_t left = size - sizeof x;
        checkRoundTrip(x);
        const int format = left > 0 ? rest[0] % 6 : 0;  // 5: out of range, falls back
        const bool wideDigits = left > 0 && (rest[0] & 0x80) != 0;
        if (left > 0) {
            ++rest;
            --left;
        }
        const int precision = takeInt(rest, left);
        // Digits as the numeric field holds them (an unsigned byte) most of
        // the time, the whole int range now and then.
        int digits = takeInt(rest, left);
        if (!wideDigits)
            digits = static_cast<std::uint8_t>(digits);
        const std::string s =
            numtext::formatFloat(x, static_cast<TFloatFormat>(format), precision, digits);
        FUZZ_REQUIRE(!s.empty());
    }
    return 0;
}
