#include "positionmath.h"

#include <gtest/gtest.h>
#include <limits>

using namespace posmath;

namespace {

struct PercentRow {
    const char* name;
    int pos;
    int travel;
    int shown;   // percent field
    int marker;  // marker left edge
};

const PercentRow kPercentRows[] = {
    {"zero", 0, 2000, 0, 88},
    {"full_travel", 2000, 2000, 100, 344},
    {"one_of_three", 1, 3, 33, 173},
    {"two_of_three", 2, 3, 67, 259},
    {"half", 1000, 2000, 50, 216},
    {"travel_zero_counts_as_one", 5, 0, 500, 424},
    {"negative_truncates_toward_zero", -27, 1000, -2, 81},
    {"far_below_stops_at_4", -2000, 2000, -99, 4},
    {"far_above_stops_at_424", 4000, 2000, 200, 424},
    {"just_inside_lower_stop", -328, 1000, -32, 4},
    {"largest_position", 32767, 1, 3276700, 424},
    {"smallest_position", -32768, 1, -3276799, 4},
};

class PercentTable : public ::testing::TestWithParam<PercentRow> {};

TEST_P(PercentTable, ShowsPercentAndMarker)
{
    const auto& r = GetParam();
    const double pct = percentOf(r.pos, r.travel);
    EXPECT_EQ(shownPercent(pct), r.shown);
    EXPECT_EQ(markerLeft(pct), r.marker);
}

INSTANTIATE_TEST_SUITE_P(Rows, PercentTable, ::testing::ValuesIn(kPercentRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PositionMath, TravelZeroBecomesOne)
{
    EXPECT_EQ(effectiveTravel(0), 1);
    EXPECT_EQ(effectiveTravel(1), 1);
    EXPECT_EQ(effectiveTravel(65535), 65535);
}

TEST(PositionMath, MarkerEdgesOfTheStops)
{
    // -32.8125 % lands exactly on 4; anything lower is held there.
    EXPECT_EQ(markerLeft(-32.8), 4);
    EXPECT_EQ(markerLeft(-34), 4);
    EXPECT_EQ(markerLeft(131.0), 423);
    EXPECT_EQ(markerLeft(132.0), 424);
    EXPECT_EQ(markerLeft(130.5), 422);
    EXPECT_EQ(markerLeft(std::numeric_limits<double>::infinity()), 424);
}

struct MmRow {
    const char* name;
    int travel;
    double mmPerStep;
    int motSteps;
    int optoBlades;
    int pos;
    const char* text;
};

const MmRow kMmRows[] = {
    {"defaults_4000_steps", 4000, 0.00083, 200, 8, 4000, "83.0"},
    {"defaults_zero", 2000, 0.00083, 200, 8, 0, "0.0"},
    {"defaults_one_step", 2000, 0.00083, 200, 8, 1, "0.0"},
    {"defaults_sixty_percent", 2000, 0.00083, 200, 8, 1200, "24.9"},
    {"negative", 2000, 0.00083, 200, 8, -400, "-8.3"},
    {"four_integer_digits_round_to_four", 1000, 0.0493824, 200, 8, 1000, "1235.0"},
    {"five_integer_digits_trailing_zeros_removed", 2000, 0.5, 200, 8, 2000, "2.5E4"},
    {"five_integer_digits_general_form", 2000, 0.5, 200, 8, 988, "1.235E4"},
    {"below_five_integer_digits", 1000, 0.0333, 200, 8, 1000, "832.5"},
    {"opto_blades_zero_is_empty", 2000, 0.00083, 200, 0, 1000, ""},
    {"opto_blades_zero_at_zero_is_empty", 2000, 0.00083, 200, 0, 0, ""},
};

class MmTable : public ::testing::TestWithParam<MmRow> {};

TEST_P(MmTable, ShowsMillimetres)
{
    const auto& r = GetParam();
    const int travel = effectiveTravel(r.travel);
    const double pct = percentOf(r.pos, travel);
    EXPECT_EQ(millimetreText(millimetres(travel, r.mmPerStep, r.motSteps, r.optoBlades, pct)),
              r.text);
}

INSTANTIATE_TEST_SUITE_P(Rows, MmTable, ::testing::ValuesIn(kMmRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PositionMath, MillimetresNotFiniteIsEmpty)
{
    EXPECT_EQ(millimetreText(std::numeric_limits<double>::quiet_NaN()), "");
    EXPECT_EQ(millimetreText(std::numeric_limits<double>::infinity()), "");
    EXPECT_EQ(millimetreText(-std::numeric_limits<double>::infinity()), "");
}

struct GaugeRow {
    const char* name;
    int input;
    int percent;
};

const GaugeRow kInputRows[] = {
    {"at_4000_is_zero", 4000, 0},        {"below_range_negative", 3000, -6},
    {"truncates_not_rounds", 12080, 50}, {"at_20000_is_full", 20000, 100},
    {"above_range", 21000, 106},         {"zero_current", 0, -25},
    {"just_below_one_percent", 4159, 0}, {"largest_word", 65535, 384},
};

class InputGaugeTable : public ::testing::TestWithParam<GaugeRow> {};

TEST_P(InputGaugeTable, ScalesCurrentInput)
{
    EXPECT_EQ(inputGaugePercent(GetParam().input), GetParam().percent);
}

INSTANTIATE_TEST_SUITE_P(Rows, InputGaugeTable, ::testing::ValuesIn(kInputRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PositionMath, OutputGaugeRoundsPercent)
{
    EXPECT_EQ(outputGaugePercent(0, 2000), 0);
    EXPECT_EQ(outputGaugePercent(1, 3), 33);
    EXPECT_EQ(outputGaugePercent(2, 3), 67);
    EXPECT_EQ(outputGaugePercent(2000, 2000), 100);
    EXPECT_EQ(outputGaugePercent(5, 0), 500);
    EXPECT_EQ(outputGaugePercent(-27, 1000), -2);
}

}  // namespace
