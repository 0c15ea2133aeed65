// Port functions against pseudo-terminals.
#include "portlinks.h"
#include "pty.h"
#include "serlink.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>

using support::Pty;

namespace {

bool sameSettings(const termios& a, const termios& b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 &&
           cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b);
}

class PortTest : public ::testing::Test {
protected:
    void TearDown() override { CloseCOM(); }
    Pty pty;
};

TEST_F(PortTest, AccessReportsNamesMissingDevicesAndHeldPorts)
{
    support::linkPort("COM7", "/nonexistent/ttyGone");
    EXPECT_EQ(AccessCOM("None"), 0);
    EXPECT_EQ(AccessCOM("COM7"), 0);  // dangling entry: missing, no /dev/ttyS fallback
    EXPECT_EQ(AccessCOM("/dev/does-not-exist"), 0);
    EXPECT_EQ(AccessCOM("/etc/hostname"), 0);  // exists, but is no terminal
    EXPECT_EQ(AccessCOM(pty.slavePath().c_str()), 1);
    EXPECT_EQ(AccessCOM(pty.slavePath().c_str()), 1);  // the probe gave it back

    ASSERT_EQ(OpenCOM(pty.slavePath().c_str(), 9600), 1);
    EXPECT_EQ(AccessCOM(pty.slavePath().c_str()), 0);  // held by this library
    ASSERT_EQ(CloseCOM(), 1);
    EXPECT_EQ(AccessCOM(pty.slavePath().c_str()), 1);
}

TEST_F(PortTest, SecondOpenGivesTheFirstPortBack)
{
    ASSERT_EQ(OpenCOM(pty.slavePath().c_str(), 9600), 1);
    const intptr_t first = GetHandleCOM();
    // A second open without closing gives the first port back before it tries.
    Pty other;
    ASSERT_EQ(OpenCOM(other.slavePath().c_str(), 9600), 1);
    EXPECT_EQ(AccessCOM(pty.slavePath().c_str()), 1);
    EXPECT_EQ(AccessCOM(other.slavePath().c_str()), 0);
    EXPECT_GE(first, 0);
}

TEST_F(PortTest, OpenMissingDeviceFailsWithInvalidHandle)
{
    ASSERT_EQ(OpenCOM(pty.slavePath().c_str(), 9600), 1);
    EXPECT_GE(GetHandleCOM(), 0);
    ASSERT_EQ(CloseCOM(), 1);
    EXPECT_EQ(OpenCOM("/dev/does-not-exist", 9600), 0);
    EXPECT_EQ(GetHandleCOM(), -1);
    EXPECT_EQ(CloseCOM(), 0);
}

TEST_F(PortTest, CloseTwiceSecondFailsAndHandleStays)
{
    ASSERT_EQ(OpenCOM(pty.slavePath().c_str(), 9600), 1);
    const intptr_t handle = GetHandleCOM();
    EXPECT_EQ(CloseCOM(), 1);
    EXPECT_EQ(GetHandleCOM(), handle);
    EXPECT_EQ(CloseCOM(), 0);
    // Calls after close fail at their first platform call.
    EXPECT_EQ(PurgeCOM(), 0);
    EXPECT_EQ(TxFrame(1, 3, 0, nullptr), 0);
}

TEST_F(PortTest, OpensThroughPortsFolderEntry)
{
    support::linkPort("COM5", pty.slavePath());
    EXPECT_EQ(AccessCOM("COM5"), 1);
    ASSERT_EQ(OpenCOM("COM5", 19200), 1);
    ASSERT_EQ(TxFrame(1, 3, 0, nullptr), 1);
    EXPECT_EQ(pty.receive(5), (support::Bytes{0xC0, 0x81, 0x03, 0x00, 0xD3}));
}

TEST_F(PortTest, SettingsAppliedAtOpenAndRestoredAtClose)
{
    // A reference opener keeps the slave's settings observable between opens.
    const int watcher = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(watcher, 0);
    termios before;
    ASSERT_EQ(tcgetattr(watcher, &before), 0);
    for (uint32_t baud : {9600u, 115200u, 250000u}) {
        SCOPED_TRACE(baud);
        ASSERT_EQ(OpenCOM(pty.slavePath().c_str(), baud), 1);
        termios now;
        ASSERT_EQ(tcgetattr(watcher, &now), 0);
        EXPECT_EQ(now.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(now.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
        EXPECT_EQ(now.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
        EXPECT_EQ(now.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(now.c_oflag & OPOST, 0u);
        if (baud == 115200) {
            EXPECT_EQ(cfgetospeed(&now), static_cast<speed_t>(B115200));
        }
        EXPECT_EQ(SetModeCOM(3, 1), 1);
        ASSERT_EQ(CloseCOM(), 1);
        termios after;
        ASSERT_EQ(tcgetattr(watcher, &after), 0);
        EXPECT_TRUE(sameSettings(before, after));
    }
    ::close(watcher);
}

TEST_F(PortTest, ModeUsesLowTwoBitsAndPtysLackModemLines)
{
    ASSERT_EQ(OpenCOM(pty.slavePath().c_str(), 9600), 1);
    // Pseudo-terminals have no modem lines or RS-485 mode: every mode still works.
    for (auto [rts, dtr] : {std::pair{0, 0}, {1, 1}, {2, 2}, {3, 1}, {5, 6}, {1, 2}}) {
        SCOPED_TRACE(testing::Message() << rts << "," << dtr);
        EXPECT_EQ(SetModeCOM(rts, dtr), 1);
    }
    uint32_t status = 0;
    EXPECT_EQ(GetModLns(&status), 0);
    EXPECT_EQ(SetModLns(3), 0);
    EXPECT_EQ(SetModLns(7), 0);
}

TEST_F(PortTest, PurgeEmptiesInputQueue)
{
    ASSERT_EQ(OpenCOM(pty.slavePath().c_str(), 9600), 1);
    pty.send({0xC0, 0x81, 0x03, 0x00, 0xD3});
    ASSERT_EQ(FlushCOM(), 1);
    // Give the bytes time to cross before the purge.
    uint32_t event = 0;
    ASSERT_EQ(SetMaskCOM(0x001), 1);
    ASSERT_EQ(WaitEventCOM(&event), 1);
    EXPECT_EQ(event, 0x001u);
    uint32_t mask = 0;
    ASSERT_EQ(GetMaskCOM(&mask), 1);
    EXPECT_EQ(mask, 0x001u);
    ASSERT_EQ(PurgeCOM(), 1);
    uint8_t a, c, n, data[255];
    EXPECT_EQ(RxFrame(50, &a, &c, &n, data), 0);
}

TEST_F(PortTest, WaitEventFailsWhenNothingToWaitFor)
{
    ASSERT_EQ(OpenCOM(pty.slavePath().c_str(), 9600), 1);
    uint32_t event = 0;
    ASSERT_EQ(SetMaskCOM(0), 1);
    EXPECT_EQ(WaitEventCOM(&event), 0);
}

}  // namespace
