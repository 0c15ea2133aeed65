// A pseudo-terminal whose master side a test or benchmark holds and plays the
// line with; the serial library opens the slave side by its path.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace support {

using Bytes = std::vector<std::uint8_t>;

class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& slavePath() const { return slave_; }
    void send(const Bytes& bytes);
    // Reads until `count` bytes came or the time-out ran out.
    Bytes receive(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    void closeMaster();
    int masterFd() const { return master_; }

private:
    int master_ = -1;
    std::string slave_;
};

}  // namespace support
