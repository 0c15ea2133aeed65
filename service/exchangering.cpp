#include "exchangering.h"

#include "commands.h"

namespace service {

ExchangeRing::ExchangeRing(std::size_t capacity) : slots_(capacity == 0 ? 1 : capacity) {}

void ExchangeRing::add(const ExchangeRecord& record,
                       std::chrono::system_clock::time_point wallStart)
{
    if (paused_)
        return;
    // Slots are reused: assigning into the old entry keeps its buffers, so a
    // full ring takes no new memory.
    LoggedExchange& e = slots_[end_ % slots_.size()];
    e.seq = end_;
    e.wallStart = wallStart;
    e.record = record;
    e.routine = isRoutine(record);
    ++end_;
    if (size_ < slots_.size())
        ++size_;
}

void ExchangeRing::clear()
{
    size_ = 0;
    lastAnswers_.clear();
}

const LoggedExchange* ExchangeRing::at(std::uint64_t seq) const
{
    if (seq < firstSeq() || seq >= end_)
        return nullptr;
    return &slots_[seq % slots_.size()];
}

bool ExchangeRing::isPoll(int command)
{
    using C = wake::Command;
    switch (C(command)) {
    case C::GetN:
    case C::GetS:
    case C::GetT:
    case C::GetL:
    case C::GetI:
    case C::GetRS: return true;
    default: return false;
    }
}

bool ExchangeRing::isRoutine(const ExchangeRecord& r)
{
    if (r.outcome != ExchangeOutcome::Answer || !isPoll(r.command))
        return false;
    auto [it, inserted] = lastAnswers_.try_emplace({r.port, r.address, r.command}, r.answer);
    if (inserted)
        return false;
    if (it->second == r.answer)
        return true;
    it->second = r.answer;
    return false;
}

}  // namespace service
