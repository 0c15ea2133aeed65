// The one owner of the line: polls every actuator round robin (GetN, GetS,
// GetI each cycle, GetRS and GetT every tenth), serves queued commands
// before each poll exchange, marks silent actuators offline and reopens the
// port after an unplug. Everything runs on the caller's thread.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "gatecommand.h"
#include "linesnapshot.h"

class TWakePort;

namespace service {
class OperationJournal;
}

class LinePoller {
public:
    LinePoller(TWakePort& port, SnapshotStore& store, CommandQueue& queue, CommandPolicy policy,
               service::OperationJournal* journal);

    // The listed actuators (their types asked once), or a scan of the line
    // when the list is empty.
    void discover(const std::vector<int>& addresses);
    // One poll cycle over every actuator; reopens a lost port first.
    void runCycle();
    // Cycles until stop is set; a scan again whenever rescan is set (kept
    // for the port's return while it is gone).
    void run(const std::atomic<bool>& stop, std::atomic<bool>& rescan);
    // Serves what is queued now; public for the time the port is gone.
    void serveCommands();

    std::uint64_t cycles() const { return cycle_; }
    static constexpr int RelaysEvery = 10;
    static constexpr std::chrono::milliseconds ReopenEvery{500};

private:
    template <class F>
    bool exchange(int address, F&& f);
    void pollOne(ActuatorReading& a);
    void publish();
    bool reopenIfLost();

    TWakePort& port_;
    SnapshotStore& store_;
    CommandQueue& queue_;
    CommandPolicy policy_;
    service::OperationJournal* journal_;
    LineSnapshot snapshot_;
    std::vector<int> listed_;
    std::uint64_t cycle_ = 0;
    std::chrono::steady_clock::time_point lastReopen_{};
    const std::atomic<bool>* stop_ = nullptr;  // ends a scan under way
};
