// RS-485 direction switching, with the line ioctls played by a fake UART.
#include "lineops_posix.h"
#include "pty.h"
#include "serlink.h"

#include <gtest/gtest.h>

#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

using support::Bytes;
using support::Pty;
using Clock = std::chrono::steady_clock;

namespace {

// struct termios2 of <asm/termbits.h>, a header that cannot meet <termios.h>.
struct KernelTermios {
    tcflag_t c_iflag, c_oflag, c_cflag, c_lflag;
    cc_t c_line;
    cc_t c_cc[19];
    speed_t c_ispeed, c_ospeed;
};
constexpr unsigned long kGetSettings = _IOR('T', 0x2A, KernelTermios);  // TCGETS2
constexpr unsigned long kSetSettings = _IOW('T', 0x2B, KernelTermios);  // TCSETS2
constexpr tcflag_t kOtherRate = 0010000;                                // BOTHER

// What sends the bytes behind the port.
enum class Chip {
    Pty,        // nothing: the pty takes bytes at once; TEMT after lsrBusyReads
    Uart16550,  // a 16-byte FIFO: the kernel queue holds what does not fit, TEMT
                // once the last byte has gone at the line rate
    UsbAdapter  // the kernel queue is empty at once, the chip still sends, and
                // there is no line-status register (drain only)
};

struct FakeUart {
    bool kernelRs485 = false;  // the driver offers RS-485 mode
    int lsrBusyReads = 3;      // line-status reads before TEMT shows; negative: never
    int masterFd = -1;
    serial_rs485 rs485{};
    std::vector<std::string> events;
    Chip chip = Chip::Pty;
    int baud = 115200;       // the model's line rate
    speed_t driverRate = 0;  // not 0: the driver puts this rate in place of any other
    Clock::time_point rtsUp, rtsDown;
};

FakeUart* uart = nullptr;

int pendingOnMaster()
{
    int n = 0;
    ioctl(uart->masterFd, FIONREAD, &n);
    return n;
}

void settleMaster()
{
    pollfd p{uart->masterFd, POLLIN, 0};
    poll(&p, 1, 200);
}

Clock::duration characterTime(int baud)
{
    return std::chrono::nanoseconds(10'000'000'000LL / baud);
}

// Bytes of the frame the model's chip has put on the line since RTS went up.
int sentSinceRtsUp()
{
    return int((Clock::now() - uart->rtsUp) / characterTime(uart->baud));
}

int fakeIoctl(int fd, unsigned long request, void* arg)
{
    switch (request) {
    case TIOCMBIS:
    case TIOCMBIC:
        if (*static_cast<int*>(arg) & TIOCM_RTS) {
            (request == TIOCMBIS ? uart->rtsUp : uart->rtsDown) = Clock::now();
            // What was written has reached the pty, though the master may
            // see it a moment later (the kernel hands it over on a worker).
            if (request == TIOCMBIC)
                settleMaster();
            uart->events.push_back(std::string(request == TIOCMBIS ? "rts+" : "rts-") + ":" +
                                   std::to_string(pendingOnMaster()));
        }
        if (*static_cast<int*>(arg) & TIOCM_DTR)
            uart->events.push_back(request == TIOCMBIS ? "dtr+" : "dtr-");
        return 0;
    case TIOCOUTQ:
        if (uart->chip == Chip::Pty)
            return ::ioctl(fd, request, arg);
        *static_cast<int*>(arg) = uart->chip == Chip::Uart16550
                                      ? std::max(0, pendingOnMaster() - sentSinceRtsUp() - 16)
                                      : 0;
        return 0;
    case TCSBRK: uart->events.push_back("drain"); return ::ioctl(fd, request, arg);
    case kSetSettings: {
        auto* t = static_cast<KernelTermios*>(arg);
        if (uart->driverRate != 0 && (t->c_cflag & kOtherRate)) {
            t->c_ispeed = uart->driverRate;
            t->c_ospeed = uart->driverRate;
        }
        return ::ioctl(fd, request, arg);
    }
    case TIOCSRS485:
        if (!uart->kernelRs485)
            break;
        uart->rs485 = *static_cast<serial_rs485*>(arg);
        return 0;
    case TIOCGRS485:
        *static_cast<serial_rs485*>(arg) = uart->rs485;  // answers even without the mode
        return 0;
    case TIOCSERGETLSR:
        if (uart->chip == Chip::UsbAdapter)
            break;
        uart->events.push_back("lsr");
        if (uart->chip == Chip::Uart16550) {
            *static_cast<unsigned*>(arg) = sentSinceRtsUp() >= pendingOnMaster() ? TIOCSER_TEMT : 0;
            return 0;
        }
        *static_cast<unsigned*>(arg) =
            (uart->lsrBusyReads >= 0 && uart->lsrBusyReads-- == 0) ? TIOCSER_TEMT : 0;
        if (uart->lsrBusyReads < -1)
            uart->lsrBusyReads = -1;
        return 0;
    default: return ::ioctl(fd, request, arg);
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

// A frame long enough to outlast a 16-byte FIFO: SetW with 16 data bytes.
const std::vector<uint8_t> kSixteen = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

TEST_F(DirectionTest, RtsStaysUpForTheFrameLineTimeWhateverTheQueueSays)
{
    const struct {
        const char* name;
        Chip chip;
        int baud;
        const char* lastCheck;  // what the library asks before it drops RTS
    } rows[] = {{"16-byte FIFO at 1200 baud", Chip::Uart16550, 1200, "lsr"},
                {"USB adapter without line status", Chip::UsbAdapter, 9600, "drain"}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        CloseCOM();
        ASSERT_EQ(OpenCOM(pty.slavePath().c_str(), uint32_t(r.baud)), 1);
        ASSERT_EQ(SetModeCOM(3, 1), 1);
        fake.chip = r.chip;
        fake.baud = r.baud;
        fake.events.clear();
        ASSERT_EQ(TxFrame(1, 14, 16, kSixteen.data()), 1);
        const Bytes wire = pty.receive(64, std::chrono::milliseconds(100));
        ASSERT_GE(wire.size(), 21u);
        const auto lineTime = characterTime(r.baud) * wire.size();
        EXPECT_GE(fake.rtsDown - fake.rtsUp, lineTime);
        EXPECT_LT(fake.rtsDown - fake.rtsUp, lineTime + std::chrono::milliseconds(300));
        ASSERT_GE(fake.events.size(), 3u);
        EXPECT_EQ(fake.events[fake.events.size() - 2], r.lastCheck);
        EXPECT_EQ(fake.events.back().substr(0, 4), "rts-");
    }
}

TEST_F(DirectionTest, KernelRs485SettingsFoundAtOpenComeBackAtClose)
{
    fake.kernelRs485 = true;
    serial_rs485 on{};
    on.flags = SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    on.delay_rts_before_send = 7;
    serial_rs485 off{};
    off.delay_rts_after_send = 3;
    const struct {
        const char* name;
        serial_rs485 found;
        int rtsMode;
        bool onWhileOurs;
    } rows[] = {{"found on, plain RTS", on, 1, false},
                {"found on, no RTS", on, 0, false},
                {"found on, handshake", on, 2, false},
                {"found off, direction control", off, 3, true}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        CloseCOM();
        fake.rs485 = r.found;
        ASSERT_EQ(OpenCOM(pty.slavePath().c_str(), 115200), 1);
        ASSERT_EQ(SetModeCOM(r.rtsMode, 1), 1);
        EXPECT_EQ((fake.rs485.flags & SER_RS485_ENABLED) != 0, r.onWhileOurs);
        ASSERT_EQ(CloseCOM(), 1);
        EXPECT_EQ(fake.rs485.flags, r.found.flags);
        EXPECT_EQ(fake.rs485.delay_rts_before_send, r.found.delay_rts_before_send);
        EXPECT_EQ(fake.rs485.delay_rts_after_send, r.found.delay_rts_after_send);
        ASSERT_EQ(OpenCOM(pty.slavePath().c_str(), 115200), 1);
    }
}

TEST_F(DirectionTest, BaudRateTheDriverDoesNotTakeFailsTheOpen)
{
    CloseCOM();
    EXPECT_EQ(OpenCOM(pty.slavePath().c_str(), 0), 0);
    CloseCOM();
    EXPECT_EQ(OpenCOM(pty.slavePath().c_str(), 250000), 1);  // any rate a driver takes
    CloseCOM();
    fake.driverRate = 9600;  // a driver that falls back to 9600
    EXPECT_EQ(OpenCOM(pty.slavePath().c_str(), 250000), 0);
    CloseCOM();
    fake.driverRate = 0;
}

TEST_F(DirectionTest, HandshakeModeRaisesRtsWithoutCtsFlowControl)
{
    fake.events.clear();
    ASSERT_EQ(SetModeCOM(2, 1), 1);
    termios t{};
    ASSERT_EQ(tcgetattr(static_cast<int>(GetHandleCOM()), &t), 0);
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(fake.events, (std::vector<std::string>{"rts+:0", "dtr+"}));
}

}  // namespace
