// Commands that reach the line from outside (MQTT, Modbus): which exist,
// who may give them, and the queue the poll loop serves before its next
// exchange.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

enum class GateCommand { Open, Close, Stop, Off };

// "open", "close", "stop", "off"; nothing for any other text.
std::optional<GateCommand> parseGateCommand(const std::string& text);
const char* gateCommandName(GateCommand command);
int motionCodeOf(GateCommand command);  // the SetS byte

struct CommandOutcome {
    bool refused = false;
    std::string error;  // empty: the actuator answered
};

struct CommandRequest {
    int address = 0;
    GateCommand command = GateCommand::Stop;
    std::string source;  // "mqtt", "modbus 127.0.0.1:50412"
    // Told on the poll thread once the command was sent (or refused).
    std::function<void(const CommandOutcome&)> done;
};

// Commands are refused unless allowed; then for every actuator, or only for
// the listed addresses. Address 0 (every actuator at once) never.
struct CommandPolicy {
    bool allow = false;
    std::vector<int> addresses;  // empty: every address 1..127

    bool permits(int address) const;
};

class CommandQueue {
public:
    void push(CommandRequest request);
    std::optional<CommandRequest> pop();
    // Waits up to timeout for a command; true when one is queued.
    template <class Duration>
    bool waitFor(Duration timeout)
    {
        std::unique_lock lock(mutex_);
        return ready_.wait_for(lock, timeout, [this] { return !queue_.empty() || woken_; });
    }
    void wake();  // ends every wait at once (the program is stopping)

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<CommandRequest> queue_;
    bool woken_ = false;
};
