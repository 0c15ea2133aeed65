// The device model through Line::handleRequest, with simulated time stepped
// by the test (time scale 0), answers checked byte for byte.
#include <gtest/gtest.h>

#include "actuator.h"
#include "sim/simline.h"
#include "wirebytes.h"

using namespace std::chrono_literals;
using wire::Bytes;

namespace {

class Model : public ::testing::Test {
protected:
    void SetUp() override
    {
        line.setTimeScale(0);
        line.addActuator(1, "ТИРС-70 №0001");
    }

    // The one answer to a request, decoded by the reference decoder.
    wire::Frame ask(int address, int command, const Bytes& data = {})
    {
        auto answers = line.handleRequest(address != 0, address, command, data);
        EXPECT_EQ(answers.size(), 1u);
        if (answers.size() != 1)
            return {};
        auto f = wire::unframe(answers[0].bytes);
        EXPECT_TRUE(f.has_value());
        return f.value_or(wire::Frame{});
    }

    Bytes askData(int address, int command, const Bytes& data = {})
    {
        wire::Frame f = ask(address, command, data);
        EXPECT_EQ(f.command, command);
        EXPECT_EQ(f.address, address);
        return f.data;
    }

    // Steps simulated time and records every DriveState seen, once each time it changes.
    std::vector<int> runUntilIdle(int address, std::chrono::milliseconds step, int maxSteps)
    {
        std::vector<int> states{line.state(address).driveState};
        for (int i = 0; i < maxSteps; ++i) {
            line.advanceBy(step);
            ActuatorState s = line.state(address);
            if (s.driveState != states.back())
                states.push_back(s.driveState);
            if (!(s.driveFlags & (sim::flag::OpenCmd | sim::flag::CloseCmd)))
                break;
        }
        return states;
    }

    using ActuatorState = sim::ActuatorState;
    sim::Line line;
};

TEST(ReferenceFraming, MatchesTheWorkedFrames)
{
    EXPECT_EQ(wire::frame(1, 3, {}), (Bytes{0xC0, 0x81, 0x03, 0x00, 0xD3}));
    EXPECT_EQ(wire::frame(0, 3, {}), (Bytes{0xC0, 0x03, 0x00, 0xEB}));
    EXPECT_EQ(wire::frame(2, 16, {0x05}), (Bytes{0xC0, 0x82, 0x10, 0x01, 0x05, 0x68}));
    EXPECT_EQ(wire::frame(64, 17, {}), (Bytes{0xC0, 0xDB, 0xDC, 0x11, 0x00, 0x34}));
    EXPECT_EQ(wire::frame(1, 18, {0xC0, 0xDB}),
              (Bytes{0xC0, 0x81, 0x12, 0x02, 0xDB, 0xDC, 0xDB, 0xDD, 0x36}));
    std::uint8_t c = 0xDE;
    for (std::uint8_t b = '1'; b <= '9'; ++b)
        c = wire::fold(c, b);
    EXPECT_EQ(c, 0xC2);
    auto f = wire::unframe({0xC0, 0x81, 0x12, 0x02, 0xDB, 0xDC, 0xDB, 0xDD, 0x36});
    ASSERT_TRUE(f);
    EXPECT_EQ(f->address, 1);
    EXPECT_EQ(f->data, (Bytes{0xC0, 0xDB}));
    EXPECT_FALSE(wire::unframe({0xC0, 0x81, 0x12, 0x02, 0xDB, 0xDC, 0xDB, 0xDD, 0x37}));
}

TEST_F(Model, GetInfoAnswersTheTextInWindows1251WithAZeroByte)
{
    auto answers = line.handleRequest(true, 1, 3, {});
    ASSERT_EQ(answers.size(), 1u);
    const Bytes text{0xD2, 0xC8, 0xD0, 0xD1, '-', '7', '0', ' ', 0xB9, '0', '0', '0', '1', 0x00};
    EXPECT_EQ(answers[0].bytes, wire::frame(1, 3, text));
}

TEST_F(Model, FactoryValuesAndParameterLayouts)
{
    EXPECT_EQ(askData(1, 7), (Bytes{0, 80, 0, 0}));                   // GetM
    EXPECT_EQ(askData(1, 9), (Bytes{0, 200, 0, 0xDC, 0x05}));         // GetA
    EXPECT_EQ(askData(1, 11), (Bytes{0, 0x2C, 1, 0x20, 3, 200, 0}));  // GetP 300 800 200
    EXPECT_EQ(askData(1, 21), (Bytes{0, 0xD0, 0x07}));                // GetT 2000
    EXPECT_EQ(askData(1, 22), (Bytes{0, 0xE0, 0x2E}));                // GetI 12000

    struct Row {
        int set, get;
        Bytes values;
    };
    const Row rows[] = {
        {6, 7, {0x34, 0x12, 0x56}},
        {8, 9, {0xC8, 0x00, 0xDC, 0x05}},
        {10, 11, {1, 2, 3, 4, 5, 6}},
        {12, 13, {0x64, 0, 0xD0, 0x07, 0xE8, 0x03, 0xC0, 0x03}},
        {20, 21, {0x70, 0x11}},
        {23, 24, {0x01, 0x14, 0x50, 0x05, 0, 0, 0, 0, 0x02, 0x0A, 0x5A, 0x03}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.set);
        EXPECT_EQ(askData(1, r.set, r.values), Bytes{0});
        Bytes expected{0};
        expected.insert(expected.end(), r.values.begin(), r.values.end());
        EXPECT_EQ(askData(1, r.get), expected);
    }
    ActuatorState s = line.state(1);
    EXPECT_EQ(s.A, 200);
    EXPECT_EQ(s.Ia, 1500);
    EXPECT_EQ(s.Nt, 0x1170);
    EXPECT_EQ(s.Nc, 0x03C0);
    EXPECT_EQ(s.relays[2].max, 90);

    Bytes w;
    for (int i = 1; i <= 16; ++i)
        w.push_back(std::uint8_t(i));
    EXPECT_EQ(askData(1, 14, w), Bytes{0});
    line.with(1, [](ActuatorState& st) { st.workStatus = 0x12; });
    Bytes expected{0};
    expected.insert(expected.end(), w.begin(), w.end());
    expected.push_back(0x12);
    EXPECT_EQ(askData(1, 15), expected);  // WorkStatus at position 17
}

TEST_F(Model, PositionCounterIsASignedWord)
{
    EXPECT_EQ(askData(1, 18, {0xFF, 0xFF}), Bytes{0});
    EXPECT_EQ(line.state(1).N, -1);
    EXPECT_EQ(askData(1, 19), (Bytes{0, 0xFF, 0xFF}));
    line.with(1, [](ActuatorState& s) { s.N = -32768; });
    EXPECT_EQ(askData(1, 19), (Bytes{0, 0x00, 0x80}));
}

TEST_F(Model, BadRequestsGetErrorCodes)
{
    struct Row {
        int command;
        Bytes data;
        std::uint8_t error;
    };
    const Row rows[] = {
        {8, {1, 2, 3}, 1},      // SetA one byte short
        {9, {1}, 1},            // GetA with data
        {23, Bytes(11, 0), 1},  // SetR short
        {5, {}, 1},             // no such command
        {0, {}, 1},
        {60, {}, 1},
        {16, {7}, 4},             // no such motion code
        {4, {0x5C, 0xA4, 2}, 4},  // wrong SetAddr prefix
        {4, {0x5C, 0xA3, 0}, 4},  // address out of range
        {4, {0x5C, 0xA3, 128}, 4},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.command);
        EXPECT_EQ(askData(1, r.command, r.data), Bytes{r.error});
    }
    EXPECT_EQ(line.state(1).address, 1);
    EXPECT_EQ(line.state(1).A, 200);
}

TEST_F(Model, FramesForOtherAddressesAreIgnored)
{
    EXPECT_TRUE(line.handleRequest(true, 2, 3, {}).empty());
    EXPECT_TRUE(line.handleRequest(true, 2, 8, {1, 0, 2, 0}).empty());
    EXPECT_EQ(line.state(1).A, 200);
}

TEST_F(Model, SetAddrWithoutAddressByteReachesEveryActuator)
{
    line.addActuator(2, "ТИРС-70 №0002");
    auto answers = line.handleRequest(false, 0, 4, {0x5C, 0xA3, 7});
    ASSERT_EQ(answers.size(), 2u);
    for (const auto& a : answers)
        EXPECT_EQ(a.bytes, wire::frame(7, 4, {0}));  // from the new address
    EXPECT_EQ(line.addresses(), (std::vector<int>{7, 7}));

    // Addressed, it changes only that actuator.
    line.removeActuator(7);
    line.addActuator(1, "a");
    line.addActuator(2, "b");
    wire::Frame answer = ask(2, 4, {0x5C, 0xA3, 9});
    EXPECT_EQ(answer.address, 9);
    EXPECT_EQ(answer.data, Bytes{0});
    EXPECT_EQ(line.addresses(), (std::vector<int>{1, 9}));
}

TEST_F(Model, OpeningFromTheClosedEndRunsTheWholeSequence)
{
    line.with(1, [](ActuatorState& s) { s.driveState = sim::drive::CloseFinished; });
    EXPECT_EQ(askData(1, 16, {5}), Bytes{0});
    ActuatorState s = line.state(1);
    EXPECT_EQ(s.driveFlags & 0x1F, sim::flag::OpenCmd | sim::flag::Pc | sim::flag::Limc);

    int lastN = 0;
    std::vector<int> states{s.driveState};
    for (int i = 0; i < 100000 && (line.state(1).driveFlags & sim::flag::OpenCmd); ++i) {
        line.advanceBy(20ms);
        s = line.state(1);
        EXPECT_GE(s.N, lastN);
        lastN = s.N;
        if (s.driveState != states.back())
            states.push_back(s.driveState);
        if (s.N > 0 && s.N < s.Nt) {
            EXPECT_EQ(s.driveFlags & (sim::flag::Limo | sim::flag::Limc), 0);
        }
    }
    EXPECT_EQ(states, (std::vector<int>{9, 3, 1, 5, 7}));
    EXPECT_EQ(s.N, s.Nt);
    EXPECT_EQ(s.driveFlags & 0x1F, sim::flag::Limo | sim::flag::Pc);
}

TEST_F(Model, MotionTakesTheTimeOfItsSpeeds)
{
    // Closed end to open end: unlock Nc at Vl, backlash Np at Vp, then the
    // working speed V1 up to the open zone, then No at Vl.
    const ActuatorState f = line.state(1);
    const double end = f.Nt * 25.0;
    const double seconds = double(f.Nc) / f.Vl + double(f.Np) / f.Vp +
                           (end - f.No - f.Nc - f.Np) / f.V1 + double(f.No) / f.Vl;
    askData(1, 16, {5});
    line.advanceBy(std::chrono::microseconds(long(seconds * 1e6) - 50000));
    EXPECT_EQ(line.state(1).driveState, sim::drive::LockingOpen);
    line.advanceBy(100ms);
    EXPECT_EQ(line.state(1).driveState, sim::drive::OpenFinished);

    // Halfway through the working movement: N in optical steps, 25 motor steps each.
    line.with(1, [](ActuatorState& s) {
        s.N = 400;
        s.driveState = 0;
    });
    askData(1, 16, {5});  // mid-travel: backlash first, no unlocking
    EXPECT_EQ(line.state(1).driveState, sim::drive::BacklashOpen);
    line.advanceBy(std::chrono::microseconds(long(1e6 * f.Np / f.Vp)) + 1ms);
    EXPECT_EQ(line.state(1).N, 400 + f.Np / 25);
    line.advanceBy(10s);  // 10 s at 200 motor steps/s = 80 optical steps
    EXPECT_EQ(line.state(1).N, 400 + f.Np / 25 + 80);
    EXPECT_EQ(line.state(1).driveState, sim::drive::Opening);
}

TEST_F(Model, ClosingFromTheOpenEndAndTheWorkingSpeedInEffect)
{
    line.with(1, [](ActuatorState& s) {
        s.N = s.Nt;
        s.driveState = sim::drive::OpenFinished;
        s.V3 = 1000;
        s.workStatus = 2;  // speed 3
    });
    askData(1, 16, {6});
    EXPECT_EQ(runUntilIdle(1, 50ms, 100000), (std::vector<int>{10, 4, 2, 6, 8}));
    ActuatorState s = line.state(1);
    EXPECT_EQ(s.N, 0);
    EXPECT_EQ(s.driveFlags & 0x1F, sim::flag::Limc | sim::flag::Pc);

    // At speed 3 the working movement is five times as fast as at speed 1.
    line.with(1, [](ActuatorState& st) {
        st.N = 1000;
        st.driveState = 0;
    });
    askData(1, 16, {6});
    line.advanceBy(std::chrono::microseconds(long(1e6 * s.Np / s.Vp)) + 1ms);
    const int before = line.state(1).N;
    line.advanceBy(1s);
    EXPECT_EQ(before - line.state(1).N, 1000 / 25);
}

TEST_F(Model, LockingZoneMarkedInactiveIsRunAtTheWorkingSpeed)
{
    line.with(1, [](ActuatorState& s) {
        s.N = 1000;
        s.workStatus = 0x10;
    });
    askData(1, 16, {5});
    EXPECT_EQ(runUntilIdle(1, 50ms, 100000), (std::vector<int>{3, 1, 7}));
}

TEST_F(Model, StopAndStopOff)
{
    line.with(1, [](ActuatorState& s) { s.N = 1000; });
    for (std::uint8_t code : {4, 0}) {
        SCOPED_TRACE(int(code));
        askData(1, 16, {5});
        line.advanceBy(5s);
        const int n = line.state(1).N;
        EXPECT_GT(n, 1000);
        EXPECT_EQ(askData(1, 16, {code}), Bytes{0});
        line.advanceBy(5s);
        ActuatorState s = line.state(1);
        EXPECT_EQ(s.N, n);
        EXPECT_EQ(s.driveState, sim::drive::Stopped);
        EXPECT_EQ(s.driveFlags & 0x1F, sim::flag::Pc);
        EXPECT_EQ(askData(1, 17), (Bytes{0, 0, sim::flag::Pc}));
    }
}

TEST_F(Model, FrozenStateStaysAsTheTestSetIt)
{
    line.with(1, [](ActuatorState& s) {
        s.frozen = true;
        s.N = 5;
        s.driveState = 11;
        s.driveFlags = 0x0C;
    });
    askData(1, 16, {5});
    line.advanceBy(100s);
    EXPECT_EQ(askData(1, 19), (Bytes{0, 5, 0}));
}

TEST_F(Model, RelaysFollowTheInputAndTheOutput)
{
    // relay 1 on the input 20..80 % with 5 % hysteresis, relay 3 on the output 50..100 %.
    askData(1, 23, {1, 20, 80, 5, 0, 0, 0, 0, 2, 50, 100, 0});
    struct Row {
        int microamps;
        int n;
        int states;
    };
    const Row rows[] = {
        {4000, 0, 0},      //   0 %
        {7200, 0, 1},      //  20 %: on
        {6560, 0, 1},      //  16 %: still on inside the hysteresis
        {6300, 0, 0},      // 14.4 %: off
        {6560, 0, 0},      //  16 %: stays off below the range
        {16800, 999, 1},   //  80 %, output 49.95 %
        {17500, 1000, 5},  // 84.4 % (hysteresis), output 50 %
        {17700, 2000, 4},  // 85.6 %: input relay off; output 100 %
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.microamps);
        line.with(1, [&](ActuatorState& s) {
            s.inputCurrent = r.microamps;
            s.N = r.n;
        });
        EXPECT_EQ(askData(1, 25), (Bytes{0, std::uint8_t(r.states)}));
        EXPECT_EQ(askData(1, 22),
                  (Bytes{0, std::uint8_t(r.microamps & 0xFF), std::uint8_t(r.microamps >> 8)}));
    }
}

TEST_F(Model, FaultModes)
{
    const Bytes getA = wire::frame(1, 9, {0, 200, 0, 0xDC, 0x05});
    auto answersTo = [&](int command, const Bytes& data = {}) {
        return line.handleRequest(true, 1, command, data);
    };

    sim::Faults f;
    f.silent = true;
    line.setFaults(1, f);
    EXPECT_TRUE(answersTo(9).empty());

    f = {};
    f.silentEvery = 3;
    line.setFaults(1, f);
    int answered = 0;
    for (int i = 0; i < 9; ++i)
        answered += int(answersTo(9).size());
    EXPECT_EQ(answered, 6);

    f = {};
    f.errorCode = 3;
    line.setFaults(1, f);
    EXPECT_EQ(answersTo(8, {1, 0, 2, 0})[0].bytes, wire::frame(1, 8, {3}));
    EXPECT_EQ(line.state(1).A, 200);  // refused
    EXPECT_EQ(answersTo(3).size(), 1u);

    f = {};
    f.wrongCommand = true;
    line.setFaults(1, f);
    EXPECT_EQ(answersTo(9)[0].bytes, wire::frame(1, 10, {0, 200, 0, 0xDC, 0x05}));

    f = {};
    f.badCheckByte = true;
    line.setFaults(1, f);
    Bytes bad = answersTo(9)[0].bytes;
    EXPECT_FALSE(wire::unframe(bad));
    ASSERT_EQ(bad.size(), getA.size());
    EXPECT_TRUE(std::equal(getA.begin(), getA.end() - 1, bad.begin()));

    f = {};
    f.cutAfter = 3;
    line.setFaults(1, f);
    EXPECT_EQ(answersTo(9)[0].bytes, Bytes(getA.begin(), getA.begin() + 3));

    f = {};
    f.strayBytes = 7;
    f.byteGap = 3ms;
    line.setFaults(1, f);
    auto a = answersTo(9)[0];
    EXPECT_EQ(a.byteGap, 3ms);
    ASSERT_EQ(a.bytes.size(), getA.size() + 7);
    EXPECT_EQ(std::count(a.bytes.begin(), a.bytes.begin() + 7, 0xC0), 0);
    EXPECT_EQ(Bytes(a.bytes.begin() + 7, a.bytes.end()), getA);

    f = {};
    f.answerData = Bytes{0, 1, 2};
    line.setFaults(1, f);
    EXPECT_EQ(answersTo(9)[0].bytes, wire::frame(1, 9, {0, 1, 2}));

    f = {};
    f.randomFaultRate = 1.0;
    line.setFaults(0, f);
    for (int i = 0; i < 30; ++i) {
        auto answers = answersTo(9);
        if (!answers.empty()) {
            auto got = wire::unframe(answers[0].bytes);
            EXPECT_TRUE(!got || got->command != 9);
        }
    }

    line.clearFaults();
    EXPECT_EQ(answersTo(9)[0].bytes, getA);
}

TEST_F(Model, FaultsOfOneAddressLeaveTheOthersAlone)
{
    line.addActuator(2, "b");
    sim::Faults f;
    f.silent = true;
    line.setFaults(2, f);
    EXPECT_EQ(line.handleRequest(true, 1, 9, {}).size(), 1u);
    EXPECT_TRUE(line.handleRequest(true, 2, 9, {}).empty());
    line.setFaults(0, f);
    EXPECT_TRUE(line.handleRequest(true, 1, 9, {}).empty());
}

TEST_F(Model, WallClockTimesTheScaleMovesTheDrive)
{
    line.setTimeScale(1e5);
    askData(1, 16, {5});
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (line.state(1).driveState != sim::drive::OpenFinished &&
           std::chrono::steady_clock::now() < deadline)
        line.advance();
    EXPECT_EQ(line.state(1).N, 2000);
}

}  // namespace
