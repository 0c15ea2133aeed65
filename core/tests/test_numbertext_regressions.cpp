// Inputs the fuzzers found that once went wrong.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "numbertext.h"

using numtext::formatFloat;

// A wild decimals count asked for a text of that many digits: INT_MAX gave a
// 2 GB allocation. A field holds its decimals in a byte, so 255 is the most.
TEST(NumberTextRegressions, HugeDigitsAreCappedAtAByte)
{
    const std::string capped = "1." + std::string("5") + std::string(254, '0');
    struct Row {
        TFloatFormat format;
        int digits;
        std::string text;
    };
    const Row rows[] = {
        {TFloatFormat::Fixed, INT_MAX, capped},
        {TFloatFormat::Fixed, 942000000, capped},
        {TFloatFormat::Fixed, 256, capped},
        {TFloatFormat::Fixed, 255, capped},
        {TFloatFormat::Number, INT_MAX, capped},
        {TFloatFormat::Currency, INT_MAX, capped + " р."},
        {TFloatFormat::Fixed, INT_MIN, "2"},
        {TFloatFormat::Fixed, 254, "1.5" + std::string(253, '0')},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::Message()
                     << "format " << static_cast<int>(r.format) << ", digits " << r.digits);
        EXPECT_EQ(formatFloat(1.5, r.format, 18, r.digits), r.text);
    }
}

// Near the largest double the 15-digit general form rounds past it and no
// longer reads as a number; 17 digits always read back exactly.
TEST(NumberTextRegressions, LargestDoubleReadsBackWithSeventeenDigits)
{
    const double largest = 1.7976931348623157e308;
    EXPECT_EQ(numtext::formatGeneral(largest), "1.79769313486232E308");
    EXPECT_FALSE(numtext::parseFloat(numtext::formatGeneral(largest)).has_value());
    const auto back = numtext::parseFloat(numtext::formatGeneral(largest, 17));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, largest);
}
