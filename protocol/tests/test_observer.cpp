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

// What a failed exchange raised.
EHardwareException failureOf(const std::function<void()>& exchange)
{
    try {
        exchange();
    } catch (const EHardwareException& e) {
        return e;
    }
    ADD_FAILURE() << "the exchange did not fail";
    return {0, {}, ExchangeOutcome::Answer, 0, {}};
}

}  // namespace

using WakePortObserver = SimPortTest;

TEST_F(WakePortObserver, OneRecordPerExchangeWithItsOutcome)
{
    std::vector<ExchangeRecord> seen;
    port.SetObserver([&seen](const ExchangeRecord& r) { seen.push_back(r); });

    port.SetA({200, 1500});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].outcome, ExchangeOutcome::Answer);
    EXPECT_EQ(seen[0].port, "COM3");
    EXPECT_EQ(seen[0].address, SimAddress);
    EXPECT_EQ(seen[0].name, "SetA");
    EXPECT_EQ(seen[0].command, 8);
    EXPECT_EQ(seen[0].request, (std::vector<std::uint8_t>{0xC8, 0x00, 0xDC, 0x05}));
    EXPECT_EQ(seen[0].answer, std::vector<std::uint8_t>{0});
    EXPECT_GT(seen[0].duration.count(), 0);

    // The exception tells the command, the outcome and the device's code
    // as the record does.
    const struct {
        void (*set)(sim::Faults&);
        ExchangeOutcome outcome;
        int code;
    } failures[] = {
        {[](sim::Faults& f) { f.errorCode = 3; }, ExchangeOutcome::DeviceError, 3},
        {[](sim::Faults& f) { f.silent = true; }, ExchangeOutcome::NoAnswer, 0},
        {[](sim::Faults& f) { f.wrongCommand = true; }, ExchangeOutcome::WrongAnswer, 0},
        {[](sim::Faults& f) { f.badCheckByte = true; }, ExchangeOutcome::DamagedAnswer, 0},
    };
    int nt = 0;
    for (const auto& row : failures) {
        setFaults(fault(row.set));
        const EHardwareException e = failureOf([&] { nt = port.GetT(); });
        EXPECT_EQ(e.command(), 21);
        EXPECT_EQ(e.commandName(), "GetT");
        EXPECT_EQ(e.outcome(), row.outcome);
        EXPECT_EQ(e.deviceError(), row.code);
        ASSERT_EQ(seen.size(), std::size_t(&row - failures) + 2);
        EXPECT_EQ(seen.back().outcome, row.outcome);
        EXPECT_EQ(seen.back().deviceError, row.code);
    }
    EXPECT_TRUE(seen[2].answer.empty());

    // Without a port nothing is sent, but the observer still hears of it.
    port.Close();
    const EHardwareException e = failureOf([&] { nt = port.GetT(); });
    EXPECT_EQ(e.outcome(), ExchangeOutcome::NoPort);
    EXPECT_EQ(e.commandName(), "GetT");
    ASSERT_EQ(seen.size(), 6u);
    EXPECT_EQ(seen[5].outcome, ExchangeOutcome::NoPort);
    EXPECT_EQ(seen[5].name, "GetT");
}

TEST_F(WakePortObserver, AThrowingObserverDoesNotFailTheExchange)
{
    port.SetObserver([](const ExchangeRecord&) { throw std::runtime_error("observer"); });
    int nt = -1;
    nt = port.GetT();
    EXPECT_EQ(nt, line.state(SimAddress).Nt);
}
