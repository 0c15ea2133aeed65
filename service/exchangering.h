// The last exchanges on the line, in a ring of fixed size: memory stays
// flat however long the program runs. Each entry has a sequence number that
// grows by one per exchange, so that a display can follow the ring.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <tuple>
#include <vector>

#include "exchangerecord.h"

namespace service {

struct LoggedExchange {
    std::uint64_t seq = 0;
    std::chrono::system_clock::time_point wallStart;
    ExchangeRecord record;
    // A poll (GetN, GetS, GetT, GetL, GetI, GetRS) whose answer is the same
    // as that command's previous answer from the same actuator.
    bool routine = false;
};

class ExchangeRing {
public:
    static constexpr std::size_t DefaultCapacity = 20000;
    explicit ExchangeRing(std::size_t capacity = DefaultCapacity);

    void add(const ExchangeRecord& record, std::chrono::system_clock::time_point wallStart);
    void clear();
    // While paused, exchanges are not taken.
    void setPaused(bool paused) { paused_ = paused; }
    bool paused() const { return paused_; }

    // The entries held are firstSeq() … endSeq() - 1.
    std::uint64_t firstSeq() const { return end_ - size_; }
    std::uint64_t endSeq() const { return end_; }
    std::size_t size() const { return size_; }
    std::size_t capacity() const { return slots_.size(); }
    // nullptr for a sequence number the ring no longer (or not yet) holds.
    const LoggedExchange* at(std::uint64_t seq) const;

    static bool isPoll(int command);

private:
    bool isRoutine(const ExchangeRecord& record);

    std::vector<LoggedExchange> slots_;
    std::uint64_t end_ = 0;
    std::size_t size_ = 0;
    bool paused_ = false;
    // The last answer of each poll command, by port, address and command.
    std::map<std::tuple<std::string, int, int>, std::vector<std::uint8_t>> lastAnswers_;
};

}  // namespace service
