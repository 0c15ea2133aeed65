// The exchange observer: one call per exchange, with what went out, what came
// back and how it ended.
#include <gtest/gtest.h>

#include "simport.h"

namespace {

sim::Faults fault(void (*set)(sim::Faults&))
{
    sim::Faults f;
    set(f);
    return f;
}

}  // namespace

using WakePortObserver = SimPortTest;

TEST_F(WakePortObserver, OneRecordPerExchangeWithItsOutcome)
{
    std::vector<ExchangeRecord> seen;
    port.SetObserver([&seen](const ExchangeRecord& r) { seen.push_back(r); });

    port.SetA(200, 1500);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].outcome, ExchangeOutcome::Answer);
    EXPECT_EQ(seen[0].port, "COM3");
    EXPECT_EQ(seen[0].address, SimAddress);
    EXPECT_EQ(seen[0].name, "SetA");
    EXPECT_EQ(seen[0].command, 8);
    EXPECT_EQ(seen[0].request, (std::vector<std::uint8_t>{0xC8, 0x00, 0xDC, 0x05}));
    EXPECT_EQ(seen[0].answer, std::vector<std::uint8_t>{0});
    EXPECT_GT(seen[0].duration.count(), 0);

    setFaults(fault([](sim::Faults& f) { f.errorCode = 3; }));
    int nt = 0;
    EXPECT_NE(hardwareError([&] { port.GetT(nt); }), "");
    setFaults(fault([](sim::Faults& f) { f.silent = true; }));
    EXPECT_NE(hardwareError([&] { port.GetT(nt); }), "");
    setFaults(fault([](sim::Faults& f) { f.wrongCommand = true; }));
    EXPECT_NE(hardwareError([&] { port.GetT(nt); }), "");
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[1].outcome, ExchangeOutcome::DeviceError);
    EXPECT_EQ(seen[1].deviceError, 3);
    EXPECT_EQ(seen[2].outcome, ExchangeOutcome::NoAnswer);
    EXPECT_TRUE(seen[2].answer.empty());
    EXPECT_EQ(seen[3].outcome, ExchangeOutcome::WrongAnswer);

    // Without a port nothing is sent, but the observer still hears of it.
    port.Close();
    try {
        port.GetT(nt);
    } catch (const EHardwareException&) {
    }
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[4].outcome, ExchangeOutcome::NoPort);
    EXPECT_EQ(seen[4].name, "GetT");
}

TEST_F(WakePortObserver, AThrowingObserverDoesNotFailTheExchange)
{
    port.SetObserver([](const ExchangeRecord&) { throw std::runtime_error("observer"); });
    int nt = -1;
    port.GetT(nt);
    EXPECT_EQ(nt, line.state(SimAddress).Nt);
}
