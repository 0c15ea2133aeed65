// The line overview's round: which reading comes next, what an answer or a
// silence does to a row, and one reading made at another address.
#include <gtest/gtest.h>

#include "lineoverview.h"
#include "simport.h"

namespace {

sim::Faults silentFaults()
{
    sim::Faults f;
    f.silent = true;
    return f;
}

using Clock = service::LineOverview::Clock;

std::string str(const std::optional<service::LineRequest>& r)
{
    if (!r)
        return "-";
    const char* names[] = {"T", "S", "N"};
    return std::to_string(r->address) + names[static_cast<int>(r->reading)];
}

std::string round(service::LineOverview& o, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i) {
        const auto r = o.next();
        out += (i ? " " : "") + str(r);
        if (r)
            o.answered(*r, 100, 0, Clock::now());
    }
    return out;
}

}  // namespace

TEST(LineOverview, VisitsEveryOtherActuatorInTurn)
{
    service::LineOverview o;
    o.setDevices({{1, "a"}, {2, "b"}, {3, "c"}});
    o.setSelected(2);
    EXPECT_EQ(round(o, 6), "1T 1S 1N 3T 3S 3N");
    EXPECT_EQ(round(o, 4), "1S 1N 3S 3N");  // the travel is known now
    // The travel is read again now and then.
    for (int i = 1; i < service::LineOverview::TravelEvery - 1; ++i)
        round(o, 4);
    EXPECT_EQ(round(o, 6), "1T 1S 1N 3T 3S 3N");

    // A silent actuator gives up its turn until the next round.
    const auto r = o.next();
    EXPECT_EQ(str(r), "1S");
    o.failed(1);
    EXPECT_TRUE(o.find(1)->silent);
    EXPECT_EQ(round(o, 3), "3S 3N 1S");
    EXPECT_FALSE(o.find(1)->silent);

    // Only the selected actuator: nothing to read.
    o.setDevices({{2, "b"}});
    EXPECT_EQ(str(o.next()), "-");
    o.setDevices({});
    EXPECT_EQ(str(o.next()), "-");
}

TEST(LineOverview, KeepsReadingsAcrossANewDeviceListAndTakesTheSelectedFromItsPoll)
{
    service::LineOverview o;
    o.setDevices({{3, "c"}, {17, "q"}});
    o.answered({3, service::LineReading::Travel}, 2000, 0, Clock::now());
    o.answered({3, service::LineReading::Position}, 1000, 0, Clock::now());
    o.answered({3, service::LineReading::State}, 1, 0x08, Clock::now());
    o.setDevices({{17, "q2"}, {3, "c"}, {40, "new"}});
    const service::LineEntry* e = o.find(3);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->percent(), 50);
    EXPECT_EQ(e->driveFlags, 0x08);
    EXPECT_EQ(o.find(17)->type, "q2");
    EXPECT_FALSE(o.find(40)->lastAnswer);

    service::PollSnapshot s;
    s.position = 300;
    s.travel = 0;  // taken as 1
    o.pollRead(17, s, Clock::now());
    EXPECT_EQ(o.find(17)->percent(), 30000);
    EXPECT_FALSE(o.find(17)->driveState);
    s.failure = ExchangeOutcome::NoAnswer;
    o.pollRead(17, s, Clock::now());
    EXPECT_TRUE(o.find(17)->silent);
    EXPECT_EQ(o.find(17)->position, 300);
}

using LineRefresh = SimPortTest;

TEST_F(LineRefresh, ReadsAtTheOtherAddressAndGivesTheClientItsAddressBack)
{
    addStillActuator(line, 5, "ТИРС-70 №0005");
    line.with(5, [](sim::ActuatorState& s) {
        s.N = 700;
        s.Nt = 1400;
        s.driveState = 1;
        s.driveFlags = 0x05;
    });
    service::LineOverview o;
    o.setDevices({{SimAddress, "x"}, {5, "y"}});
    o.setSelected(SimAddress);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(service::refreshNext(port, o, Clock::now()));
    EXPECT_EQ(port.DevAddr, SimAddress);
    const auto log = pty->requests();
    ASSERT_EQ(log.size(), 3u);
    for (const auto& r : log)
        EXPECT_EQ(r.address, 5);
    EXPECT_EQ(log[0].command, 21);  // GetT
    EXPECT_EQ(log[1].command, 17);  // GetS
    EXPECT_EQ(log[2].command, 19);  // GetN
    const service::LineEntry* e = o.find(5);
    EXPECT_EQ(e->percent(), 50);
    EXPECT_EQ(e->driveState, 1);
    EXPECT_TRUE(e->lastAnswer);

    line.setFaults(5, silentFaults());
    EXPECT_TRUE(service::refreshNext(port, o, Clock::now()));
    EXPECT_TRUE(o.find(5)->silent);
    EXPECT_EQ(port.DevAddr, SimAddress);
}
