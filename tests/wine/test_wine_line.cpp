// serlink.dll and the protocol client on Windows, run under Wine by
// tools/build-windows.sh --test. The harness maps COM2 to a pseudo-terminal
// served by tirssim (actuators 1 and 2 at 9600 baud) and COM6 to a device that
// does not exist; no other COM port of the prefix leads anywhere.
//
// What Wine cannot show: Windows refuses a second open of a serial port that
// is held, but Wine does not keep the sharing mode for devices, so a held
// port opens again there; the refusal of a busy port is shown on POSIX only.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdint>

#include "serlink.h"
#include "wakeport.h"

namespace {

constexpr const char* line = "COM2";
constexpr const char* missing = "COM6";

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

HANDLE portHandle()
{
    return reinterpret_cast<HANDLE>(GetHandleCOM());
}

class OpenLine : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(OpenCOM(line, 9600), 1); }
    void TearDown() override { CloseCOM(); }
};

}  // namespace

TEST(PortNames, MissingUnknownAndClosedPorts)
{
    EXPECT_EQ(AccessCOM("None"), 0);
    EXPECT_EQ(AccessCOM(missing), 0);
    EXPECT_EQ(OpenCOM(missing, 9600), 0);
    EXPECT_EQ(GetHandleCOM(), reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE));
    EXPECT_EQ(CloseCOM(), 0);

    EXPECT_EQ(AccessCOM(line), 1);
    EXPECT_EQ(AccessCOM("\\\\.\\COM2"), 1);  // a device path as it stands
    ASSERT_EQ(OpenCOM(line, 9600), 1);
    ASSERT_EQ(CloseCOM(), 1);
    EXPECT_EQ(CloseCOM(), 0);
    EXPECT_EQ(AccessCOM(line), 1);
}

TEST_F(OpenLine, DeviceControlBlockAndTimeouts)
{
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(portHandle(), &dcb));
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
    EXPECT_EQ(dcb.fOutxDsrFlow, 0u);
    EXPECT_EQ(dcb.fOutX, 0u);
    EXPECT_EQ(dcb.fInX, 0u);
    EXPECT_NE(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_HANDSHAKE));

    COMMTIMEOUTS t{};
    ASSERT_TRUE(GetCommTimeouts(portHandle(), &t));
    EXPECT_EQ(t.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, MAXDWORD);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 1000u);
    EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 1000u);

    // RxFrame leaves its own per-byte time-out in force.
    uint8_t a = 0, c = 0, n = 0, data[255];
    EXPECT_EQ(RxFrame(50, &a, &c, &n, data), 0);
    ASSERT_TRUE(GetCommTimeouts(portHandle(), &t));
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 50u);

    EXPECT_EQ(PurgeCOM(), 1);
    EXPECT_EQ(FlushCOM(), 1);
    ASSERT_EQ(SetMaskCOM(EV_RXCHAR | EV_TXEMPTY), 1);
    uint32_t mask = 0;
    ASSERT_EQ(GetMaskCOM(&mask), 1);
    EXPECT_EQ(mask, static_cast<uint32_t>(EV_RXCHAR | EV_TXEMPTY));
}

// Wine's serial driver keeps its modem-line calls for real UARTs: on a
// pseudo-terminal they fail.
TEST_F(OpenLine, WineHasNoModemLinesOnAPseudoTerminal)
{
    uint32_t status = 0;
    EXPECT_EQ(GetModLns(&status), 0);
    EXPECT_EQ(SetModLns(SETRTS), 0);
    EXPECT_EQ(SetModLns(CLRDTR), 0);
}

// Wine accepts RTS_CONTROL_TOGGLE but neither toggles RTS nor reports the
// mode back, so the library takes the direction control on itself (RTS off
// at the driver, raised around each frame) and frames still go out.
TEST_F(OpenLine, WineDoesNotToggleRtsSoTheLibrarySwitchesIt)
{
    ASSERT_EQ(SetModeCOM(3, 1), 1);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(portHandle(), &dcb));
    EXPECT_NE(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_TOGGLE));

    const uint8_t none = 0;
    ASSERT_EQ(TxFrame(1, 3, 0, &none), 1);
    uint8_t a = 0, c = 0, n = 0, data[255];
    ASSERT_EQ(RxFrame(1000, &a, &c, &n, data), 1);
    EXPECT_EQ(c, 3);
}

// The answer is queued before the wait starts: an event since the mask was
// set ends the wait at once. Wine sometimes ends a wait with no event while
// bytes are arriving; the next wait then reports them.
TEST_F(OpenLine, WaitEventReportsBytesReceivedSinceTheMaskWasSet)
{
    ASSERT_EQ(SetMaskCOM(EV_RXCHAR), 1);
    ASSERT_EQ(TxFrame(2, 3, 0, nullptr), 1);
    Sleep(100);
    uint32_t event = 0;
    for (int wait = 0; wait < 3 && (event & EV_RXCHAR) == 0; ++wait)
        ASSERT_EQ(WaitEventCOM(&event), 1);
    EXPECT_EQ(event, static_cast<uint32_t>(EV_RXCHAR));
    uint8_t a = 0, c = 0, n = 0, data[255];
    EXPECT_EQ(RxFrame(1000, &a, &c, &n, data), 1);
}

TEST(ProtocolClient, ScanReadAndWriteAgainstTheSimulatedLine)
{
    TWakePort port(8);
    port.Open(2, 9600);
    ASSERT_EQ(port.PortName, "COM2");

    port.SetDevAddr(1);
    EXPECT_EQ(port.GetInfo(), "ТИРС-70 №0001");
    port.SetDevAddr(2);
    EXPECT_EQ(port.GetInfo(), "ТИРС-70 №0002");

    port.SetDevAddr(1);
    EXPECT_GT(port.GetT(), 0);
    const AValues a = port.GetA();
    port.SetA({a.a + 7, a.ia});
    const AValues back = port.GetA();
    EXPECT_EQ(back.a, a.a + 7);
    EXPECT_EQ(back.ia, a.ia);
    port.SetA(a);

    // Figures for the notes: one exchange, and a silent address's time-out.
    constexpr int rounds = 50;
    auto start = Clock::now();
    for (int i = 0; i < rounds; ++i)
        port.GetT();
    const double exchange = millisecondsSince(start) / rounds;
    // Without direction control the library does not hold RTS after a frame.
    ASSERT_EQ(SetModeCOM(1, 1), 1);
    start = Clock::now();
    for (int i = 0; i < rounds; ++i)
        port.GetT();
    const double bare = millisecondsSince(start) / rounds;

    port.SetDevAddr(99);
    start = Clock::now();
    EXPECT_THROW(port.GetT(), EHardwareException);
    const double silent = millisecondsSince(start);
    std::printf(
        "exchange (GetT): %.2f ms on average over %d; %.2f ms without RS-485 direction control\n",
        exchange, rounds, bare);
    std::printf("silent address (100 ms per answer byte): %.1f ms\n", silent);
    EXPECT_GE(silent, 90.0);
    EXPECT_LT(silent, 2000.0);
    port.Close();
}
