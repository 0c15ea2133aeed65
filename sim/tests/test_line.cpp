// The simulated line on a pseudo-terminal, reached through the real serial
// link library; raw bytes on the port check the wire without our codec.
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "actuator.h"
#include "serlink.h"
#include "sim/simline.h"
#include "wirebytes.h"

using namespace std::chrono_literals;
using wire::Bytes;

namespace {

struct Answer {
    int address = 0;
    int command = 0;
    Bytes data;
};

class OnPty : public ::testing::Test {
protected:
    void SetUp() override
    {
        line.addActuator(1, "ТИРС-70 №0001");
        ASSERT_TRUE(host.start());
        ASSERT_EQ(OpenCOM(host.slavePath().c_str(), 9600), 1);
    }
    void TearDown() override
    {
        CloseCOM();
        host.stop();
    }

    static bool send(int address, int command, const Bytes& data = {})
    {
        return TxFrame(std::uint8_t(address), std::uint8_t(command), std::uint8_t(data.size()),
                       data.data()) == 1;
    }
    static std::optional<Answer> receive(std::uint32_t timeoutMs = 300)
    {
        std::uint8_t address = 0, command = 0, count = 0, data[255];
        if (RxFrame(timeoutMs, &address, &command, &count, data) != 1)
            return std::nullopt;
        return Answer{address, command, Bytes(data, data + count)};
    }
    static std::optional<Answer> exchange(int address, int command, const Bytes& data = {})
    {
        if (!send(address, command, data))
            return std::nullopt;
        return receive();
    }
    // The answer's data after checking address and command.
    static Bytes ask(int address, int command, const Bytes& data = {})
    {
        auto a = exchange(address, command, data);
        EXPECT_TRUE(a.has_value()) << "command " << command;
        if (!a)
            return {};
        EXPECT_EQ(a->address, address);
        EXPECT_EQ(a->command, command);
        return a->data;
    }

    static int fd() { return int(GetHandleCOM()); }
    static void writeRaw(const Bytes& bytes)
    {
        ASSERT_EQ(::write(fd(), bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    // Whatever arrives until the line stays quiet for quietMs.
    static Bytes readRaw(int quietMs = 300)
    {
        Bytes out;
        for (;;) {
            pollfd p{fd(), POLLIN, 0};
            if (::poll(&p, 1, quietMs) <= 0)
                return out;
            std::uint8_t buf[256];
            const ssize_t n = ::read(fd(), buf, sizeof buf);
            if (n <= 0)
                return out;
            out.insert(out.end(), buf, buf + n);
        }
    }

    sim::Line line;
    sim::PtyLine host{line};
};

TEST_F(OnPty, RawRequestGetsTheExactAnswerBytes)
{
    writeRaw({0xC0, 0x81, 0x03, 0x00, 0xD3});  // GetInfo, address 1
    const Bytes text{0xD2, 0xC8, 0xD0, 0xD1, '-', '7', '0', ' ', 0xB9, '0', '0', '0', '1', 0x00};
    EXPECT_EQ(readRaw(), wire::frame(1, 3, text));

    writeRaw({0xC0, 0x81, 0x12, 0x02, 0xDB, 0xDC, 0xDB, 0xDD, 0x36});  // SetN 0xDBC0, stuffed
    EXPECT_EQ(readRaw(), wire::frame(1, 18, {0}));
    EXPECT_EQ(line.state(1).N, std::int16_t(0xDBC0));
    writeRaw(wire::frame(1, 19, {}));
    const Bytes getN = readRaw();
    EXPECT_EQ(getN, wire::frame(1, 19, {0, 0xC0, 0xDB}));
    ASSERT_GE(getN.size(), 9u);
    EXPECT_EQ(Bytes(getN.begin(), getN.begin() + 9),
              (Bytes{0xC0, 0x81, 0x13, 0x03, 0x00, 0xDB, 0xDC, 0xDB, 0xDD}));
}

TEST_F(OnPty, EveryCommandsLayoutThroughTheLibrary)
{
    struct Row {
        int command;
        Bytes request;
        Bytes answer;
    };
    const Row rows[] = {
        {8, {0xC8, 0x00, 0xDC, 0x05}, {0}},  // SetA 200, 1500
        {9, {}, {0, 0xC8, 0x00, 0xDC, 0x05}},
        {6, {0x50, 0x00, 0x07}, {0}},  // SetM 80, 7
        {7, {}, {0, 0x50, 0x00, 0x07}},
        {10, {0x2C, 0x01, 0x20, 0x03, 0xC8, 0x00}, {0}},
        {11, {}, {0, 0x2C, 0x01, 0x20, 0x03, 0xC8, 0x00}},
        {12, {0x64, 0x00, 0xD0, 0x07, 0xE8, 0x03, 0xE9, 0x03}, {0}},
        {13, {}, {0, 0x64, 0x00, 0xD0, 0x07, 0xE8, 0x03, 0xE9, 0x03}},
        {14, {1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0, 8, 0}, {0}},
        {15, {}, {0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0, 8, 0, 0x00}},
        {20, {0x70, 0x11}, {0}},  // SetT 70000: its low 16 bits
        {21, {}, {0, 0x70, 0x11}},
        {18, {0xFF, 0xFF}, {0}},  // SetN -1
        {19, {}, {0, 0xFF, 0xFF}},
        {23, {0x01, 0x14, 0x50, 0x05, 0, 0, 0, 0, 0x02, 0x0A, 0x5A, 0x03}, {0}},
        {24, {}, {0, 0x01, 0x14, 0x50, 0x05, 0, 0, 0, 0, 0x02, 0x0A, 0x5A, 0x03}},
        {22, {}, {0, 0xE0, 0x2E}},  // GetI 12000
        {25, {}, {0, 0x01}},        // 50 % input: relay 1 (20..80) on; output -1/4464: relay 3 off
        {16, {4}, {0}},             // SetS wake::CmdStop
        {17, {}, {0, 0, 0x18}},     // stopped; LIMC (N = -1) and PC
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.command);
        EXPECT_EQ(ask(1, r.command, r.request), r.answer);
    }
    const auto log = host.requests();
    ASSERT_EQ(log.size(), std::size(rows));
    for (std::size_t i = 0; i < log.size(); ++i) {
        EXPECT_TRUE(log[i].hasAddress);
        EXPECT_EQ(log[i].address, 1);
        EXPECT_EQ(log[i].command, rows[i].command);
        EXPECT_EQ(log[i].data, rows[i].request);
    }
    EXPECT_LE(log.front().time, log.back().time);
    sim::ActuatorState s = line.state(1);
    EXPECT_EQ(s.A, 200);
    EXPECT_EQ(s.Ia, 1500);
    EXPECT_EQ(s.Nt, 4464);
    EXPECT_EQ(s.N, -1);
    EXPECT_EQ(s.relays[0].max, 80);

    auto info = exchange(1, 3);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->command, 3);
    EXPECT_EQ(info->data.back(), 0);
    EXPECT_EQ(std::string(info->data.begin(), info->data.end() - 1), "\xD2\xC8\xD0\xD1-70 \xB9"
                                                                     "0001");
}

TEST_F(OnPty, OpeningFromClosedReachesLimo)
{
    ask(1, 10,
        {0x2C, 0x01, 0x20, 0x03, 0xD0, 0x07});  // Np 2000: a backlash phase long enough to see
    ask(1, 14, {0x88, 0x13, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});  // V1 5000
    line.with(1, [](sim::ActuatorState& s) { s.driveState = sim::drive::CloseFinished; });
    line.setTimeScale(20);  // about two seconds for the whole travel
    EXPECT_EQ(ask(1, 16, {5}), Bytes{0});
    std::vector<int> states;
    Bytes gets;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    do {
        gets = ask(1, 17);
        ASSERT_EQ(gets.size(), 3u);
        if (states.empty() || states.back() != gets[1])
            states.push_back(gets[1]);
        std::this_thread::sleep_for(5ms);
    } while (gets[1] != sim::drive::OpenFinished && std::chrono::steady_clock::now() < deadline);
    EXPECT_EQ(states, (std::vector<int>{9, 3, 1, 5, 7}));
    EXPECT_EQ(gets[2], sim::flag::Limo | sim::flag::Pc);
    EXPECT_EQ(ask(1, 19), (Bytes{0, 0xD0, 0x07}));  // N = Nt = 2000
}

TEST_F(OnPty, RelaysFollowTheInput)
{
    ask(1, 23, {1, 20, 80, 5, 1, 50, 100, 0, 0, 0, 0, 0});
    struct Row {
        int microamps;
        std::uint8_t states;
    };
    for (const Row& r :
         {Row{4000, 0}, Row{8000, 1}, Row{12000, 3}, Row{17000, 3}, Row{18000, 2}, Row{6000, 0}}) {
        SCOPED_TRACE(r.microamps);
        line.with(1, [&](sim::ActuatorState& s) { s.inputCurrent = r.microamps; });
        EXPECT_EQ(ask(1, 25), (Bytes{0, r.states}));
    }
}

TEST_F(OnPty, SetAddrWithoutAddressByteReachesEveryActuator)
{
    line.addActuator(2, "ТИРС-70 №0002");
    ASSERT_TRUE(send(0, 4, {0x5C, 0xA3, 7}));
    for (int i = 0; i < 2; ++i) {  // both answer, as on a shared bus
        auto a = receive();
        ASSERT_TRUE(a);
        EXPECT_EQ(a->address, 7);
        EXPECT_EQ(a->command, 4);
        EXPECT_EQ(a->data, Bytes{0});
    }
    EXPECT_EQ(line.addresses(), (std::vector<int>{7, 7}));
    EXPECT_FALSE(host.requests().back().hasAddress);

    line.removeActuator(7);
    line.addActuator(1, "a");
    EXPECT_EQ(ask(1, 4, {0x5C, 0xA2, 9}), Bytes{4});  // wrong prefix
    EXPECT_EQ(ask(1, 8, {1}), Bytes{1});              // wrong length
    EXPECT_EQ(ask(1, 2), Bytes{1});                   // unknown command
    EXPECT_FALSE(exchange(5, 3));                     // nobody there
}

TEST_F(OnPty, FaultModesOnTheWire)
{
    sim::Faults f;
    f.silent = true;
    line.setFaults(1, f);
    EXPECT_FALSE(exchange(1, 9));

    f = {};
    f.errorCode = 3;
    line.setFaults(1, f);
    EXPECT_EQ(ask(1, 9), Bytes{3});

    f = {};
    f.wrongCommand = true;
    line.setFaults(1, f);
    auto a = exchange(1, 9);
    ASSERT_TRUE(a);
    EXPECT_NE(a->command, 9);

    f = {};
    f.badCheckByte = true;
    line.setFaults(1, f);
    EXPECT_FALSE(exchange(1, 9));

    f = {};
    f.cutAfter = 4;
    line.setFaults(1, f);
    EXPECT_FALSE(exchange(1, 9));

    f = {};
    f.strayBytes = 40;
    line.setFaults(1, f);
    EXPECT_EQ(ask(1, 9), (Bytes{0, 200, 0, 0xDC, 0x05}));

    f = {};
    f.silentEvery = 2;
    line.setFaults(1, f);
    int answered = 0;
    for (int i = 0; i < 6; ++i)
        answered += exchange(1, 9).has_value();
    EXPECT_EQ(answered, 3);

    f = {};
    f.byteGap = 20ms;
    line.setFaults(1, f);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(ask(1, 9),
              (Bytes{0, 200, 0, 0xDC, 0x05}));  // 20 ms gaps under a 300 ms byte time-out
    EXPECT_GE(std::chrono::steady_clock::now() - t0, 9 * 20ms);
    f.byteGap = 400ms;
    f.cutAfter = 2;  // enough to see; the rest would only take time
    line.setFaults(1, f);
    EXPECT_FALSE(exchange(1, 9));  // the first gap already exceeds the time-out
    line.clearFaults();
    readRaw(600);  // the slow answer's rest
    EXPECT_EQ(ask(1, 9), (Bytes{0, 200, 0, 0xDC, 0x05}));
}

TEST_F(OnPty, BadInputNeverStopsTheNextGoodFrame)
{
    const Bytes bad[] = {
        {0xC0, 0x81, 0x08, 0x04, 0xC8},        // cut short, the next FEND follows
        {0xC0, 0x81, 0x08, 0xFF, 0x01, 0x02},  // length far beyond the bytes
        {0xC0, 0x81, 0xDB, 0x00, 0x03},        // bad escape
        {0xC0, 0x81, 0x03, 0x00, 0xD4},        // wrong check byte
        {0xC0, 0x81, 0x85, 0x00, 0x00},        // two address bytes
        Bytes(700, 0xC0),                      // a flood of frame starts
        Bytes(3000, 0x55),                     // garbage past the hunt limit
    };
    for (const Bytes& b : bad) {
        SCOPED_TRACE(b.size());
        host.clearRequests();
        writeRaw(b);
        EXPECT_EQ(readRaw(150), Bytes{});  // nothing answered
        EXPECT_EQ(ask(1, 21), (Bytes{0, 0xD0, 0x07}));
        EXPECT_EQ(host.requests().size(), 1u);
    }
    Bytes random;
    std::uint32_t x = 12345;
    for (int i = 0; i < 5000; ++i) {
        x = x * 1103515245u + 12345u;
        random.push_back(std::uint8_t(x >> 16));
    }
    writeRaw(random);
    readRaw(300);  // noise may by chance form frames; drop any answers
    EXPECT_EQ(ask(1, 21).size(), 3u);
}

TEST_F(OnPty, NoiseFromTheLineBeforeAnAnswerIsSkipped)
{
    host.injectBytes({0x11, 0x22, 0x33});
    EXPECT_EQ(ask(1, 21), (Bytes{0, 0xD0, 0x07}));
}

TEST_F(OnPty, PacedBytesTakeTheirLineTime)
{
    host.setPace(1200);  // 8.3 ms a byte
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(ask(1, 21), (Bytes{0, 0xD0, 0x07}));
    EXPECT_GE(std::chrono::steady_clock::now() - t0, 7 * 8ms);
}

TEST_F(OnPty, WaitForRequestsSeesTheLog)
{
    ASSERT_TRUE(send(1, 19));
    EXPECT_TRUE(host.waitForRequests(
        [](const auto& log) { return !log.empty() && log.back().command == 19; }, 5s));
    EXPECT_FALSE(host.waitForRequests([](const auto& log) { return log.size() > 5; }, 50ms));
}

TEST_F(OnPty, UnplugHangsUpAndStartMakesANewLine)
{
    host.unplug();
    EXPECT_FALSE(exchange(1, 21));
    CloseCOM();
    ASSERT_TRUE(host.start());
    ASSERT_EQ(OpenCOM(host.slavePath().c_str(), 9600), 1);
    EXPECT_EQ(ask(1, 21), (Bytes{0, 0xD0, 0x07}));
}

}  // namespace
