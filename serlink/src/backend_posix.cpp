// POSIX backend: termios, modem-control and RS-485 ioctls, poll-driven
// one-byte reads and bounded writes.
#include "backend.h"

#include "lineops_posix.h"
#include "portname.h"
#include "termios2_linux.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <chrono>
#include <string>

namespace serlink {

namespace {

int realIoctl(int fd, unsigned long request, void* arg)
{
    return ::ioctl(fd, request, arg);
}

}  // namespace

LineOps& lineOps()
{
    static LineOps ops{&realIoctl};
    return ops;
}

namespace backend {

const Handle InvalidHandle = -1;

namespace {

using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC
constexpr auto WriteTimeout = std::chrono::milliseconds(1000);

// Pseudo-terminals and some USB adapters have no modem lines, RS-485 mode or
// line-status register; such a port is still usable.
bool notSupportedHere(int error)
{
    return error == ENOTTY || error == EINVAL || error == EOPNOTSUPP;
}

// Opens without blocking on carrier detect and keeps the descriptor
// non-blocking: reads and writes wait in poll() against their own deadlines.
int openExclusive(const char* name)
{
    const std::string path = devicePath(name);
    if (path.empty())
        return -1;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    // The advisory lock holds against root too, and against a second open by
    // this library; TIOCEXCL keeps other non-root programs out.
    if (!isatty(fd) || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// What read() and write() answer once the device behind the descriptor has
// gone: an unplugged adapter, a pseudo-terminal whose other side closed.
bool deviceGoneError(int error)
{
    return error == EIO || error == ENXIO || error == ENODEV || error == EPIPE;
}

void sleepUntil(Clock::time_point when)
{
    const auto since =
        std::chrono::duration_cast<std::chrono::nanoseconds>(when.time_since_epoch());
    const timespec at{static_cast<time_t>(since.count() / 1000000000),
                      static_cast<long>(since.count() % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
}

std::chrono::nanoseconds remaining(Clock::time_point deadline)
{
    const auto left = deadline - Clock::now();
    return left > Clock::duration::zero()
               ? std::chrono::duration_cast<std::chrono::nanoseconds>(left)
               : std::chrono::nanoseconds::zero();
}

// Waits for `events` until the deadline: 1 ready, 0 timed out, -1 device gone.
int waitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        const auto left = remaining(deadline);
        timespec ts{static_cast<time_t>(left.count() / 1000000000),
                    static_cast<long>(left.count() % 1000000000)};
        pollfd p{fd, events, 0};
        const int n = ppoll(&p, 1, &ts, nullptr);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            return 0;
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL))
            return -1;
        return 1;
    }
}

speed_t standardSpeed(std::uint32_t baud)
{
    switch (baud) {
    case 50: return B50;
    case 75: return B75;
    case 110: return B110;
    case 134: return B134;
    case 150: return B150;
    case 200: return B200;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 500000: return B500000;
    case 576000: return B576000;
    case 921600: return B921600;
    case 1000000: return B1000000;
    case 1152000: return B1152000;
    case 1500000: return B1500000;
    case 2000000: return B2000000;
    default: return B0;
    }
}

}  // namespace

struct Port::Impl {
    int fd = -1;
    KernelSettings saved{};
    std::uint32_t baud = 9600;
    std::chrono::milliseconds readTimeout{1000};
    // The kernel's RS-485 settings as found at open, given back at close
    // once the library has changed them.
    serial_rs485 foundRs485{};
    bool rs485Found = false;
    bool rs485Changed = false;
    bool gone = false;            // the device went away and was given back
    std::uint32_t eventMask = 0;  // kept here: termios has no event mask

    // A device that has gone is given back at once, without restoring
    // settings it no longer has: holding it would keep its name from a
    // re-plugged adapter.
    bool dropGoneDevice()
    {
        ::close(fd);
        fd = -1;
        gone = true;
        return false;
    }

    int lineIoctl(unsigned long request, void* arg) { return lineOps().ioctl(fd, request, arg); }

    bool setModemBit(int bit, bool on)
    {
        int bits = bit;
        return lineIoctl(on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
    }

    // A modem line that the device may not have: failure for lack of support
    // is not an error of the caller's request.
    bool setModemBitIfPresent(int bit, bool on)
    {
        return setModemBit(bit, on) || notSupportedHere(errno);
    }

    bool setKernelRs485(bool on)
    {
        serial_rs485 conf{};
        if (on)
            conf.flags = SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
        if (lineIoctl(TIOCSRS485, &conf) != 0)
            return false;
        rs485Changed = true;
        // TIOCGRS485 alone succeeds on ports without the mode: read it back.
        serial_rs485 check{};
        if (lineIoctl(TIOCGRS485, &check) != 0)
            return false;
        return ((check.flags & SER_RS485_ENABLED) != 0) == on;
    }

    // The line time of one byte: start bit, 8 data bits, stop bit.
    std::chrono::nanoseconds characterTime() const
    {
        const std::uint32_t rate = baud ? baud : 9600;
        return std::chrono::nanoseconds(10'000'000'000ULL / rate);
    }

    // The kernel's RS-485 mode is on for this port, found so or set by us.
    bool kernelRs485On()
    {
        serial_rs485 now{};
        return lineIoctl(TIOCGRS485, &now) == 0 && (now.flags & SER_RS485_ENABLED) != 0;
    }
};

bool probe(const char* name)
{
    const int fd = openExclusive(name);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

Port::Port(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

// A port given back without CloseCOM (a second OpenCOM) is restored too.
Port::~Port()
{
    close();
}

std::unique_ptr<Port> Port::open(const char* name)
{
    auto impl = std::make_unique<Impl>();
    impl->fd = openExclusive(name);
    if (impl->fd < 0)
        return nullptr;
    ::ioctl(impl->fd, TIOCEXCL);
    return std::unique_ptr<Port>(new Port(std::move(impl)));
}

Handle Port::handle() const
{
    return impl_->fd >= 0 ? impl_->fd : InvalidHandle;
}

// A rate the driver rounds by more than this does not carry the line.
constexpr double BaudTolerance = 0.02;

bool Port::configure(std::uint32_t baud)
{
    Impl& port = *impl_;
    if (baud == 0 || !kernelGetSettings(port.fd, port.saved))
        return false;
    port.rs485Found = port.lineIoctl(TIOCGRS485, &port.foundRs485) == 0;
    termios t;
    if (tcgetattr(port.fd, &t) != 0)
        return false;
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY | INPCK | IUCLC | IMAXBEL);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    // VMIN 1 makes an empty non-blocking read answer EAGAIN; with 0 it would
    // return 0, which is kept to mean the device has gone.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    const speed_t speed = standardSpeed(baud);
    if (speed != B0) {
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
    }
    if (tcsetattr(port.fd, TCSANOW, &t) != 0)
        return false;
    if (speed == B0 && !kernelSetBaud(port.fd, baud))
        return false;
    // A driver may put another rate in place of one it cannot make.
    std::uint32_t taken = 0;
    if (!kernelGetBaud(port.fd, taken) || taken == 0 ||
        std::abs(double(taken) - double(baud)) > BaudTolerance * double(baud))
        return false;
    port.baud = baud;
    if (!port.setModemBitIfPresent(TIOCM_DTR, false) || !port.setModemBitIfPresent(TIOCM_RTS, true))
        return false;
    // The kernel sizes its own queues; there is nothing to set for 512 bytes.
    port.readTimeout = std::chrono::milliseconds(1000);
    return purge();
}

bool Port::close()
{
    Impl& port = *impl_;
    if (port.fd < 0)
        return false;
    if (port.rs485Changed && port.rs485Found)
        port.lineIoctl(TIOCSRS485, &port.foundRs485);
    const bool restored = kernelSetSettings(port.fd, port.saved);
    ::ioctl(port.fd, TIOCNXCL);
    const bool closed = ::close(port.fd) == 0;
    port.fd = -1;
    return restored && closed;
}

bool Port::setMode(bool directionMode, int rtsLowBits, int dtrLowBits)
{
    Impl& port = *impl_;
    dirControl_ = directionMode;
    bool& driverSwitches = driverSwitches_;
    driverSwitches = false;
    termios t;
    if (tcgetattr(port.fd, &t) != 0)
        return false;
    bool rtsOn = false;
    if (directionMode || rtsLowBits == 3) {
        driverSwitches = port.setKernelRs485(true);
        // Without the kernel mode the library drives RTS itself, idle low.
        rtsOn = !driverSwitches && !directionMode;
    } else {
        // RTS as this mode says, not as a kernel RS-485 mode found at open
        // would switch it.
        if (port.kernelRs485On())
            port.setKernelRs485(false);
        // Handshake (2) is the receiver's flow control: RTS up while input is
        // welcome, which the library's small frames always are. It is not
        // CTS output flow control, which CRTSCTS would switch on as well.
        rtsOn = rtsLowBits == 1 || rtsLowBits == 2;
    }
    t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    if (tcsetattr(port.fd, TCSANOW, &t) != 0)
        return false;
    if (!driverSwitches && !port.setModemBitIfPresent(TIOCM_RTS, rtsOn))
        return false;
    // POSIX has no DTR handshake; mode 2 leaves DTR raised as "enabled".
    return port.setModemBitIfPresent(TIOCM_DTR, dtrLowBits != 0);
}

bool Port::escape(std::uint32_t function)
{
    Impl& port = *impl_;
    if (port.fd < 0)
        return false;
    switch (function) {
    case 1: return tcflow(port.fd, TCOOFF) == 0;
    case 2: return tcflow(port.fd, TCOON) == 0;
    case 3: return port.setModemBit(TIOCM_RTS, true);
    case 4: return port.setModemBit(TIOCM_RTS, false);
    case 5: return port.setModemBit(TIOCM_DTR, true);
    case 6: return port.setModemBit(TIOCM_DTR, false);
    case 8: return port.lineIoctl(TIOCSBRK, nullptr) == 0;
    case 9: return port.lineIoctl(TIOCCBRK, nullptr) == 0;
    default: return false;
    }
}

bool Port::modemStatus(std::uint32_t& status)
{
    Impl& port = *impl_;
    int bits = 0;
    if (port.fd < 0 || port.lineIoctl(TIOCMGET, &bits) != 0)
        return false;
    status = ((bits & TIOCM_CTS) ? 0x10u : 0u) | ((bits & TIOCM_DSR) ? 0x20u : 0u) |
             ((bits & TIOCM_RNG) ? 0x40u : 0u) | ((bits & TIOCM_CD) ? 0x80u : 0u);
    return true;
}

bool Port::purge()
{
    Impl& port = *impl_;
    return port.fd >= 0 && tcflush(port.fd, TCIOFLUSH) == 0;
}

bool Port::discardInput()
{
    Impl& port = *impl_;
    return port.fd >= 0 && tcflush(port.fd, TCIFLUSH) == 0;
}

bool Port::flush()
{
    Impl& port = *impl_;
    return port.fd >= 0 && tcdrain(port.fd) == 0;
}

bool Port::eventMask(std::uint32_t& mask)
{
    if (impl_->fd < 0)
        return false;
    mask = impl_->eventMask;
    return true;
}

bool Port::setEventMask(std::uint32_t mask)
{
    if (impl_->fd < 0)
        return false;
    impl_->eventMask = mask;
    return true;
}

// Event mask bits as the caller knows them: EV_RXCHAR 0x001, EV_TXEMPTY
// 0x004, EV_CTS 0x008, EV_DSR 0x010, EV_RLSD 0x020, EV_ERR 0x080, EV_RING
// 0x100. Received bytes and errors come from poll(); an empty output queue
// from TIOCOUTQ; modem lines are sampled every 10 ms for a change (TIOCMIWAIT
// could not be woken). A mask of nothing to wait for, or a device that goes
// away, fails at once.
bool Port::waitEvent(std::uint32_t& event)
{
    Impl& port = *impl_;
    const std::uint32_t mask = port.eventMask;
    constexpr std::uint32_t RxChar = 0x001, TxEmpty = 0x004, Cts = 0x008, Dsr = 0x010, Rlsd = 0x020,
                            Err = 0x080, Ring = 0x100;
    if (port.fd < 0 || (mask & (RxChar | TxEmpty | Cts | Dsr | Rlsd | Err | Ring)) == 0)
        return false;
    int linesBefore = 0;
    const bool haveLines = port.lineIoctl(TIOCMGET, &linesBefore) == 0;
    for (;;) {
        std::uint32_t seen = 0;
        pollfd p{port.fd, static_cast<short>((mask & RxChar) ? POLLIN : 0), 0};
        const int n = poll(&p, 1, 10);
        if (n < 0 && errno != EINTR)
            return false;
        if (n > 0) {
            if (p.revents & (POLLHUP | POLLNVAL))
                return false;
            if (p.revents & POLLERR)
                seen |= Err;
            if (p.revents & POLLIN)
                seen |= RxChar;
        }
        int queued = 0;
        if ((mask & TxEmpty) && ioctl(port.fd, TIOCOUTQ, &queued) == 0 && queued == 0)
            seen |= TxEmpty;
        int lines = 0;
        if (haveLines && port.lineIoctl(TIOCMGET, &lines) == 0) {
            const int changed = lines ^ linesBefore;
            if (changed & TIOCM_CTS)
                seen |= Cts;
            if (changed & TIOCM_DSR)
                seen |= Dsr;
            if (changed & TIOCM_CD)
                seen |= Rlsd;
            if (changed & TIOCM_RNG)
                seen |= Ring;
        }
        seen &= mask;
        if (seen != 0) {
            event = seen;
            return true;
        }
    }
}

bool Port::setReadTimeout(std::uint32_t milliseconds)
{
    Impl& port = *impl_;
    if (port.fd < 0)
        return false;
    port.readTimeout = std::chrono::milliseconds(milliseconds);
    return true;
}

bool Port::readByte(std::uint8_t& byte, Clock::time_point notAfter)
{
    Impl& port = *impl_;
    if (port.fd < 0)
        return false;
    const auto deadline = std::min(Clock::now() + port.readTimeout, notAfter);
    for (;;) {
        const ssize_t n = ::read(port.fd, &byte, 1);
        if (n == 1)
            return true;
        if (n == 0 || deviceGoneError(errno))
            return port.dropGoneDevice();  // end of file or EIO: the device has gone
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        const int ready = waitFor(port.fd, POLLIN, deadline);
        if (ready < 0)
            return port.dropGoneDevice();
        if (ready == 0)
            return false;
    }
}

bool Port::write(const std::uint8_t* bytes, std::size_t count)
{
    Impl& port = *impl_;
    if (port.fd < 0)
        return false;
    const auto deadline = Clock::now() + WriteTimeout;
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(port.fd, bytes + done, count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && deviceGoneError(errno))
            return port.dropGoneDevice();
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        const int ready = waitFor(port.fd, POLLOUT, deadline);
        if (ready < 0)
            return port.dropGoneDevice();
        if (ready == 0)
            return false;
    }
    return true;
}

bool Port::gone() const
{
    return impl_->gone;
}

bool Port::setRts(bool on)
{
    Impl& port = *impl_;
    return port.fd >= 0 && port.setModemBit(TIOCM_RTS, on);
}

// RTS stays up at least for the frame's line time from the start of the
// write: the kernel's queue empties long before that on USB adapters (their
// chip still sends) and at low rates on UARTs (their FIFO still sends). Then
// the transmitter must be empty: the UART's TEMT bit where the driver reports
// it, else the driver's own wait for its chip (tcdrain), asked only once the
// kernel's queue is empty, since tcdrain waits for a stalled queue for ever.
// The whole wait is bounded: a line held by flow control or a hung driver
// must not keep the transmitter on the bus.
void Port::waitTransmitterEmpty(Clock::time_point writeStart, std::size_t frameBytes)
{
    Impl& port = *impl_;
    if (port.fd < 0)
        return;
    const Clock::time_point lineEnd =
        writeStart + port.characterTime() * static_cast<long long>(frameBytes);
    const auto deadline = lineEnd + port.characterTime() * 4 + std::chrono::milliseconds(100);
    sleepUntil(lineEnd);
    const auto tick = std::chrono::microseconds(200);
    int queued = 0;
    while (port.lineIoctl(TIOCOUTQ, &queued) == 0 && queued > 0 && Clock::now() < deadline)
        sleepUntil(Clock::now() + tick);
    if (queued > 0)
        return;
    unsigned int lsr = 0;
    if (port.lineIoctl(TIOCSERGETLSR, &lsr) == 0) {
        while ((lsr & TIOCSER_TEMT) == 0 && Clock::now() < deadline) {
            sleepUntil(Clock::now() + tick);
            if (port.lineIoctl(TIOCSERGETLSR, &lsr) != 0)
                break;
        }
        return;
    }
    // tcdrain(), through the line table: TCSBRK with a non-zero argument.
    port.lineIoctl(TCSBRK, reinterpret_cast<void*>(1));
}

}  // namespace backend
}  // namespace serlink
