#include "stroketimer.h"

#include "codes.h"
#include "commands.h"

namespace service {

namespace {

const wake::FieldValue* fieldNamed(const std::vector<wake::FieldValue>& values, const char* name)
{
    for (const auto& v : values)
        if (v.name == name)
            return &v;
    return nullptr;
}

}  // namespace

std::optional<Stroke> StrokeTimer::observe(const ExchangeRecord& r)
{
    if (r.outcome != ExchangeOutcome::Answer)
        return std::nullopt;
    const wake::CommandInfo* entry = wake::findCommand(r.command);
    if (!entry)
        return std::nullopt;
    const Clock::time_point at = r.start + r.duration;  // when the answer was in
    switch (entry->command) {
    case wake::Command::SetS: {
        const auto values = wake::decodeRequest(*entry, r.request.data(), r.request.size());
        if (const auto* code = fieldNamed(values, "MotionCode"))
            commanded(r.address, int(code->value), at);
        break;
    }
    case wake::Command::GetN: {
        const auto values = wake::decodeAnswer(*entry, r.answer.data(), r.answer.size());
        if (const auto* n = fieldNamed(values, "N"))
            position(r.address, int(n->value), at);
        break;
    }
    case wake::Command::GetS: {
        const auto values = wake::decodeAnswer(*entry, r.answer.data(), r.answer.size());
        if (const auto* f = fieldNamed(values, "DriveFlags"))
            return flags(r.address, int(f->value), at);
        break;
    }
    default: break;
    }
    return std::nullopt;
}

void StrokeTimer::commanded(int address, int motionCode, Clock::time_point at)
{
    if (motionCode == wake::CmdOpen || motionCode == wake::CmdClose) {
        Pending p;
        p.open = motionCode == wake::CmdOpen;
        p.start = at;
        pending_[address] = p;
    } else {
        pending_.erase(address);
    }
}

void StrokeTimer::position(int address, int n, Clock::time_point at)
{
    auto it = pending_.find(address);
    if (it == pending_.end())
        return;
    Pending& p = it->second;
    if (p.haveN && n == p.lastN)
        return;
    p.moved = p.moved || p.haveN;
    p.haveN = true;
    p.lastN = n;
    p.restingSince = at;
}

std::optional<Stroke> StrokeTimer::flags(int address, int driveFlags, Clock::time_point at)
{
    auto it = pending_.find(address);
    if (it == pending_.end())
        return std::nullopt;
    Pending& p = it->second;
    const int limit = p.open ? wake::flag::Limo : wake::flag::Limc;
    if (!(driveFlags & limit)) {
        p.limitLeft = true;
        return std::nullopt;
    }
    std::optional<Stroke> stroke;
    if (p.moved || p.limitLeft) {
        const Clock::time_point end = p.moved ? p.restingSince : at;
        stroke = Stroke{address, p.open, std::chrono::duration<double>(end - p.start).count()};
    }
    pending_.erase(it);
    return stroke;
}

}  // namespace service
