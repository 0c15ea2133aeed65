#include "commands.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using wake::Command;

namespace {

struct Row {
    int code;
    const char* name;
    int requestLength;
    int answerLength;
};

// Written out by hand from the actuator's data layouts, so that a slip in the
// shared table is caught here rather than agreed with.
constexpr Row expected[] = {
    {3, "GetInfo", 0, 0}, {4, "SetAddr", 3, 1}, {6, "SetM", 3, 1},   {7, "GetM", 0, 4},
    {8, "SetA", 4, 1},    {9, "GetA", 0, 5},    {10, "SetP", 6, 1},  {11, "GetP", 0, 7},
    {12, "SetL", 8, 1},   {13, "GetL", 0, 9},   {14, "SetW", 16, 1}, {15, "GetW", 0, 18},
    {16, "SetS", 1, 1},   {17, "GetS", 0, 3},   {18, "SetN", 2, 1},  {19, "GetN", 0, 3},
    {20, "SetT", 2, 1},   {21, "GetT", 0, 3},   {22, "GetI", 0, 3},  {23, "SetR", 12, 1},
    {24, "GetR", 0, 13},  {25, "GetRS", 0, 2},
};

std::string decoded(Command c, bool request, std::vector<std::uint8_t> data)
{
    const auto& s = wake::commandInfo(c);
    return wake::formatFields(request ? wake::decodeRequest(s, data.data(), data.size())
                                      : wake::decodeAnswer(s, data.data(), data.size()));
}

}  // namespace

TEST(CommandTable, CodesNamesAndLengths)
{
    ASSERT_EQ(wake::commandSet().size(), std::size(expected));
    for (const Row& row : expected) {
        const wake::CommandInfo* s = wake::findCommand(row.code);
        ASSERT_NE(s, nullptr) << row.name;
        EXPECT_STREQ(s->name, row.name);
        EXPECT_EQ(s->requestLength, row.requestLength) << row.name;
        EXPECT_EQ(s->answerLength, row.answerLength) << row.name;
        EXPECT_EQ(s->changesDevice, row.name[0] == 'S') << row.name;
    }
    for (int code : {0, 1, 2, 5, 26, 127})
        EXPECT_EQ(wake::findCommand(code), nullptr) << code;
    EXPECT_FALSE(wake::answerHasErrorByte(2));
    EXPECT_FALSE(wake::answerHasErrorByte(3));
    EXPECT_TRUE(wake::answerHasErrorByte(4));
}

TEST(CommandTable, DecodesFramesIntoNamedFields)
{
    EXPECT_EQ(decoded(Command::SetA, true, {0xC8, 0x00, 0xDC, 0x05}), "A=200 Ia=1500");
    EXPECT_EQ(decoded(Command::SetAddr, true, {0x5C, 0xA3, 0x02}), "Key=0xA35C Addr=2");
    EXPECT_EQ(decoded(Command::GetN, false, {0, 0xFF, 0xFF}), "N=-1");
    EXPECT_EQ(decoded(Command::GetT, false, {0, 0xFF, 0xFF}), "Nt=65535");
    EXPECT_EQ(decoded(Command::GetS, false, {0, 7, 0x14}), "DriveState=7 DriveFlags=20");
    EXPECT_EQ(decoded(Command::SetR, true, {1, 20, 80, 5, 0, 0, 0, 0, 2, 10, 90, 3}),
              "RelEn1=1 RelMin1=20 RelMax1=80 RelHyst1=5 RelEn2=0 RelMin2=0 RelMax2=0 "
              "RelHyst2=0 RelEn3=2 RelMin3=10 RelMax3=90 RelHyst3=3");
    // A short answer gives the fields it holds; an error answer none.
    EXPECT_EQ(decoded(Command::GetA, false, {0, 0xC8, 0x00, 0xDC}), "A=200");
    EXPECT_EQ(decoded(Command::GetA, false, {3}), "");
    // The identification text: Windows-1251 up to the first zero byte.
    EXPECT_EQ(decoded(Command::GetInfo, false, {0xD2, 0xC8, 0xD0, 0xD1, 0, 'x'}), "Text=\"ТИРС\"");
}

TEST(CommandTable, EncodesValuesInTheLayoutItDecodes)
{
    const auto encoded = [](Command c, std::vector<int> values) {
        std::vector<std::uint8_t> data(32, 0xEE);
        const std::size_t n = wake::encodeFields(wake::commandInfo(c).request, values, data.data());
        data.resize(n);
        return data;
    };
    EXPECT_EQ(encoded(Command::SetA, {200, 1500}),
              (std::vector<std::uint8_t>{0xC8, 0x00, 0xDC, 0x05}));
    EXPECT_EQ(encoded(Command::SetAddr, {0xA35C, 2}),
              (std::vector<std::uint8_t>{0x5C, 0xA3, 0x02}));
    EXPECT_EQ(encoded(Command::SetN, {-1}), (std::vector<std::uint8_t>{0xFF, 0xFF}));
    EXPECT_EQ(encoded(Command::SetS, {0x1FF}),
              (std::vector<std::uint8_t>{0xFF}));  // a byte is a byte
    // Fewer values than fields: only those are written.
    EXPECT_EQ(encoded(Command::SetM, {80}), (std::vector<std::uint8_t>{0x50, 0x00}));
}
