// The ports/ folder beside the running benchmark: "COMn" names lead to the
// simulated line there, every other COM number to nothing, so a benchmark
// never reaches a real serial device.
#pragma once

#include <string>

namespace bench {

void pointPortsAt(const std::string& target, int simPort, int maxPort = 8);

// A pseudo-terminal that nobody writes to: a silent line.
class SilentPty {
public:
    SilentPty();
    ~SilentPty();
    SilentPty(const SilentPty&) = delete;
    SilentPty& operator=(const SilentPty&) = delete;
    bool ok() const { return master_ >= 0; }
    const std::string& slavePath() const { return slavePath_; }

private:
    int master_ = -1;
    std::string slavePath_;
};

}  // namespace bench
