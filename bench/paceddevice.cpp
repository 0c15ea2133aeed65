#include "paceddevice.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "linetime.h"
#include "wakecodec.h"

namespace bench {

namespace {

constexpr int MidFrameTimeoutMs = 50;
// The last stretch before a deadline is spun, not slept: a sleep wakes up
// tens of microseconds late even with the timer slack at its minimum.
constexpr auto SpinMargin = std::chrono::microseconds(40);

void waitUntil(Clock::time_point deadline)
{
    const auto sleepTo = deadline - SpinMargin;
    if (Clock::now() < sleepTo) {
        const auto ns =
            std::chrono::duration_cast<std::chrono::nanoseconds>(sleepTo.time_since_epoch())
                .count();
        timespec ts{time_t(ns / 1'000'000'000), long(ns % 1'000'000'000)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
        }
    }
    while (Clock::now() < deadline) {
    }
}

// Reads the master side in chunks; remembers when the current frame's first
// byte arrived and how many bytes the frame took.
class ChunkReader final : public wake::ByteReader {
public:
    ChunkReader(int fd, int wakeFd) : fd_(fd), wakeFd_(wakeFd) {}

    bool readByte(std::uint8_t& byte) override
    {
        while (at_ == size_) {
            if (!fill())
                return false;
        }
        byte = buffer_[at_++];
        if (byte == wake::Fend) {
            frameStart_ = chunkTime_;
            consumed_ = 0;
        }
        ++consumed_;
        return true;
    }

    Clock::time_point frameStart() const { return frameStart_; }
    std::size_t consumed() const { return consumed_; }
    bool stopped() const { return stopped_; }
    void beginFrame() { inFrame_ = false; }

private:
    bool fill()
    {
        pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        const int r = ::poll(fds, 2, inFrame_ ? MidFrameTimeoutMs : -1);
        if (r < 0 && errno == EINTR)
            return true;
        if (r <= 0 || fds[1].revents || (fds[0].revents & (POLLERR | POLLNVAL))) {
            stopped_ = r != 0;
            return false;
        }
        const ssize_t n = ::read(fd_, buffer_, sizeof buffer_);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return true;
        if (n <= 0) {
            // No slave open at the moment (between two users): wait a little.
            ::poll(fds + 1, 1, 1);
            return !(fds[1].revents);
        }
        chunkTime_ = Clock::now();
        at_ = 0;
        size_ = std::size_t(n);
        inFrame_ = true;
        return true;
    }

    int fd_;
    int wakeFd_;
    std::uint8_t buffer_[1024];
    std::size_t at_ = 0, size_ = 0;
    Clock::time_point chunkTime_, frameStart_;
    std::size_t consumed_ = 0;
    bool inFrame_ = false;
    bool stopped_ = false;
};

}  // namespace

PacedDevice::PacedDevice(sim::Line& line, int baud) : line_(line), baud_(baud) {}

PacedDevice::~PacedDevice()
{
    stop();
}

bool PacedDevice::start()
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0)
        return false;
    slavePath_ = name;
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    keeper_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (keeper_ < 0 || ::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    termios t{};
    if (::tcgetattr(keeper_, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(keeper_, TCSANOW, &t);
    }
    thread_ = std::thread(&PacedDevice::serve, this);
    return true;
}

void PacedDevice::stop()
{
    if (thread_.joinable()) {
        const char c = 1;
        [[maybe_unused]] ssize_t n = ::write(wake_[1], &c, 1);
        thread_.join();
    }
    for (int* fd : {&master_, &keeper_, &wake_[0], &wake_[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

std::vector<double> PacedDevice::takeLateness()
{
    std::lock_guard lock(mutex_);
    return std::exchange(lateness_, {});
}

void PacedDevice::serve()
{
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    ChunkReader reader(master_, wake_[0]);
    const auto byteTime = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(byteSeconds(baud_)));
    std::uint8_t data[wake::MaxData];
    while (!reader.stopped()) {
        reader.beginFrame();
        std::uint8_t address = 0, command = 0, count = 0;
        if (!wake::decodeFrame(reader, &address, &command, &count, data))
            continue;
        const std::size_t requestBytes = reader.consumed();
        const Clock::time_point received = reader.frameStart() + byteTime * long(requestBytes);
        if (hook_)
            hook_(address, command, received);
        line_.advance();
        // Frames with an address byte are what the host sends here.
        std::vector<sim::Line::Answer> answers = line_.handleRequest(
            true, address, command, std::vector<std::uint8_t>(data, data + count));
        // Counted before the answer goes out: the host may be done as soon
        // as the last byte is there.
        std::size_t wire = requestBytes;
        for (const sim::Line::Answer& a : answers)
            wire += a.bytes.size();
        wireBytes_ += wire;
        ++requests_;
        Clock::time_point next = received;
        for (const sim::Line::Answer& a : answers) {
            for (std::uint8_t b : a.bytes) {
                next += byteTime;
                waitUntil(next);
                [[maybe_unused]] ssize_t n = ::write(master_, &b, 1);
            }
        }
        if (!answers.empty()) {
            const double late = std::chrono::duration<double>(Clock::now() - next).count();
            std::lock_guard lock(mutex_);
            lateness_.push_back(late);
        }
    }
}

}  // namespace bench
