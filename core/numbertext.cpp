#include "numbertext.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace numtext {
namespace {

// A finite magnitude as its significant decimal digits:
// d1.d2d3... x 10^exp10; no digits is zero.
struct DecimalDigits {
    std::string digits;  // no leading or trailing zeros
    int exp10 = 0;
    bool isZero() const { return digits.empty(); }
};

// The exact decimal expansion of |value|. A double's expansion is finite
// (at most 767 significant digits), and std::to_chars with a precision is
// exact, so rounding below works on the true value: 2.675 (really
// 2.67499999...) rounds to 2.67, 0.125 to 0.13.
DecimalDigits decompose(double value)
{
    DecimalDigits d;
    value = std::fabs(value);
    if (value == 0)
        return d;
    char buf[1100];
    const auto res =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 780);
    const std::string_view text(buf, static_cast<std::size_t>(res.ptr - buf));
    const auto ePos = text.find('e');
    for (std::size_t i = 0; i < ePos; ++i)
        if (text[i] != '.')
            d.digits += text[i];
    int exp = 0;
    std::string_view expText = text.substr(ePos + 1);
    if (!expText.empty() && expText[0] == '+')
        expText.remove_prefix(1);
    std::from_chars(expText.data(), expText.data() + expText.size(), exp);
    d.exp10 = exp;
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    return d;
}

// Rounds half away from zero to `keep` significant digits (keep may be 0 or
// negative: rounding to a place above the first digit).
void roundTo(DecimalDigits& d, int keep)
{
    if (d.isZero() || keep >= static_cast<int>(d.digits.size()))
        return;
    if (keep < 0) {
        d.digits.clear();
        return;
    }
    const bool up = d.digits[static_cast<std::size_t>(keep)] >= '5';
    d.digits.resize(static_cast<std::size_t>(keep));
    if (up) {
        int i = keep - 1;
        while (i >= 0 && d.digits[static_cast<std::size_t>(i)] == '9') {
            d.digits[static_cast<std::size_t>(i)] = '0';
            --i;
        }
        if (i >= 0) {
            ++d.digits[static_cast<std::size_t>(i)];
        } else {
            // 9.99..95 carries into a new leading digit.
            d.digits.insert(d.digits.begin(), '1');
            ++d.exp10;
        }
    }
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
}

char digitAt(const DecimalDigits& d, int i)
{
    return i >= 0 && i < static_cast<int>(d.digits.size()) ? d.digits[static_cast<std::size_t>(i)]
                                                           : '0';
}

std::string integerPart(const DecimalDigits& d)
{
    if (d.isZero() || d.exp10 < 0)
        return "0";
    std::string s;
    for (int i = 0; i <= d.exp10; ++i)
        s += digitAt(d, i);
    return s;
}

std::string fractionPart(const DecimalDigits& d, int decimals)
{
    std::string s;
    for (int k = 1; k <= decimals; ++k)
        s += d.isZero() ? '0' : digitAt(d, d.exp10 + k);
    return s;
}

std::string exponentText(int exp10)
{
    return "E" + std::to_string(exp10);
}

int clampPrecision(int precision)
{
    return std::clamp(precision, 2, 18);
}

constexpr int MaxFixedDigits = 255;

std::optional<std::string> nonFinite(double value)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    return std::nullopt;
}

// Thousands separated by a blank, the Russian habit; never "," or ".",
// which would read as a decimal separator.
std::string groupThousands(const std::string& integer)
{
    std::string s;
    const auto n = integer.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            s += ' ';
        s += integer[i];
    }
    return s;
}

// TFloatFormat::Fixed, TFloatFormat::Number and TFloatFormat::Currency: at most `digits` decimals
// and at most `precision` significant digits; the general form when the rounded integer part has
// more digits than `precision`.
std::string fixedText(double value, int precision, int digits, bool grouped)
{
    precision = clampPrecision(precision);
    // A field holds its decimals in a byte; a wild count would otherwise ask
    // for a text of gigabytes.
    digits = std::clamp(digits, 0, MaxFixedDigits);
    DecimalDigits d = decompose(value);
    roundTo(d, std::min(precision, d.exp10 + 1 + digits));
    if (!d.isZero() && d.exp10 + 1 > precision)
        return formatGeneral(value, precision);
    std::string integer = integerPart(d);
    if (grouped)
        integer = groupThousands(integer);
    std::string s = (value < 0 && !d.isZero()) ? "-" : "";
    s += integer;
    if (digits > 0)
        s += "." + fractionPart(d, digits);
    return s;
}

// TFloatFormat::Exponent: one digit, the separator, precision - 1 more digits (zeros
// kept), "E", the exponent's sign always and at least `digits` (0..4)
// exponent digits: 1234.5 with 5 and 2 gives "1.2345E+03".
std::string exponentFormText(double value, int precision, int digits)
{
    precision = clampPrecision(precision);
    digits = std::clamp(digits, 0, 4);
    DecimalDigits d = decompose(value);
    roundTo(d, precision);
    std::string s = (value < 0 && !d.isZero()) ? "-" : "";
    s += digitAt(d, 0);
    s += '.';
    for (int i = 1; i < precision; ++i)
        s += digitAt(d, i);
    const int e = d.isZero() ? 0 : d.exp10;
    std::string expDigits = std::to_string(std::abs(e));
    if (static_cast<int>(expDigits.size()) < digits)
        expDigits.insert(0, static_cast<std::size_t>(digits) - expDigits.size(), '0');
    s += e < 0 ? "E-" : "E+";
    return s + expDigits;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

}  // namespace

std::string formatGeneral(double value, int precision)
{
    if (auto special = nonFinite(value))
        return *special;
    precision = clampPrecision(precision);
    DecimalDigits d = decompose(value);
    roundTo(d, precision);
    if (d.isZero())
        return "0";
    std::string s = value < 0 ? "-" : "";
    if (d.exp10 + 1 > precision || d.exp10 < -4) {
        s += d.digits[0];
        if (d.digits.size() > 1)
            s += "." + d.digits.substr(1);
        return s + exponentText(d.exp10);
    }
    s += integerPart(d);
    const int decimals = static_cast<int>(d.digits.size()) - 1 - d.exp10;
    if (decimals > 0)
        s += "." + fractionPart(d, decimals);
    return s;
}

std::string formatFloat(double value, TFloatFormat format, int precision, int digits)
{
    if (auto special = nonFinite(value))
        return *special;
    switch (format) {
    case TFloatFormat::General: return formatGeneral(value, precision);
    case TFloatFormat::Exponent: return exponentFormText(value, precision, digits);
    case TFloatFormat::Fixed: return fixedText(value, precision, digits, false);
    case TFloatFormat::Number: return fixedText(value, precision, digits, true);
    case TFloatFormat::Currency: {
        // Roubles after the number, as the Russian desktop writes money.
        const std::string number = fixedText(value, 18, digits, true);
        return number + " р.";
    }
    }
    return fixedText(value, precision, digits, false);
}

std::optional<double> parseFloat(std::string_view text)
{
    const std::string_view s = trimBlanks(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    const std::size_t numberStart = i;
    int mantissaDigits = 0;
    bool point = false;
    for (; i < s.size(); ++i) {
        if (isDigit(s[i]))
            ++mantissaDigits;
        else if (s[i] == '.' && !point)
            point = true;
        else
            break;
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    const std::size_t mantissaEnd = i;
    long long exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool expNegative = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            expNegative = s[i++] == '-';
        const std::size_t expStart = i;
        while (i < s.size() && isDigit(s[i])) {
            if (exponent < 100000)
                exponent = exponent * 10 + (s[i] - '0');
            ++i;
        }
        if (i == expStart)
            return std::nullopt;
        if (expNegative)
            exponent = -exponent;
    }
    if (i != s.size())
        return std::nullopt;

    const std::string_view mantissa = s.substr(numberStart, mantissaEnd - numberStart);
    const auto firstNonZero = mantissa.find_first_of("123456789");
    if (firstNonZero == std::string_view::npos)
        return negative ? -0.0 : 0.0;
    // Decimal exponent of the first significant digit, to tell an overflow
    // from an underflow below.
    const auto pointPos = std::min(mantissa.find('.'), mantissa.size());
    const long long leadExp =
        firstNonZero < pointPos
            ? static_cast<long long>(pointPos - firstNonZero) - 1
            : static_cast<long long>(pointPos) - static_cast<long long>(firstNonZero);

    // from_chars takes no "+"; the grammar above has already been checked.
    std::string plain(mantissa);
    plain += "e" + std::to_string(exponent);
    double value = 0;
    const auto res = std::from_chars(plain.data(), plain.data() + plain.size(), value,
                                     std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range) {
        // Too small to hold reads as zero; too big to hold is not a number.
        if (leadExp + exponent < 0)
            return negative ? -0.0 : 0.0;
        return std::nullopt;
    }
    if (res.ec != std::errc() || res.ptr != plain.data() + plain.size())
        return std::nullopt;
    if (std::isinf(value))
        return std::nullopt;
    return negative ? -value : value;
}

std::optional<long long> parseInteger(std::string_view text, bool allowHex)
{
    std::string_view s = trimBlanks(text);
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (allowHex) {
        if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
            base = 16;
            s.remove_prefix(2);
        } else if (!s.empty() && s[0] == '$') {
            base = 16;
            s.remove_prefix(1);
        }
    }
    // from_chars would take a second sign or nothing at all: check first.
    if (s.empty())
        return std::nullopt;
    for (char c : s) {
        const bool ok =
            isDigit(c) || (base == 16 && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
        if (!ok)
            return std::nullopt;
    }
    unsigned long long magnitude = 0;
    const auto res = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
    if (res.ec != std::errc() || res.ptr != s.data() + s.size())
        return std::nullopt;
    constexpr auto MaxPositive =
        static_cast<unsigned long long>(std::numeric_limits<long long>::max());
    if (negative) {
        if (magnitude > MaxPositive + 1)
            return std::nullopt;
        if (magnitude == MaxPositive + 1)
            return std::numeric_limits<long long>::min();
        return -static_cast<long long>(magnitude);
    }
    if (magnitude > MaxPositive)
        return std::nullopt;
    return static_cast<long long>(magnitude);
}

int strToInt(std::string_view text)
{
    const auto v = parseInteger(text, true);
    if (!v || *v < std::numeric_limits<int>::min() || *v > std::numeric_limits<int>::max())
        throw EConvertError(v ? EConvertError::Kind::OutOfRange : EConvertError::Kind::NotInteger,
                            "'" + std::string(text) + "' is not a valid integer value");
    return static_cast<int>(*v);
}

}  // namespace numtext
