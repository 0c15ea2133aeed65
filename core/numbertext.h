// Number text of the program: numbers to text and back, always with "." as
// the decimal separator whatever the locale says.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

enum class TFloatFormat { General = 0, Exponent = 1, Fixed = 2, Number = 3, Currency = 4 };

// A text that should have been a number (the message names the text).
class EConvertError : public std::runtime_error {
public:
    enum class Kind {
        NotInteger,  // no integer's text
        OutOfRange,  // an integer too large for the value it is read into
    };
    EConvertError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind)
    {
    }
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

namespace numtext {

// value in the given format; precision is clamped to 2..18, digits (0..255) are the
// decimals of TFloatFormat::Fixed/TFloatFormat::Number/TFloatFormat::Currency (and the exponent
// digits of TFloatFormat::Exponent).
std::string formatFloat(double value, TFloatFormat format, int precision, int digits);

// Shortest general form with up to `precision` significant digits
// (0.00083 -> "0.00083", 30000 with 4 -> "3E4", 12345 with 4 -> "1.235E4").
std::string formatGeneral(double value, int precision = 15);

// Optional blanks, optional sign, digits with at most one ".", optional
// exponent, optional blanks, nothing else.
std::optional<double> parseFloat(std::string_view text);

// Decimal integer; with allowHex a value beginning with "0x" or "$" is
// hexadecimal (the INI files' rule). Surrounding blanks are allowed.
std::optional<long long> parseInteger(std::string_view text, bool allowHex = true);

// Throws EConvertError "'%s' is not a valid integer value".
int strToInt(std::string_view text);

}  // namespace numtext
