// The trends record: samples from a tick, lines with their breaks, the
// memory bound, markers, CSV, and the readings the trends add to a tick.
#include <gtest/gtest.h>

#include <sstream>

#include "codes.h"
#include "pollextras.h"
#include "status.h"
#include "simport.h"
#include "trendcsv.h"
#include "trendrecord.h"

namespace {

sim::Faults silentFaults()
{
    sim::Faults f;
    f.silent = true;
    return f;
}

service::PollSnapshot snap(int position, std::optional<int> travel = std::nullopt)
{
    service::PollSnapshot s;
    s.position = position;
    s.travel = travel;
    return s;
}

service::TrendSample sample(std::int64_t time, std::optional<int> state, int address = 1)
{
    service::TrendSample s;
    s.time = time;
    s.address = address;
    s.driveState = state;
    return s;
}

std::vector<std::vector<std::pair<std::int64_t, double>>>
flat(const std::vector<service::TrendLine>& lines)
{
    std::vector<std::vector<std::pair<std::int64_t, double>>> out;
    for (const service::TrendLine& l : lines) {
        out.emplace_back();
        for (const service::TrendPoint& p : l)
            out.back().emplace_back(p.time, p.value);
    }
    return out;
}

}  // namespace

TEST(TrendRecord, SamplesCarryPercentAndMillimetresOnceTheTravelIsKnown)
{
    service::TrendRecord r;
    const service::PositionScale scale;  // 0.00083 mm x 200 / 8: 0.02075 mm per optical step
    r.addPoll(snap(500), 0, 1, scale);   // travel not read yet
    r.addPoll(snap(1000, 2000), 300, 1, scale);
    r.addPoll(snap(1500), 600, 1, scale);  // the travel read before
    r.addPoll(snap(5, 0), 900, 2, scale);  // travel 0 taken as 1
    service::PollSnapshot relays = snap(0, 2000);
    relays.inputCurrent = 12080;
    relays.relayStates = 0b101;
    r.addPoll(relays, 1200, 1, scale);

    const auto& s = r.samples();
    ASSERT_EQ(s.size(), 5u);
    EXPECT_FALSE(s[0].percent);
    EXPECT_EQ(s[0].position, 500);
    EXPECT_DOUBLE_EQ(*s[1].percent, 50.0);
    EXPECT_NEAR(*s[1].millimetres, 20.75, 1e-9);
    EXPECT_DOUBLE_EQ(*s[2].percent, 75.0);
    EXPECT_DOUBLE_EQ(*s[3].percent, 500.0);
    EXPECT_NEAR(*service::trendValue(s[4], service::TrendQuantity::InputCurrent), 12.08, 1e-9);
    EXPECT_EQ(service::trendValue(s[4], service::TrendQuantity::Relay1), 1.0);
    EXPECT_EQ(service::trendValue(s[4], service::TrendQuantity::Relay2), 0.0);
    EXPECT_EQ(service::trendValue(s[4], service::TrendQuantity::Relay3), 1.0);
    EXPECT_FALSE(service::trendValue(s[1], service::TrendQuantity::DriveState));

    service::PositionScale noBlades;
    noBlades.optoBlades = 0;
    r.addPoll(snap(1000, 2000), 1500, 1, noBlades);
    EXPECT_TRUE(r.samples().back().percent);
    EXPECT_FALSE(r.samples().back().millimetres);
}

TEST(TrendRecord, LinesBreakAtPausesMissingReadingsAndOtherActuators)
{
    service::TrendLimits limits;
    limits.maxGap = 1000;
    service::TrendRecord r(limits);
    r.add(sample(0, 1));
    r.add(sample(300, 1));
    r.add(sample(600, 2));
    r.add(sample(2000, 2));             // after a pause
    r.add(sample(2300, std::nullopt));  // a tick that did not read the state
    r.add(sample(2600, 0));
    r.add(sample(2900, 5, 7));  // another actuator
    r.add(sample(3200, 0));

    using L = std::vector<std::vector<std::pair<std::int64_t, double>>>;
    EXPECT_EQ(flat(r.lines(service::TrendQuantity::DriveState, 1, 0, 10000, false)),
              (L{{{0, 1}, {300, 1}, {600, 2}}, {{2000, 2}}, {{2600, 0}}, {{3200, 0}}}));
    // A step line holds each value until the next reading.
    EXPECT_EQ(flat(r.lines(service::TrendQuantity::DriveState, 1, 0, 1000, true)),
              (L{{{0, 1}, {300, 1}, {600, 1}, {600, 2}}}));
    // A window that starts between two readings begins at the one before it.
    EXPECT_EQ(flat(r.lines(service::TrendQuantity::DriveState, 1, 400, 700, false)),
              (L{{{300, 1}, {600, 2}}}));
    EXPECT_EQ(flat(r.lines(service::TrendQuantity::DriveState, 7, 0, 10000, false)),
              (L{{{2900, 5}}}));
    EXPECT_EQ(r.valueAt(service::TrendQuantity::DriveState, 1, 2300), 2.0);
    EXPECT_FALSE(r.valueAt(service::TrendQuantity::DriveState, 1, -1));
}

TEST(TrendRecord, MemoryIsBoundedByThinningOldReadings)
{
    service::TrendLimits limits;
    limits.fineSpan = 60'000;
    limits.coarseStep = 10'000;
    limits.horizon = 30 * 60'000;
    limits.maxMarkers = 50;
    service::TrendRecord r(limits);
    const std::int64_t tick = 300, end = 2 * 3600'000;
    for (std::int64_t t = 0; t <= end; t += tick) {
        service::TrendSample s = sample(t, static_cast<int>(t / tick % 13));
        // Only every fourth tick reads the current input: thinning keeps it.
        if (t / tick % 4 == 0)
            s.inputCurrent = 4000 + static_cast<int>(t / tick % 100);
        r.add(s);
        r.addMarker({t, 1, wake::CmdOpen});
    }
    const auto& s = r.samples();
    const std::size_t fine = limits.fineSpan / tick + 1;
    const std::size_t coarse = limits.horizon / limits.coarseStep + 1;
    EXPECT_LE(s.size(), fine + coarse);
    EXPECT_GE(s.front().time, end - limits.horizon);
    EXPECT_LE(r.markers().size(), limits.maxMarkers);
    EXPECT_GE(r.markers().front().time, end - limits.horizon);
    std::size_t fineSeen = 0;
    for (const service::TrendSample& x : s)
        fineSeen += x.time >= end - limits.fineSpan;
    for (std::size_t i = 1; i < s.size(); ++i) {
        ASSERT_LE(s[i - 1].time, s[i].time);
        if (s[i - 1].time >= end - limits.fineSpan) {
            EXPECT_EQ(s[i].time - s[i - 1].time, tick) << "every recent reading is kept";
        } else {
            EXPECT_NE(s[i].time / limits.coarseStep, s[i - 1].time / limits.coarseStep)
                << "one reading per step beyond the fine span";
            EXPECT_TRUE(s[i].inputCurrent) << "a thinned reading keeps what its step read";
            EXPECT_FALSE(s[i].breakBefore);
        }
    }
    EXPECT_EQ(fineSeen, fine);
}

TEST(TrendRecord, CsvHasOneRowPerReadingAndPerCommandInTimeOrder)
{
    service::TrendRecord r;
    service::PollSnapshot a = snap(1000, 2000);
    a.driveState = 1;
    a.driveFlags = 0x11;
    r.addPoll(a, 1000, 17, service::PositionScale{});
    r.addMarker({1000, 17, wake::CmdOpen});
    service::PollSnapshot b = snap(1010);
    b.inputCurrent = 12345;
    b.relayStates = 0b010;
    r.addPoll(b, 1300, 17, service::PositionScale{});
    std::ostringstream out;
    service::writeTrendCsv(out, r, [](std::int64_t ms) { return "t" + std::to_string(ms); });
    EXPECT_EQ(out.str(), std::string(service::TrendCsvHeader) + "\n" +
                             "t1000;17;;;;;;;;;Открыть\n"
                             "t1000;17;1000;50.0;20.75;1;Выполняется открытие;откр PC;;;\n"
                             "t1300;17;1010;50.5;20.96;;;;12.345;010;\n");
}

using PollReading = SimPortTest;

TEST_F(PollReading, TheTickAndTheStatusReadInOneOrder)
{
    line.with(SimAddress, [](sim::ActuatorState& s) {
        s.N = 700;
        s.Nt = 2000;
        s.inputCurrent = 12000;
        s.relayStates = 0b010;
    });
    const auto sent = [&](auto&& read) {
        pty->clearRequests();
        read();
        std::vector<int> codes;
        for (const auto& r : pty->requests())
            codes.push_back(r.command);
        return codes;
    };
    // GetN 19, GetS 17, GetT 21, GetL 13, GetI 22, GetRS 25.
    using service::PollPage;
    EXPECT_EQ(sent([&] { service::readPoll(port, PollPage::Other); }), std::vector<int>{19});
    EXPECT_EQ(sent([&] { service::readPoll(port, PollPage::Control); }),
              (std::vector<int>{19, 17, 21, 13}));
    EXPECT_EQ(sent([&] { service::readPoll(port, PollPage::Relays); }),
              (std::vector<int>{19, 21, 22, 25}));
    service::StatusReading status;
    EXPECT_EQ(sent([&] { status = service::readStatus(port, SimAddress); }),
              (std::vector<int>{19, 17, 21, 13, 22, 25}));
    EXPECT_EQ(status.position, 700);
    EXPECT_EQ(status.travel, 2000);
    EXPECT_EQ(status.inputCurrent, 12000);
    EXPECT_EQ(status.relayStates, 0b010);

    // The tick takes a silent actuator as gone; the status throws.
    setFaults(silentFaults());
    EXPECT_TRUE(service::readPoll(port, PollPage::Control).failed());
    EXPECT_THROW(service::readStatus(port, SimAddress), EHardwareException);
}

using TrendExtras = SimPortTest;

TEST_F(TrendExtras, AddOnlyWhatThePageLacksAndOnlyWhenNeeded)
{
    line.with(SimAddress, [](sim::ActuatorState& s) {
        s.driveState = 2;
        s.driveFlags = wake::flag::Limo;
        s.inputCurrent = 8000;
        s.relayStates = 0b101;
    });
    using service::PollPage;
    const service::PollNeeds trends{true, true, false}, noTravel{true, false, false},
        stroke{false, false, true}, none{}, lineFirst{false, false, false, true, false},
        lineNext{false, false, false, true, true};
    const auto sent = [&](PollPage page, const service::PollNeeds& needs,
                          service::PollSnapshot& s) {
        pty->clearRequests();
        service::readExtras(port, service::extraReadings(page, needs), s);
        std::vector<int> codes;
        for (const auto& r : pty->requests())
            codes.push_back(r.command);
        return codes;
    };
    // GetS 17, GetT 21, GetI 22, GetRS 25: at most three per tick for the
    // trends, one for a stroke, none for neither.
    service::PollSnapshot control, relays, other, first, timed, idle, failed;
    failed.failure = ExchangeOutcome::NoAnswer;
    EXPECT_EQ(sent(PollPage::Control, trends, control), (std::vector<int>{22, 25}));
    EXPECT_EQ(sent(PollPage::Relays, trends, relays), (std::vector<int>{17}));
    EXPECT_EQ(sent(PollPage::Other, trends, other), (std::vector<int>{17, 22, 25}));
    EXPECT_EQ(sent(PollPage::Other, noTravel, first), (std::vector<int>{17, 21, 22, 25}));
    EXPECT_EQ(sent(PollPage::Relays, stroke, timed), (std::vector<int>{17}));
    EXPECT_EQ(sent(PollPage::Control, stroke, timed), std::vector<int>{});
    EXPECT_EQ(sent(PollPage::Other, none, idle), std::vector<int>{});
    service::PollSnapshot row;
    EXPECT_EQ(sent(PollPage::Other, lineFirst, row), (std::vector<int>{17, 21}));
    EXPECT_EQ(sent(PollPage::Other, lineNext, row), (std::vector<int>{}));  // row has both now
    EXPECT_EQ(sent(PollPage::Other, lineNext, idle), (std::vector<int>{17}));
    EXPECT_EQ(sent(PollPage::Other, trends, failed), std::vector<int>{});
    EXPECT_EQ(other.driveState, 2);
    EXPECT_EQ(other.driveFlags, wake::flag::Limo);
    EXPECT_EQ(other.inputCurrent, 8000);
    EXPECT_EQ(other.relayStates, 0b101);
    EXPECT_EQ(control.inputCurrent, 8000);
    EXPECT_EQ(timed.driveFlags, wake::flag::Limo);

    // A failure ends the additions, leaves them empty, and the tick standing.
    setFaults(silentFaults());
    service::PollSnapshot silent;
    pty->clearRequests();
    service::readExtras(port, service::extraReadings(PollPage::Other, trends), silent);
    EXPECT_EQ(pty->requests().size(), 1u);
    EXPECT_FALSE(silent.failed());
    EXPECT_FALSE(silent.driveState);
    EXPECT_FALSE(silent.inputCurrent);
}
