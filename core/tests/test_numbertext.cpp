#include "numbertext.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

namespace {

using numtext::formatFloat;
using numtext::formatGeneral;
using numtext::parseFloat;
using numtext::parseInteger;

struct FixedRow {
    double value;
    int precision;
    int digits;
    const char* text;
};

TEST(FormatFixed, RoundsToDigitsAndPrecision)
{
    const FixedRow rows[] = {
        // A new control: 0 with 5 and 5.
        {0.0, 5, 5, "0.00000"},
        {0.0, 4, 0, "0"},
        {123.456, 4, 3, "123.500"},
        {123.456, 6, 3, "123.456"},
        {123.456, 18, 1, "123.5"},
        {12.7, 4, 0, "13"},
        {12.4, 4, 0, "12"},
        {127, 4, 0, "127"},
        {1.5, 5, 5, "1.50000"},
        {-1.5, 5, 5, "-1.50000"},
        {-3.25, 4, 1, "-3.3"},
        // Rounding half away from zero at the boundaries that are exact in binary.
        {0.5, 4, 0, "1"},
        {1.5, 4, 0, "2"},
        {2.5, 4, 0, "3"},
        {-0.5, 4, 0, "-1"},
        {-2.5, 4, 0, "-3"},
        {0.125, 5, 2, "0.13"},
        {0.375, 5, 2, "0.38"},
        {-0.125, 5, 2, "-0.13"},
        // Boundaries that are not exact in binary round as the stored value lies.
        {2.675, 5, 2, "2.67"},    // 2.67499999...
        {1.005, 5, 2, "1.00"},    // 1.00499999...
        {0.045, 5, 2, "0.04"},    // 0.04499999...
        {1.115, 5, 2, "1.11"},    // 1.11499999...
        {0.0625, 5, 3, "0.063"},  // exactly half: away from zero
        // Carrying into a new leading digit.
        {9.99995, 6, 4, "10.0000"},  // 9.9999500000000001...
        {9.99994, 6, 4, "9.9999"},
        {0.99999, 4, 3, "1.000"},
        {99.96, 4, 1, "100.0"},
        {999.5, 4, 0, "1000"},
        {9999.5, 4, 0, "1E4"},  // the carry gives five integer digits
        // Precision limits the significant digits before the decimals are padded.
        {3.14159265, 2, 5, "3.10000"},
        {3.14159265, 1, 5, "3.10000"},  // precision taken as at least 2
        {3.14159265, 0, 3, "3.100"},
        {0.000123456, 5, 5, "0.00012"},
        {0.000123456, 3, 8, "0.00012300"},
        {1234567.891, 18, 2, "1234567.89"},
        {1.0 / 3.0, 18, 20, "0.33333333333333331500"},
        {1.0 / 3.0, 40, 20, "0.33333333333333331500"},  // precision taken as at most 18
        // No "-0": a negative number that rounds to zero shows as zero.
        {-0.0, 5, 5, "0.00000"},
        {-0.1, 4, 0, "0"},
        {-0.4, 4, 0, "0"},
        {-0.00001, 5, 2, "0.00"},
        {-0.1, 4, 1, "-0.1"},
        // More integer digits than Precision: the general form.
        {30000, 4, 0, "3E4"},
        {12345, 4, 0, "1.235E4"},
        {30000, 5, 0, "30000"},
        {-12345, 4, 2, "-1.235E4"},
        {123456, 2, 0, "1.2E5"},
        {1e300, 5, 5, "1E300"},
        {-1e300, 15, 2, "-1E300"},
        {1.7976931348623157e308, 18, 0, "1.79769313486231571E308"},
        // Tiny numbers round away to zero.
        {1e-300, 5, 5, "0.00000"},
        {5e-324, 18, 10, "0.0000000000"},
        {0.000005, 5, 5, "0.00001"},
        {0.000004999, 5, 5, "0.00000"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.value << " P" << r.precision << " D" << r.digits);
        EXPECT_EQ(formatFloat(r.value, TFloatFormat::Fixed, r.precision, r.digits), r.text);
    }
}

struct GeneralRow {
    double value;
    int precision;
    const char* text;
};

TEST(FormatGeneral, PlainUpToPrecisionOtherwiseExponent)
{
    const GeneralRow rows[] = {
        {0.0, 15, "0"},
        {-0.0, 15, "0"},
        {1, 15, "1"},
        {-1, 15, "-1"},
        {0.5, 15, "0.5"},
        {0.00083, 15, "0.00083"},
        {0.0001, 15, "0.0001"},
        {0.00001, 15, "1E-5"},
        {0.000012345, 15, "1.2345E-5"},
        {-0.00001, 15, "-1E-5"},
        {0.1, 15, "0.1"},
        {0.1 + 0.2, 15, "0.3"},
        {0.1 + 0.2, 17, "0.30000000000000004"},
        {1.0 / 3.0, 15, "0.333333333333333"},
        {2.0 / 3.0, 15, "0.666666666666667"},
        {123456789012345.0, 15, "123456789012345"},
        {1234567890123456.0, 15, "1.23456789012346E15"},
        {1e15, 15, "1E15"},
        {1e14, 15, "100000000000000"},
        {30000, 4, "3E4"},
        {12345, 4, "1.235E4"},
        {9999.5, 4, "1E4"},
        {9999.4, 4, "9999"},
        {0.99999999999999999, 15, "1"},
        {1e300, 15, "1E300"},
        {1e-300, 15, "1E-300"},
        {-2.5e-308, 15, "-2.5E-308"},
        {5e-324, 15, "4.94065645841247E-324"},
        {123.456, 2, "1.2E2"},
        {123.456, 1, "1.2E2"},  // precision taken as at least 2
        // Eighteen digits show the stored binary value's tail.
        {0.123456789, 40, "0.123456788999999997"},
        {0.1, 18, "0.100000000000000006"},
        {0.1, 17, "0.10000000000000001"},
        {0.1, 16, "0.1"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.value << " P" << r.precision);
        EXPECT_EQ(formatGeneral(r.value, r.precision), r.text);
        EXPECT_EQ(formatFloat(r.value, TFloatFormat::General, r.precision, 3), r.text);
    }
}

TEST(FormatOther, ExponentNumberAndCurrency)
{
    struct Row {
        double value;
        TFloatFormat format;
        int precision;
        int digits;
        const char* text;
    };
    const Row rows[] = {
        {1234.5, TFloatFormat::Exponent, 5, 2, "1.2345E+03"},
        {1234.5, TFloatFormat::Exponent, 3, 0, "1.23E+3"},
        {-0.00125, TFloatFormat::Exponent, 4, 3, "-1.250E-003"},
        {0.0, TFloatFormat::Exponent, 3, 2, "0.00E+00"},
        {9.9996, TFloatFormat::Exponent, 4, 1, "1.000E+1"},
        {1e300, TFloatFormat::Exponent, 2, 9, "1.0E+0300"},  // exponent digits at most 4
        {1234567.891, TFloatFormat::Number, 18, 2, "1 234 567.89"},
        {-1234.5, TFloatFormat::Number, 6, 1, "-1 234.5"},
        {999.9, TFloatFormat::Number, 4, 0, "1 000"},
        {123, TFloatFormat::Number, 5, 2, "123.00"},
        {12345, TFloatFormat::Number, 4, 0, "1.235E4"},
        {1234.5, TFloatFormat::Currency, 4, 2, "1 234.50 р."},
        {-0.004, TFloatFormat::Currency, 4, 2, "0.00 р."},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.value << " F" << static_cast<int>(r.format) << " P"
                                          << r.precision << " D" << r.digits);
        EXPECT_EQ(formatFloat(r.value, r.format, r.precision, r.digits), r.text);
    }
}

TEST(FormatSpecial, NanAndInfinity)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (TFloatFormat f : {TFloatFormat::General, TFloatFormat::Exponent, TFloatFormat::Fixed,
                           TFloatFormat::Number, TFloatFormat::Currency}) {
        EXPECT_EQ(formatFloat(nan, f, 5, 5), "NAN");
        EXPECT_EQ(formatFloat(inf, f, 5, 5), "INF");
        EXPECT_EQ(formatFloat(-inf, f, 5, 5), "-INF");
    }
    EXPECT_EQ(formatGeneral(-nan), "NAN");
}

TEST(FormatLocale, DecimalPointWhateverTheLocale)
{
    const char* set = std::setlocale(LC_ALL, "ru_RU.UTF-8");
    if (!set)
        set = std::setlocale(LC_ALL, "de_DE.UTF-8");
    EXPECT_EQ(formatFloat(1.5, TFloatFormat::Fixed, 5, 2), "1.50");
    EXPECT_EQ(formatGeneral(0.00083), "0.00083");
    EXPECT_EQ(parseFloat("1.5"), 1.5);
    EXPECT_FALSE(parseFloat("1,5"));
    std::setlocale(LC_ALL, "C");
}

TEST(FormatRoundTrip, SeventeenDigitsGiveTheSameDouble)
{
    const double values[] = {0.1,    1.0 / 3.0,  2.675,    1e-300, 1.7976931348623157e308,
                             5e-324, 123456.789, -9.99995, 4.35,   1e23};
    for (double v : values) {
        const auto back = parseFloat(formatGeneral(v, 17));
        ASSERT_TRUE(back) << v;
        EXPECT_EQ(*back, v) << formatGeneral(v, 17);
    }
}

struct ParseRow {
    const char* text;
    std::optional<double> value;
};

TEST(ParseFloat, AcceptsExactlyTheNumberGrammar)
{
    const ParseRow rows[] = {
        {"0", 0.0},
        {"12", 12.0},
        {"12.5", 12.5},
        {"-5", -5.0},
        {"+5", 5.0},
        {"  7  ", 7.0},
        {"\t7\t", 7.0},
        {".5", 0.5},
        {"5.", 5.0},
        {"-.5", -0.5},
        {"3E4", 30000.0},
        {"3e4", 30000.0},
        {"1.235E4", 12350.0},
        {"1E-5", 0.00001},
        {"1e+2", 100.0},
        {"-2.5E-3", -0.0025},
        {" -1.5e2 ", -150.0},
        {"0000123", 123.0},
        {"1e300", 1e300},
        {"1e-300", 1e-300},
        {"4.9e-324", 5e-324},
        {"1e-400", 0.0},  // below the smallest double: zero
        {"0.0000e999999", 0.0},
        {"1.7976931348623157e308", 1.7976931348623157e308},
        // Not numbers.
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"abc", std::nullopt},
        {"12,5", std::nullopt},
        {"1,234.5", std::nullopt},
        {"1 234", std::nullopt},
        {"1.2.3", std::nullopt},
        {".", std::nullopt},
        {"-", std::nullopt},
        {"+-1", std::nullopt},
        {"--1", std::nullopt},
        {"1e", std::nullopt},
        {"1e+", std::nullopt},
        {"e5", std::nullopt},
        {".e5", std::nullopt},
        {"1e5.5", std::nullopt},
        {"0x10", std::nullopt},
        {"$10", std::nullopt},
        {"inf", std::nullopt},
        {"INF", std::nullopt},
        {"nan", std::nullopt},
        {"infinity", std::nullopt},
        {"12abc", std::nullopt},
        {"- 1", std::nullopt},
        {"1e400", std::nullopt},  // too big to hold
        {"-1e400", std::nullopt},
        {"1\n", std::nullopt},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << '"' << r.text << '"');
        const auto v = parseFloat(r.text);
        ASSERT_EQ(v.has_value(), r.value.has_value());
        if (v) {
            EXPECT_EQ(*v, *r.value);
        }
    }
    EXPECT_TRUE(std::signbit(*parseFloat("-0")));
    EXPECT_TRUE(std::signbit(*parseFloat("-1e-400")));
}

TEST(ParseInteger, DecimalAndHexadecimal)
{
    struct Row {
        const char* text;
        bool allowHex;
        std::optional<long long> value;
    };
    const Row rows[] = {
        {"0", true, 0},
        {"42", true, 42},
        {" -42 ", true, -42},
        {"+7", true, 7},
        {"0x1F", true, 31},
        {"0X1f", true, 31},
        {"$FF", true, 255},
        {"-$10", true, -16},
        {"0x7FFFFFFFFFFFFFFF", true, 9223372036854775807LL},
        {"9223372036854775807", true, 9223372036854775807LL},
        {"-9223372036854775808", true, std::numeric_limits<long long>::min()},
        {"9223372036854775808", true, std::nullopt},
        {"-9223372036854775809", true, std::nullopt},
        {"0xFFFFFFFFFFFFFFFF", true, std::nullopt},
        {"0x1F", false, std::nullopt},
        {"$FF", false, std::nullopt},
        {"0x", true, std::nullopt},
        {"$", true, std::nullopt},
        {"0xG", true, std::nullopt},
        {"", true, std::nullopt},
        {" ", true, std::nullopt},
        {"1.0", true, std::nullopt},
        {"1e3", true, std::nullopt},
        {"12a", true, std::nullopt},
        {"FF", true, std::nullopt},
        {"--1", true, std::nullopt},
        {"- 1", true, std::nullopt},
        {"+-1", true, std::nullopt},
        {"0x-1", true, std::nullopt},
        {"1 2", true, std::nullopt},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << '"' << r.text << "\" hex " << r.allowHex);
        EXPECT_EQ(parseInteger(r.text, r.allowHex), r.value);
    }
}

TEST(StrToInt, ThrowsWithTheText)
{
    EXPECT_EQ(numtext::strToInt("123"), 123);
    EXPECT_EQ(numtext::strToInt("$10"), 16);
    EXPECT_EQ(numtext::strToInt("-2147483648"), -2147483648LL);
    for (const char* bad : {"12x", "", "2147483648", "1.5"}) {
        try {
            numtext::strToInt(bad);
            ADD_FAILURE() << "no exception for " << bad;
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()),
                      std::string("'") + bad + "' is not a valid integer value");
        }
    }
}

}  // namespace
