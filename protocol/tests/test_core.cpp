// The client's core: port naming, opening, the address, the checks on an
// answer and their messages, the no-port state and the exchange lock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "simport.h"
#include "wakecodec.h"

using namespace std::chrono_literals;

// The client's buffers and lock, which only its tests look at.
struct WakePortTestAccess {
    static std::array<std::uint8_t, 256>& tx(TWakePort& p) { return p.txBuf_; }
    static std::array<std::uint8_t, 256>& rx(TWakePort& p) { return p.rxBuf_; }
    static std::recursive_mutex& lock(TWakePort& p) { return p.lock_; }
};
using Access = WakePortTestAccess;

TEST(WakePortNaming, StartsWithoutAPort)
{
    TWakePort port(8);
    EXPECT_EQ(port.MaxPort, 8);
    EXPECT_EQ(port.Port, 0);
    EXPECT_EQ(port.PortName, "None");
    EXPECT_EQ(port.Baud, 9600);
    EXPECT_EQ(port.DevAddr, 0);
    EXPECT_EQ(port.Cmd, 0);
    EXPECT_EQ(port.CmdName, "");
    for (auto b : Access::tx(port))
        ASSERT_EQ(b, 0);
    for (auto b : Access::rx(port))
        ASSERT_EQ(b, 0);
}

TEST(WakePortNaming, PortNames)
{
    const TWakePort port(8);
    const struct {
        int n;
        const char* name;
    } rows[] = {{0, "None"}, {-1, "None"}, {9, "None"}, {1, "COM1"}, {3, "COM3"}, {8, "COM8"}};
    for (const auto& r : rows)
        EXPECT_EQ(port.GetPortName(r.n), r.name) << r.n;
    EXPECT_EQ(TWakePort(12).GetPortName(12), "COM12");
}

TEST(WakePortNaming, PortNumbers)
{
    const TWakePort port(8);
    const struct {
        const char* name;
        int n;
    } rows[] = {{"COM3", 3}, {"COM8", 8},  {"COM1", 1},  {"com3", 0}, {"None", 0},
                {"COM9", 0}, {"COM03", 0}, {"COM3 ", 0}, {"", 0},     {"COM0", 0}};
    for (const auto& r : rows)
        EXPECT_EQ(port.GetPortNum(r.name), r.n) << r.name;
}

TEST(WakePortNaming, SetPortAndSetPortName)
{
    TWakePort port(8);
    port.SetPort(5);
    EXPECT_EQ(port.Port, 5);
    EXPECT_EQ(port.PortName, "COM5");
    port.SetPort(9);
    EXPECT_EQ(port.Port, 9);  // the number as given; the name says there is no such port
    EXPECT_EQ(port.PortName, "None");
    port.SetPortName("COM2");
    EXPECT_EQ(port.Port, 2);
    EXPECT_EQ(port.PortName, "COM2");
    port.SetPortName("com2");
    EXPECT_EQ(port.Port, 0);
    EXPECT_EQ(port.PortName, "com2");
}

TEST(WakePortNaming, DeviceAddressRange)
{
    TWakePort port(8);
    const struct {
        int given, kept;
    } rows[] = {{127, 127}, {1, 1}, {0, 0}, {128, 0}, {-1, 0}, {255, 0}, {64, 64}};
    for (const auto& r : rows) {
        port.SetDevAddr(5);
        port.SetDevAddr(r.given);
        EXPECT_EQ(port.DevAddr, r.kept) << r.given;
    }
}

TEST(WakePortNaming, FreshClientFailsEveryCommandWithoutAPort)
{
    TWakePort port(8);
    int a = -1, ia = -1;
    EXPECT_EQ(hardwareError([&] {
                  const auto got = port.GetA();
                  a = got.a;
                  ia = got.ia;
              }),
              commandError("GetA", NoPort));
    EXPECT_EQ(a, -1);
    EXPECT_EQ(ia, -1);
    EXPECT_EQ(hardwareError([&] { port.GetInfo(); }), commandError("GetInfo", NoPort));
    EXPECT_EQ(hardwareError([&] { port.SetS(wake::CmdOpen); }), commandError("SetS", NoPort));
    EXPECT_EQ(port.Cmd, 16);
    EXPECT_EQ(port.CmdName, "SetS");
}

using WakePortLine = SimPortTest;

TEST_F(WakePortLine, OpenKeepsNameNumberAndBaud)
{
    port.Close();
    EXPECT_EQ(port.Port, 0);
    EXPECT_EQ(port.PortName, "None");
    port.Open(3, 19200);
    EXPECT_EQ(port.Port, 3);
    EXPECT_EQ(port.PortName, "COM3");
    EXPECT_EQ(port.Baud, 19200);
    int nt = 0;
    nt = port.GetT();
    EXPECT_EQ(nt, line.state(SimAddress).Nt);

    port.Close();
    port.Open("COM3", 4800);
    EXPECT_EQ(port.Port, 3);
    EXPECT_EQ(port.Baud, 4800);
    nt = port.GetT();
}

TEST_F(WakePortLine, OpenOutOfRangeLeavesNoPortAndRaisesNothing)
{
    port.Close();
    EXPECT_NO_THROW(port.Open(9, 9600));
    EXPECT_EQ(port.Port, 0);
    EXPECT_EQ(port.PortName, "None");
    EXPECT_EQ(port.Baud, 9600);
    EXPECT_EQ(hardwareError([&] { port.SetA({1, 2}); }), commandError("SetA", NoPort));
    EXPECT_FALSE(anyRequestWithin(300ms));
}

TEST_F(WakePortLine, OpenOfAMissingPortShowsAtTheFirstExchange)
{
    port.Close();
    port.Open(4, 9600);  // a dangling link
    EXPECT_EQ(port.Port, 4);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(hardwareError([&] { port.GetRS(); }), commandError("GetRS", NoPort));
}

TEST_F(WakePortLine, DeviceGoneThenBackUnderTheSameName)
{
    int nt = 0;
    nt = port.GetT();
    EXPECT_TRUE(port.Connected());
    pty->unplug();
    EXPECT_EQ(hardwareError([&] { nt = port.GetT(); }), commandError("GetT", NoPort));
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Port, SimPortNumber);
    EXPECT_EQ(hardwareError([&] { nt = port.GetT(); }), commandError("GetT", NoPort));
    EXPECT_FALSE(port.Reopen());

    // Back, as a new device behind the same name, at the baud rate it had.
    port.Close();
    port.Open(SimPortNumber, 4800);
    pty->unplug();
    EXPECT_NE(hardwareError([&] { port.GetRS(); }), "");  // finds it gone
    ASSERT_TRUE(pty->start());
    pointPortsAt(pty->slavePath());
    EXPECT_TRUE(port.Reopen());
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(port.Baud, 4800);
    nt = port.GetT();
    EXPECT_EQ(nt, line.state(SimAddress).Nt);
}

TEST_F(WakePortLine, PortAvailability)
{
    EXPECT_FALSE(port.PortAvailable(3)) << "held open by this client";
    port.Close();
    EXPECT_TRUE(port.PortAvailable(3));
    EXPECT_TRUE(port.PortAvailable("COM3"));
    EXPECT_TRUE(port.PortAvailable(pty->slavePath()));
    EXPECT_FALSE(port.PortAvailable(4));
    EXPECT_FALSE(port.PortAvailable(0));
    EXPECT_FALSE(port.PortAvailable(9));
    EXPECT_FALSE(port.PortAvailable("None"));
}

TEST_F(WakePortLine, RemembersTheCommandAndAcceptsAnyAnswerLength)
{
    port.SendRequest(21, "GetT", 0);
    EXPECT_EQ(port.Cmd, 21);
    EXPECT_EQ(port.CmdName, "GetT");
    EXPECT_EQ(port.ReceiveAnswer(100), 3);

    answerWith({0});
    port.SendRequest(21, "GetT", 0);
    EXPECT_EQ(port.ReceiveAnswer(100), 1);
}

TEST_F(WakePortLine, DeviceErrorTexts)
{
    const struct {
        int code;
        const char* text;
    } rows[] = {{1, "неправильный пакет."},     {2, "устройство занято."},
                {3, "устройство не готово."},   {4, "неправильные параметры."},
                {5, "устройство не отвечает."}, {6, "отсутствует несущая."},
                {7, "неправильный пакет."},     {9, "неправильный пакет."},
                {255, "неправильный пакет."}};
    for (const auto& r : rows) {
        sim::Faults faults;
        faults.errorCode = r.code;
        setFaults(faults);
        int a = -7, ia = -7;
        EXPECT_EQ(hardwareError([&] {
                      const auto got = port.GetA();
                      a = got.a;
                      ia = got.ia;
                  }),
                  commandError("GetA", r.text))
            << r.code;
        EXPECT_EQ(a, -7);
        EXPECT_EQ(ia, -7);
    }
}

TEST_F(WakePortLine, MessageBytes)
{
    sim::Faults faults;
    faults.silent = true;
    setFaults(faults);
    const std::string message = hardwareError([&] { port.SetS(wake::CmdStop); });
    // The line break is the carriage-return byte alone, after a space-less colon.
    const std::string expected = "\xD0\x9E\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0 "
                                 "\xD0\xBA\xD0\xBE\xD0\xBC\xD0\xB0\xD0\xBD\xD0\xB4\xD1\x8B "
                                 "SetS:\x0D";
    EXPECT_EQ(message.substr(0, expected.size()), expected);
    EXPECT_EQ(message.find('\n'), std::string::npos);
}

TEST_F(WakePortLine, DamagedAndCutAnswersAreToldApartFromSilence)
{
    std::vector<ExchangeOutcome> outcomes;
    port.SetObserver([&outcomes](const ExchangeRecord& r) { outcomes.push_back(r.outcome); });
    sim::Faults bad;
    bad.badCheckByte = true;
    sim::Faults silent;
    silent.silent = true;
    sim::Faults cut;
    cut.cutAfter = 4;
    const struct {
        sim::Faults faults;
        std::string reason;
    } rows[] = {{bad, DamagedAnswer}, {silent, NoAnswer}, {cut, DamagedAnswer}};
    for (const auto& r : rows) {
        setFaults(r.faults);
        int nt = -7;
        EXPECT_EQ(hardwareError([&] { nt = port.GetT(); }), commandError("GetT", r.reason));
        EXPECT_EQ(nt, -7);
    }
    EXPECT_EQ(outcomes, (std::vector<ExchangeOutcome>{ExchangeOutcome::DamagedAnswer,
                                                      ExchangeOutcome::NoAnswer,
                                                      ExchangeOutcome::DamagedAnswer}));
    line.clearFaults();
    int nt = -7;
    nt = port.GetT();  // the next exchange starts afresh
    EXPECT_EQ(nt, line.state(SimAddress).Nt);
}

TEST_F(WakePortLine, TwoActuatorsAtOneAddressGiveADamagedAnswer)
{
    addStillActuator(line, SimAddress, "ТИРС-70 №9001");
    line.setCollisions(true);
    ExchangeRecord seen;
    port.SetObserver([&seen](const ExchangeRecord& r) { seen = r; });
    EXPECT_EQ(hardwareError([&] { port.GetInfo(); }), commandError("GetInfo", DamagedAnswer));
    EXPECT_EQ(seen.outcome, ExchangeOutcome::DamagedAnswer);
    EXPECT_EQ(seen.damagedFrames, 1);
}

TEST_F(WakePortLine, ALateAnswerOfAnotherActuatorIsSkippedAndTheOwnAnswerTaken)
{
    addStillActuator(line, 2, "ТИРС-70 №0002");
    sim::Faults late;
    late.delay = 104ms;  // just past the 100 ms byte time-out
    line.setFaults(2, late);
    line.with(SimAddress, [](sim::ActuatorState& s) { s.Nt = 1234; });
    std::vector<ExchangeRecord> seen;
    port.SetObserver([&seen](const ExchangeRecord& r) { seen.push_back(r); });
    int nt = -7;
    port.SetDevAddr(2);
    EXPECT_EQ(hardwareError([&] { nt = port.GetT(); }), commandError("GetT", NoAnswer));
    port.SetDevAddr(SimAddress);
    EXPECT_EQ(hardwareError([&] { nt = port.GetT(); }), "");
    EXPECT_EQ(nt, 1234);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].outcome, ExchangeOutcome::Answer);
    ASSERT_EQ(seen[1].skipped.size(), 1u);
    EXPECT_EQ(seen[1].skipped[0].address, 2);
    EXPECT_EQ(seen[1].skipped[0].command, 21);
    EXPECT_EQ(port.LastSkipped().size(), 1u);
}

TEST_F(WakePortLine, FramesForOthersOrAnotherCommandAreSkippedWithinTheBound)
{
    sim::Faults faults;
    faults.silent = true;
    setFaults(faults);
    const auto frame = [](std::uint8_t address, std::uint8_t command, std::vector<std::uint8_t> d) {
        wake::TxBuffer out;
        const std::size_t n =
            wake::encodeFrame(address, command, std::uint8_t(d.size()), d.data(), out);
        return std::vector<std::uint8_t>(out.begin(), out.begin() + n);
    };
    // A foreign GetT answer, our own late GetS answer, then our GetT answer.
    std::vector<std::uint8_t> bytes = frame(2, 21, {0, 0x11, 0x11});
    const auto late = frame(SimAddress, 17, {0, 1, 2});
    const auto own = frame(SimAddress, 21, {0, 0x02, 0x01});
    bytes.insert(bytes.end(), late.begin(), late.end());
    bytes.insert(bytes.end(), own.begin(), own.end());
    port.SendRequest(21, "GetT", 0);
    pty->injectBytes(bytes);
    EXPECT_EQ(port.ReceiveAnswer(100), 3);
    EXPECT_EQ(port.LastAnswer()[1] | port.LastAnswer()[2] << 8, 0x0102);
    EXPECT_EQ(port.LastSkipped().size(), 2u);

    // Our actuator answering another command only is still a wrong answer.
    port.SendRequest(21, "GetT", 0);
    pty->injectBytes(late);
    EXPECT_EQ(hardwareError([&] { port.ReceiveAnswer(100); }), commandError("GetT", WrongAnswer));

    // A flood of foreign frames (about 3 s of line time) cannot hold the
    // exchange much past its bound of about 1.2 s.
    std::vector<std::uint8_t> flood;
    for (int i = 0; i < 400; ++i) {
        const auto f = frame(2, 21, {0, std::uint8_t(i), 0});
        flood.insert(flood.end(), f.begin(), f.end());
    }
    pty->setPace(9600);
    const auto start = std::chrono::steady_clock::now();
    port.SendRequest(21, "GetT", 0);
    std::thread feeder([&] { pty->injectBytes(flood); });
    EXPECT_EQ(hardwareError([&] { port.ReceiveAnswer(100); }), commandError("GetT", NoAnswer));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2000ms);
    feeder.join();
}

TEST_F(WakePortLine, WrongCommandIsReportedBeforeTheErrorByte)
{
    sim::Faults faults;
    faults.wrongCommand = true;
    faults.answerData = std::vector<std::uint8_t>{3, 0x10, 0x20};
    setFaults(faults);
    int nt = -7;
    EXPECT_EQ(hardwareError([&] { nt = port.GetT(); }), commandError("GetT", WrongAnswer));
    EXPECT_EQ(nt, -7);
}

TEST_F(WakePortLine, InfoAnswerHasNoErrorByte)
{
    answerWith({5, 'A', 0});
    EXPECT_EQ(port.GetInfo(), "\x05"
                              "A");
}

TEST_F(WakePortLine, AnswerFromAnotherAddressIsAccepted)
{
    // Address-less requests are answered by the actuator with its own address.
    line.removeActuator(SimAddress);
    line.addActuator(42, "ТИРС-70 №0042");
    line.with(42, [](sim::ActuatorState& s) { s.Nt = 1234; });
    port.SetDevAddr(0);
    int nt = -7;
    nt = port.GetT();
    EXPECT_EQ(nt, 1234);
    const auto log = requests();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_FALSE(log[0].hasAddress);
}

TEST_F(WakePortLine, AnAddressedRequestTakesNoAnswerFromAnotherAddress)
{
    sim::Faults faults;
    faults.silent = true;
    setFaults(faults);
    // The answer to GetT (command 21): error byte 0, Nt 0x0102.
    const auto answer = [](std::uint8_t address) {
        wake::TxBuffer frame;
        const std::uint8_t data[3] = {0, 0x02, 0x01};
        const std::size_t n = wake::encodeFrame(address, 21, 3, data, frame);
        return std::vector<std::uint8_t>(frame.begin(), frame.begin() + n);
    };
    const struct {
        std::uint8_t from;
        std::string error;
    } rows[] = {{2, commandError("GetT", NoAnswer)}, {SimAddress, ""}, {0, ""}};
    for (const auto& r : rows) {
        port.SendRequest(21, "GetT", 0);
        pty->injectBytes(answer(r.from));
        EXPECT_EQ(hardwareError([&] { port.ReceiveAnswer(100); }), r.error) << int(r.from);
    }
}

TEST_F(WakePortLine, ZeroLengthAnswerNeedsNoStaleErrorByte)
{
    answerWith({1, 2, 3});
    port.SendRequest(21, "GetT", 0);
    EXPECT_EQ(hardwareError([&] { port.ReceiveAnswer(100); }),
              commandError("GetT", "неправильный пакет."));

    // RxBuf[0] still holds that 1 (and a 0 would pass): no data is no answer.
    answerWith({});
    EXPECT_EQ(hardwareError([&] { port.SetA({1, 2}); }), commandError("SetA", WrongAnswer));
    Access::rx(port)[0] = 0;
    port.SendRequest(20, "SetT", 0);
    EXPECT_EQ(hardwareError([&] { port.ReceiveAnswer(100); }), commandError("SetT", WrongAnswer));
    EXPECT_EQ(port.GetInfo(), "");
}

TEST_F(WakePortLine, NoPortFailsInsteadOfDecodingTheLastAnswer)
{
    answerWith({0, 0x34, 0x12, 0xFF, 0xFF, 0x41, 0});
    ASSERT_EQ(port.GetA().a, 0x1234);
    pty->clearRequests();

    // The library's port stays open; only the client's number says "no port".
    port.SetPort(0);
    int a2 = -7, ia2 = -7;
    EXPECT_EQ(hardwareError([&] {
                  const auto got = port.GetA();
                  a2 = got.a;
                  ia2 = got.ia;
              }),
              commandError("GetA", NoPort));
    EXPECT_EQ(a2, -7);
    EXPECT_EQ(ia2, -7);
    EXPECT_EQ(hardwareError([&] { port.GetN(); }), commandError("GetN", NoPort));
    EXPECT_EQ(hardwareError([&] { port.GetInfo(); }), commandError("GetInfo", NoPort));
    EXPECT_EQ(hardwareError([&] { port.SetAddr(7); }), commandError("SetAddr", NoPort));
    EXPECT_EQ(hardwareError([&] { port.ReceiveAnswer(100); }), commandError("SetAddr", NoPort));
    EXPECT_FALSE(anyRequestWithin(300ms));
}

TEST_F(WakePortLine, LockIsReleasedAfterAnException)
{
    sim::Faults faults;
    faults.silent = true;
    setFaults(faults);
    int nt = 0;
    EXPECT_THROW(nt = port.GetT(), EHardwareException);
    bool taken = false;
    std::thread other([&] {
        taken = Access::lock(port).try_lock();
        if (taken)
            Access::lock(port).unlock();
    });
    other.join();
    EXPECT_TRUE(taken);
}

TEST_F(WakePortLine, LockIsHeldDuringAnExchange)
{
    sim::Faults faults;
    faults.byteGap = 30ms;  // a GetW answer takes most of a second, within its bound
    setFaults(faults);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        port.GetW();
        done = true;
    });
    ASSERT_TRUE(pty->waitForRequests([](const auto& log) { return !log.empty(); }, 5s));
    const bool takenDuring = Access::lock(port).try_lock();
    if (takenDuring)
        Access::lock(port).unlock();
    worker.join();
    EXPECT_TRUE(done);
    EXPECT_FALSE(takenDuring);
}

TEST_F(WakePortLine, LockIsReentrant)
{
    std::lock_guard guard(Access::lock(port));
    int nt = 0;
    nt = port.GetT();
    EXPECT_EQ(nt, line.state(SimAddress).Nt);
}

// Figures for the notes, not a timing requirement: only generous bounds.
TEST_F(WakePortLine, CostOfAnExchange)
{
    constexpr int silentRounds = 10, answeredRounds = 50;
    int nt = 0;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < answeredRounds; ++i)
        nt = port.GetT();
    const auto answered = (std::chrono::steady_clock::now() - start) / answeredRounds;

    pty->setPace(9600);  // answer bytes at the speed of a real 9600 baud line
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < silentRounds; ++i)
        nt = port.GetT();
    const auto paced = (std::chrono::steady_clock::now() - start) / silentRounds;
    pty->setPace(0);

    sim::Faults faults;
    faults.silent = true;
    setFaults(faults);
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < silentRounds; ++i)
        EXPECT_THROW(nt = port.GetT(), EHardwareException);
    const auto silent = (std::chrono::steady_clock::now() - start) / silentRounds;

    using us = std::chrono::microseconds;
    const auto micros = [](auto d) {
        return static_cast<long long>(std::chrono::duration_cast<us>(d).count());
    };
    std::printf("exchange cost (GetT): answered at once %lld us, answered at 9600 baud %lld us, "
                "silent %lld us\n",
                micros(answered), micros(paced), micros(silent));
    EXPECT_GE(silent, 95ms);
    EXPECT_LT(silent, 2s);
    EXPECT_LT(answered, silent);
}
