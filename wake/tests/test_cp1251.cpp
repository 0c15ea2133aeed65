#include "cp1251.h"

#include <gtest/gtest.h>

namespace {

struct Pair {
    const char* name;
    std::string bytes;  // Windows-1251
    std::string utf8;
};

const Pair kPairs[] = {
    {"ascii", "Port=2", "Port=2"},
    {"capitalA", "\xC0", "А"},
    {"smallYa", "\xFF", "я"},
    {"alphabetEdges", "\xC0\xDF\xE0\xFF", "АЯая"},
    {"yo", "\xA8\xB8", "Ёё"},
    {"numero", "\xB9", "№"},
    {"quotes", "\x82\x84\x91\x92\x93\x94", "‚„‘’“”"},
    {"dashesAndDots", "\x85\x95\x96\x97", "…•–—"},
    {"daggersEuroPermille", "\x86\x87\x88\x89", "†‡€‰"},
    {"serbianMacedonianUpper", "\x80\x81\x8A\x8C\x8D\x8E\x8F", "ЂЃЉЊЌЋЏ"},
    {"serbianMacedonianLower", "\x90\x83\x9A\x9C\x9D\x9E\x9F", "ђѓљњќћџ"},
    {"angleQuotesTrade", "\x8B\x9B\x99\xAB\xBB", "‹›™«»"},
    {"ukrainianBelarusian", "\xAA\xBA\xAF\xBF\xB2\xB3\xA5\xB4\xA1\xA2", "ЄєЇїІіҐґЎў"},
    {"nbspSignsMicro", "\xA0\xA4\xA6\xA7\xA9\xAC\xAD\xAE\xB0\xB1\xB5\xB6\xB7",
     "\u00A0¤¦§©¬\u00AD®°±µ¶·"},
    {"jeDzeS", "\xA3\xBC\xBD\xBE", "ЈјЅѕ"},
    {"mixedText", "\xD2\xC8\xD0\xD1-70 \xB9 5", "ТИРС-70 № 5"},
};

TEST(Cp1251, DecodesAndEncodesEveryTableRow)
{
    for (const auto& p : kPairs) {
        SCOPED_TRACE(p.name);
        EXPECT_EQ(cp1251::toUtf8(p.bytes), p.utf8);
        EXPECT_EQ(cp1251::fromUtf8(p.utf8), p.bytes);
    }
}

TEST(Cp1251, EveryMappedByteRoundTrips)
{
    for (int b = 1; b < 256; ++b) {
        if (b == 0x98)
            continue;
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(cp1251::fromUtf8(cp1251::toUtf8(one)), one) << "byte " << b;
    }
}

TEST(Cp1251, UnmappedByteDecodesAsQuestionMark)
{
    EXPECT_EQ(cp1251::toUtf8("a\x98z"), "a?z");
    EXPECT_EQ(cp1251::toUtf8(std::string("\0", 1)), std::string("\0", 1));
}

TEST(Cp1251, UnmappableCharactersBecomeQuestionMarks)
{
    const Pair rows[] = {
        {"latinWithAccent", "caf?", "café"},
        {"greek", "??", "αβ"},
        {"chinese", "?", "中"},
        {"emoji", "a?b", "a😀b"},
        {"lowLineU0098", "?", "\u0098"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(cp1251::fromUtf8(r.utf8), r.bytes);
    }
}

TEST(Cp1251, InvalidUtf8BecomesQuestionMarks)
{
    const Pair rows[] = {
        {"loneContinuation", "a?b",
         "a\x80"
         "b"},
        {"truncatedAtEnd", "a?", "a\xD0"},
        {"leadThenAscii", "?A",
         "\xD0"
         "A"},
        {"overlongSlash", "??", "\xC0\xAF"},
        {"surrogate", "???", "\xED\xA0\x80"},
        {"beyondUnicode", "????", "\xF4\x90\x80\x80"},
        {"invalidLeadByte", "?", "\xFF"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(cp1251::fromUtf8(r.utf8), r.bytes);
    }
}

}  // namespace
