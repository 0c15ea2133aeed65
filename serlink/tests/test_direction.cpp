// RS-485 direction switching, with the line ioctls played by a fake UART.
#include "lineops_posix.h"
#include "pty.h"
#include "serlink.h"

#include <gtest/gtest.h>

#include <linux/serial.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

using support::Pty;

namespace {

struct FakeUart {
    bool kernelRs485 = false;  // the driver offers RS-485 mode
    int lsrBusyReads = 3;      // line-status reads before TEMT shows; negative: never
    int masterFd = -1;
    serial_rs485 rs485{};
    std::vector<std::string> events;
};

FakeUart* uart = nullptr;

int pendingOnMaster()
{
    int n = 0;
    ioctl(uart->masterFd, FIONREAD, &n);
    return n;
}

int fakeIoctl(int fd, unsigned long request, void* arg)
{
    switch (request) {
    case TIOCMBIS:
    case TIOCMBIC:
        if (*static_cast<int*>(arg) & TIOCM_RTS)
            uart->events.push_back(std::string(request == TIOCMBIS ? "rts+" : "rts-") + ":" +
                                   std::to_string(pendingOnMaster()));
        if (*static_cast<int*>(arg) & TIOCM_DTR)
            uart->events.push_back(request == TIOCMBIS ? "dtr+" : "dtr-");
        return 0;
    case TIOCSRS485:
        if (!uart->kernelRs485)
            break;
        uart->rs485 = *static_cast<serial_rs485*>(arg);
        return 0;
    case TIOCGRS485:
        *static_cast<serial_rs485*>(arg) = uart->rs485;  // answers even without the mode
        return 0;
    case TIOCSERGETLSR:
        uart->events.push_back("lsr");
        *static_cast<unsigned*>(arg) =
            (uart->lsrBusyReads >= 0 && uart->lsrBusyReads-- == 0) ? TIOCSER_TEMT : 0;
        if (uart->lsrBusyReads < -1)
            uart->lsrBusyReads = -1;
        return 0;
    default:
        return ::ioctl(fd, request, arg);
    }
    errno = ENOTTY;
    return -1;
}

class DirectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        uart = &fake;
        saved = serlink::lineOps();
        serlink::lineOps().ioctl = &fakeIoctl;
        fake.masterFd = pty.masterFd();
        ASSERT_EQ(OpenCOM(pty.slavePath().c_str(), 115200), 1);
    }
    void TearDown() override
    {
        CloseCOM();
        serlink::lineOps() = saved;
        uart = nullptr;
    }
    FakeUart fake;
    serlink::LineOps saved{};
    Pty pty;
};

TEST_F(DirectionTest, LibraryRaisesRtsAroundTheWriteAndWaitsForEmptyTransmitter)
{
    ASSERT_EQ(SetModeCOM(3, 1), 1);
    fake.events.clear();
    ASSERT_EQ(TxFrame(1, 3, 0, nullptr), 1);
    // RTS up before any byte is on the line, down only after the whole frame
    // has gone and the transmitter reported empty.
    const std::vector<std::string> expected = {"rts+:0", "lsr", "lsr", "lsr", "lsr", "rts-:5"};
    EXPECT_EQ(fake.events, expected);
}

TEST_F(DirectionTest, HungTransmitterDoesNotHangTheFrame)
{
    ASSERT_EQ(SetModeCOM(3, 1), 1);
    fake.lsrBusyReads = -1;
    fake.events.clear();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(TxFrame(1, 3, 0, nullptr), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    ASSERT_FALSE(fake.events.empty());
    EXPECT_EQ(fake.events.back().substr(0, 4), "rts-");
}

TEST_F(DirectionTest, KernelModeLeavesRtsToTheDriver)
{
    fake.kernelRs485 = true;
    ASSERT_EQ(SetModeCOM(3, 1), 1);
    EXPECT_NE(fake.rs485.flags & SER_RS485_ENABLED, 0u);
    EXPECT_NE(fake.rs485.flags & SER_RS485_RTS_ON_SEND, 0u);
    fake.events.clear();
    ASSERT_EQ(TxFrame(1, 3, 0, nullptr), 1);
    EXPECT_TRUE(fake.events.empty());
    // Another mode gives the direction back to the library's plain RTS.
    ASSERT_EQ(SetModeCOM(1, 1), 1);
    EXPECT_EQ(fake.rs485.flags & SER_RS485_ENABLED, 0u);
}

TEST_F(DirectionTest, OnlyLowTwoBitsOfEachModeCount)
{
    fake.events.clear();
    ASSERT_EQ(SetModeCOM(1, 2), 1);
    const auto reference = fake.events;
    fake.events.clear();
    ASSERT_EQ(SetModeCOM(5, 6), 1);
    EXPECT_EQ(fake.events, reference);
    fake.events.clear();
    ASSERT_EQ(TxFrame(1, 3, 0, nullptr), 1);
    EXPECT_TRUE(fake.events.empty());  // no direction control
}

TEST_F(DirectionTest, OtherModesDoNotSwitchRtsPerFrame)
{
    for (auto [rts, dtr] : {std::pair{1, 1}, {5, 6}, {0, 0}}) {
        ASSERT_EQ(SetModeCOM(rts, dtr), 1);
        fake.events.clear();
        ASSERT_EQ(TxFrame(2, 16, 1, reinterpret_cast<const uint8_t*>("\x05")), 1);
        EXPECT_TRUE(fake.events.empty());
        pty.receive(6);
    }
}

}  // namespace
