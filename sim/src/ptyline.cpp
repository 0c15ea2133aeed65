// Serves the line on the master side of a pseudo-terminal: decodes request
// frames as their bytes arrive and plays the answers out.
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "sim/simline.h"
#include "wakecodec.h"

namespace sim {

namespace {

// Inside a frame the next byte must come within this time, or the frame is
// dropped. A frame start always restarts decoding anyway (see readByte).
constexpr int MidFrameTimeoutMs = 500;
constexpr int IdleSliceMs = 200;
constexpr int WriteTimeoutMs = 1000;

// Reads the master side one byte at a time. A FEND can never occur inside a
// valid frame (it is always escaped), so an unescaped FEND in the middle of
// a frame ends that frame and is kept as the start of the next one: a frame
// cut short never costs the good frame after it.
class MasterReader final : public wake::ByteReader {
public:
    MasterReader(int fd, int wakeFd) : fd_(fd), wakeFd_(wakeFd) {}

    bool readByte(std::uint8_t& byte) override
    {
        if (pendingFend_) {
            pendingFend_ = false;
            startFrame();
            byte = wake::Fend;
            return true;
        }
        for (;;) {
            pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
            const int r = ::poll(fds, 2, inFrame_ ? MidFrameTimeoutMs : IdleSliceMs);
            if (r < 0) {
                if (errno == EINTR)
                    continue;
                gone_ = true;
                return false;
            }
            if (fds[1].revents) {
                stopped_ = true;
                return false;
            }
            if (r == 0) {
                if (inFrame_)
                    return false;
                continue;
            }
            if (fds[0].revents & (POLLERR | POLLNVAL)) {
                gone_ = true;
                return false;
            }
            std::uint8_t c;
            const ssize_t n = ::read(fd_, &c, 1);
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (n <= 0) {  // EIO: no slave side left
                gone_ = true;
                return false;
            }
            if (c == wake::Fend) {
                if (inFrame_) {
                    pendingFend_ = true;
                    inFrame_ = false;
                    return false;
                }
                startFrame();
            } else if (inFrame_ && ++position_ == 1) {
                firstAfterFend_ = c;
            }
            byte = c;
            return true;
        }
    }

    void endFrame() { inFrame_ = false; }
    // The byte after FEND carries bit 7 only when it is an address byte (its
    // escape 0xDB included); a command byte never does.
    bool hadAddressByte() const { return firstAfterFend_ & 0x80; }
    bool finished() const { return gone_ || stopped_; }

private:
    void startFrame()
    {
        inFrame_ = true;
        position_ = 0;
        firstAfterFend_ = 0;
    }

    int fd_;
    int wakeFd_;
    bool inFrame_ = false;
    bool pendingFend_ = false;
    int position_ = 0;
    std::uint8_t firstAfterFend_ = 0;
    bool gone_ = false;
    bool stopped_ = false;
};

}  // namespace

struct PtyLine::Impl {
    explicit Impl(Line& l) : line(l) {}

    Line& line;
    std::string slavePath;
    int master = -1;
    int slaveKeeper = -1;  // keeps the master from seeing a hang-up between users
    int wakePipe[2] = {-1, -1};
    std::thread thread;
    std::atomic<int> paceBaud{0};
    std::mutex writeMutex;

    mutable std::mutex logMutex;
    mutable std::condition_variable logChanged;
    std::vector<LoggedRequest> log;
    std::function<void(const LoggedRequest&)> observer;

    bool open();
    void closeAll();
    void serve();
    void writeBytes(const std::vector<std::uint8_t>& bytes, std::chrono::microseconds gap,
                    std::chrono::microseconds delay = {});
};

bool PtyLine::Impl::open()
{
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0)
        return false;
    char name[128];
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0) {
        closeAll();
        return false;
    }
    slavePath = name;
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    slaveKeeper = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slaveKeeper < 0 || ::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        closeAll();
        return false;
    }
    // Raw from the start: an echoing line discipline would send the
    // requests straight back before the library sets its own mode.
    termios t{};
    if (::tcgetattr(slaveKeeper, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(slaveKeeper, TCSANOW, &t);
    }
    return true;
}

void PtyLine::Impl::closeAll()
{
    for (int* fd : {&master, &slaveKeeper, &wakePipe[0], &wakePipe[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void PtyLine::Impl::writeBytes(const std::vector<std::uint8_t>& bytes,
                               std::chrono::microseconds gap, std::chrono::microseconds delay)
{
    std::lock_guard lock(writeMutex);
    const int baud = paceBaud.load();
    const auto byteTime =
        baud > 0 ? std::chrono::microseconds(10'000'000LL / baud) : std::chrono::microseconds(0);
    const auto pause = gap + byteTime;
    const std::size_t chunk = pause.count() > 0 ? 1 : bytes.size();
    // Absolute deadlines, so that the oversleep of one pause does not add up
    // over the bytes of an answer.
    auto due = std::chrono::steady_clock::now() + delay;
    if (delay.count() > 0)
        std::this_thread::sleep_until(due);
    for (std::size_t at = 0; at < bytes.size();) {
        if (pause.count() > 0) {
            due += pause;
            std::this_thread::sleep_until(due);
        }
        const std::size_t end = std::min(bytes.size(), at + chunk);
        while (at < end) {
            const ssize_t n = ::write(master, bytes.data() + at, end - at);
            if (n > 0) {
                at += std::size_t(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EAGAIN) {
                // Nobody reads the slave side: give up rather than hang the line.
                pollfd p{master, POLLOUT, 0};
                if (::poll(&p, 1, WriteTimeoutMs) > 0)
                    continue;
            }
            return;
        }
    }
}

void PtyLine::Impl::serve()
{
    // Paced bytes want sleeps close to their line time, not the default 50 us slack.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    MasterReader reader(master, wakePipe[0]);
    std::uint8_t data[wake::MaxData];
    while (!reader.finished()) {
        reader.endFrame();
        std::uint8_t address = 0, command = 0, count = 0;
        if (!wake::decodeFrame(reader, &address, &command, &count, data))
            continue;
        LoggedRequest request;
        request.hasAddress = reader.hadAddressByte();
        request.address = address;
        request.command = command;
        request.data.assign(data, data + count);
        line.advance();
        std::vector<Line::Answer> answers =
            line.handleRequest(request.hasAddress, address, command, request.data);
        request.time = std::chrono::steady_clock::now();
        if (observer)
            observer(request);
        {
            std::lock_guard lock(logMutex);
            log.push_back(std::move(request));
        }
        logChanged.notify_all();
        for (const Line::Answer& a : answers)
            writeBytes(a.bytes, a.byteGap, a.delay);
    }
}

PtyLine::PtyLine(Line& line) : impl_(std::make_unique<Impl>(line)) {}

PtyLine::~PtyLine()
{
    stop();
}

bool PtyLine::start()
{
    if (impl_->thread.joinable())
        return true;
    if (!impl_->open())
        return false;
    impl_->thread = std::thread(&Impl::serve, impl_.get());
    return true;
}

void PtyLine::stop()
{
    if (impl_->thread.joinable()) {
        const char wake = 1;
        [[maybe_unused]] ssize_t n = ::write(impl_->wakePipe[1], &wake, 1);
        impl_->thread.join();
    }
    impl_->closeAll();
}

const std::string& PtyLine::slavePath() const
{
    return impl_->slavePath;
}

void PtyLine::setPace(int baud)
{
    impl_->paceBaud = std::max(baud, 0);
}

std::vector<LoggedRequest> PtyLine::requests() const
{
    std::lock_guard lock(impl_->logMutex);
    return impl_->log;
}

void PtyLine::clearRequests()
{
    std::lock_guard lock(impl_->logMutex);
    impl_->log.clear();
}

bool PtyLine::waitForRequests(const std::function<bool(const std::vector<LoggedRequest>&)>& pred,
                              std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(impl_->logMutex);
    return impl_->logChanged.wait_for(lock, timeout, [&] { return pred(impl_->log); });
}

void PtyLine::setRequestObserver(std::function<void(const LoggedRequest&)> observer)
{
    impl_->observer = std::move(observer);
}

void PtyLine::injectBytes(const std::vector<std::uint8_t>& bytes)
{
    if (impl_->master >= 0)
        impl_->writeBytes(bytes, std::chrono::microseconds(0));
}

void PtyLine::unplug()
{
    stop();
}

}  // namespace sim
