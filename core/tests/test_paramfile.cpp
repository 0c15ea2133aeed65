#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "inifile.h"
#include "paramfile.h"

namespace {

using paramfile::ParamCount;
using paramfile::ParamKeys;

std::size_t indexOf(std::string_view key)
{
    for (std::size_t i = 0; i < ParamCount; ++i) {
        if (ParamKeys[i].key == key) {
            return i;
        }
    }
    ADD_FAILURE() << "no key " << key;
    return 0;
}

paramfile::ParamValues defaults()
{
    paramfile::ParamValues v{};
    for (std::size_t i = 0; i < ParamCount; ++i) {
        v[i] = static_cast<double>(ParamKeys[i].defaultValue);
    }
    return v;
}

TEST(ParamFile, TableHoldsTheNineteenKeysInFileOrder)
{
    const char* expected[][3] = {
        {"Work", "Vmin", "80"},       {"Work", "V1", "200"},          {"Work", "I1", "1000"},
        {"Work", "V2", "200"},        {"Work", "I2", "1000"},         {"Work", "V3", "200"},
        {"Work", "I3", "1000"},       {"Work", "V4", "200"},          {"Work", "I4", "1000"},
        {"Acceleration", "A", "200"}, {"Acceleration", "Ia", "1500"}, {"Play", "Vp", "300"},
        {"Play", "Ip", "800"},        {"Play", "Np", "200"},          {"Lock", "Vl", "100"},
        {"Lock", "Il", "2000"},       {"Lock", "No", "1000"},         {"Lock", "Nc", "1000"},
        {"Travel", "Nt", "2000"},
    };
    ASSERT_EQ(ParamCount, std::size(expected));
    for (std::size_t i = 0; i < ParamCount; ++i) {
        EXPECT_EQ(ParamKeys[i].section, expected[i][0]) << i;
        EXPECT_EQ(ParamKeys[i].key, expected[i][1]) << i;
        EXPECT_EQ(std::to_string(ParamKeys[i].defaultValue), expected[i][2]) << i;
    }
}

TEST(ParamFile, MissingFileReadsAsTheDefaults)
{
    const auto path = std::filesystem::temp_directory_path() / "tirs-no-such-params.par";
    std::filesystem::remove(path);
    EXPECT_EQ(paramfile::read(IniImage::load(path.string())), defaults());
    EXPECT_FALSE(std::filesystem::exists(path));
}

struct ReadCase {
    const char* name;
    const char* file;
    const char* key;
    double expected;
};

class ParamFileRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ParamFileRead, ReadsOneKey)
{
    const ReadCase& c = GetParam();
    const auto values = paramfile::read(IniImage::fromBytes(c.file));
    EXPECT_EQ(values[indexOf(c.key)], c.expected);
    // Every other key keeps its default.
    auto others = defaults();
    auto got = values;
    others[indexOf(c.key)] = got[indexOf(c.key)] = 0;
    EXPECT_EQ(got, others);
}

// Clamping to the field limits is the field's business: the file gives the
// number as written (Vmin=0 stays 0 here, Il=5000 stays 5000).
INSTANTIATE_TEST_SUITE_P(
    Values, ParamFileRead,
    ::testing::Values(
        ReadCase{"Decimal", "[Work]\r\nVmin=90\r\n", "Vmin", 90},
        ReadCase{"Zero", "[Work]\r\nVmin=0\r\n", "Vmin", 0},
        ReadCase{"AboveFieldLimit", "[Lock]\r\nIl=5000\r\n", "Il", 5000},
        ReadCase{"Negative", "[Play]\r\nNp=-7\r\n", "Np", -7},
        ReadCase{"FractionGivesDefault", "[Work]\r\nVmin=75.5\r\n", "Vmin", 80},
        ReadCase{"EmptyGivesDefault", "[Work]\r\nVmin=\r\n", "Vmin", 80},
        ReadCase{"WordGivesDefault", "[Travel]\r\nNt=long\r\n", "Nt", 2000},
        ReadCase{"HexWith0x", "[Work]\r\nV1=0x64\r\n", "V1", 100},
        ReadCase{"HexWithDollar", "[Work]\r\nV1=$64\r\n", "V1", 100},
        ReadCase{"BlanksAroundEquals", "[Acceleration]\r\n  Ia =  1200  \r\n", "Ia", 1200},
        ReadCase{"NamesIgnoreCase", "[work]\r\nvmin=90\r\n", "Vmin", 90},
        ReadCase{"KeyInWrongSectionIgnored", "[Lock]\r\nVmin=90\r\n", "Vmin", 80},
        ReadCase{"LinesBeforeFirstSectionIgnored", "Nt=5\r\n[Travel]\r\n", "Nt", 2000},
        ReadCase{"CommentIgnored", "[Travel]\r\n;Nt=5\r\n", "Nt", 2000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParamFile, ValuesAreTruncatedTowardZero)
{
    EXPECT_EQ(paramfile::truncateValue(12.7), 12);
    EXPECT_EQ(paramfile::truncateValue(12.0), 12);
    EXPECT_EQ(paramfile::truncateValue(-0.1), 0);
    EXPECT_EQ(paramfile::truncateValue(-12.7), -12);
    EXPECT_EQ(paramfile::truncateValue(30000), 30000);
}

TEST(ParamFile, NewFileHoldsFiveSectionsInOrder)
{
    auto values = defaults();
    values[indexOf("V1")] = 12.7;
    values[indexOf("Ia")] = -0.1;
    IniImage ini;
    paramfile::write(ini, values);
    EXPECT_EQ(ini.toBytes(),
              "[Work]\r\nVmin=80\r\nV1=12\r\nI1=1000\r\nV2=200\r\nI2=1000\r\nV3=200\r\n"
              "I3=1000\r\nV4=200\r\nI4=1000\r\n\r\n"
              "[Acceleration]\r\nA=200\r\nIa=0\r\n\r\n"
              "[Play]\r\nVp=300\r\nIp=800\r\nNp=200\r\n\r\n"
              "[Lock]\r\nVl=100\r\nIl=2000\r\nNo=1000\r\nNc=1000\r\n\r\n"
              "[Travel]\r\nNt=2000\r\n\r\n");
}

TEST(ParamFile, SavingOverAnExistingFileKeepsItsOtherSectionsAndKeys)
{
    const std::string before = "stray line\r\n"
                               "; a comment\r\n"
                               "[Notes]\r\n"
                               "Who = service\r\n"
                               "\r\n"
                               "[lock]\r\n"
                               "Extra=1\r\n"
                               "nc = 5\r\n"
                               "; inside\r\n"
                               "[Work]\r\n"
                               "V4=1\r\n"
                               "Vmin=2\r\n";
    IniImage ini = IniImage::fromBytes(before);
    auto values = defaults();
    values[indexOf("Nc")] = 333;
    paramfile::write(ini, values);
    EXPECT_EQ(ini.toBytes(),
              "[Notes]\r\nWho=service\r\n\r\n"
              "[lock]\r\nExtra=1\r\nnc=333\r\nVl=100\r\nIl=2000\r\nNo=1000\r\n\r\n"
              "[Work]\r\nV4=200\r\nVmin=80\r\nV1=200\r\nI1=1000\r\nV2=200\r\nI2=1000\r\n"
              "V3=200\r\nI3=1000\r\nI4=1000\r\n\r\n"
              "[Acceleration]\r\nA=200\r\nIa=1500\r\n\r\n"
              "[Play]\r\nVp=300\r\nIp=800\r\nNp=200\r\n\r\n"
              "[Travel]\r\nNt=2000\r\n\r\n");
}

TEST(ParamFile, WhatIsWrittenReadsBack)
{
    paramfile::ParamValues values{};
    for (std::size_t i = 0; i < ParamCount; ++i) {
        values[i] = static_cast<double>(i * 101 + 1);
    }
    IniImage ini;
    paramfile::write(ini, values);
    EXPECT_EQ(paramfile::read(IniImage::fromBytes(ini.toBytes())), values);
}

TEST(ParamFile, FieldValueIsWhatThePageSends)
{
    const auto& vmin = ParamKeys[indexOf("Vmin")];
    const auto& il = ParamKeys[indexOf("Il")];
    const auto& v1 = ParamKeys[indexOf("V1")];
    EXPECT_EQ(paramfile::fieldValue(vmin, 0), 1);      // the field's lower limit
    EXPECT_EQ(paramfile::fieldValue(il, 5000), 2000);  // its upper limit
    EXPECT_EQ(paramfile::fieldValue(v1, -5), 0);       // -0.1, truncated
    EXPECT_EQ(paramfile::fieldValue(v1, 12.7), 12);
    EXPECT_EQ(paramfile::fieldValue(v1, std::nan("")), 0);
}

}  // namespace
