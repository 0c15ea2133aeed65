// A device end of a pseudo-terminal that keeps the line's time in both
// directions, for measuring the host's own overhead: the request counts as
// received one line time after its first byte arrived (the pty delivers it
// at once), and answer byte i is handed over at the moment its stop bit
// would end on a real line. Deadlines are absolute, so sleep errors do not
// add up; the lateness of each answer's last byte is kept, so that the
// device's own error can be told apart from the host's.
//
// The answers come from a sim::Line (its model, instant); only the timing
// is this class's own.
#pragma once

#include <sim/simline.h>

#include "linetime.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace bench {

class PacedDevice {
public:
    PacedDevice(sim::Line& line, int baud);
    ~PacedDevice();
    PacedDevice(const PacedDevice&) = delete;
    PacedDevice& operator=(const PacedDevice&) = delete;

    // Told on the device's thread of every request, at the moment its last
    // byte would have arrived on a real line. Set before start().
    using RequestHook = std::function<void(int address, int command, Clock::time_point received)>;
    void setRequestHook(RequestHook hook) { hook_ = std::move(hook); }

    bool start();
    void stop();
    const std::string& slavePath() const { return slavePath_; }

    // Seconds by which each answer's last byte came after its ideal time.
    std::vector<double> takeLateness();
    // Wire bytes of all requests and answers, and the number of requests,
    // since the last call: the line time a stretch of work had to spend.
    std::size_t takeWireBytes() { return wireBytes_.exchange(0); }
    std::size_t takeRequests() { return requests_.exchange(0); }

private:
    void serve();

    sim::Line& line_;
    int baud_;
    int master_ = -1;
    int keeper_ = -1;
    int wake_[2] = {-1, -1};
    std::string slavePath_;
    RequestHook hook_;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<double> lateness_;
    std::atomic<std::size_t> wireBytes_{0};
    std::atomic<std::size_t> requests_{0};
};

}  // namespace bench
