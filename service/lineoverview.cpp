#include "lineoverview.h"

#include <utility>

#include "addressscope.h"
#include "positionmath.h"
#include "wakeport.h"

namespace service {

std::optional<int> LineEntry::percent() const
{
    if (!position || !travel)
        return std::nullopt;
    return posmath::shownPercent(posmath::percentOf(*position, posmath::effectiveTravel(*travel)));
}

void LineOverview::setDevices(const std::vector<LineDevice>& devices)
{
    const int current = cursor_ < entries_.size() ? entries_[cursor_].address : 0;
    std::vector<LineEntry> next;
    next.reserve(devices.size());
    for (const LineDevice& d : devices) {
        LineEntry e;
        if (const LineEntry* old = find(d.address))
            e = *old;
        e.address = d.address;
        e.type = d.type;
        next.push_back(std::move(e));
    }
    entries_ = std::move(next);
    // The round goes on where it was when that actuator is still there.
    cursor_ = 0;
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].address == current)
            cursor_ = i;
    if (cursor_ >= entries_.size() || entries_[cursor_].address != current)
        step_ = 0;
}

void LineOverview::setSelected(int address)
{
    selected_ = address;
}

const LineEntry* LineOverview::find(int address) const
{
    for (const LineEntry& e : entries_)
        if (e.address == address)
            return &e;
    return nullptr;
}

LineEntry* LineOverview::entry(int address)
{
    return const_cast<LineEntry*>(std::as_const(*this).find(address));
}

std::optional<LineRequest> LineOverview::next()
{
    const std::size_t n = entries_.size();
    // At most one pass over the entries to find one that is not selected.
    for (std::size_t tried = 0; tried <= n && n > 0; ++tried) {
        if (cursor_ >= n) {
            cursor_ = 0;
            step_ = 0;
        }
        const LineEntry& e = entries_[cursor_];
        if (e.address == selected_ || step_ > 2) {
            ++cursor_;
            step_ = 0;
            if (cursor_ >= n)
                ++round_;
            continue;
        }
        if (step_ == 0) {
            step_ = 1;
            if (!e.travel || round_ % TravelEvery == 0)
                return LineRequest{e.address, LineReading::Travel};
        }
        const LineReading reading = step_ == 1 ? LineReading::State : LineReading::Position;
        ++step_;
        return LineRequest{e.address, reading};
    }
    return std::nullopt;
}

void LineOverview::answered(const LineRequest& request, int value, int flags, Clock::time_point now)
{
    LineEntry* e = entry(request.address);
    if (!e)
        return;
    switch (request.reading) {
    case LineReading::Travel: e->travel = value; break;
    case LineReading::State:
        e->driveState = value;
        e->driveFlags = flags;
        break;
    case LineReading::Position: e->position = value; break;
    }
    e->lastAnswer = now;
    e->silent = false;
}

void LineOverview::failed(int address)
{
    if (LineEntry* e = entry(address))
        e->silent = true;
    if (cursor_ < entries_.size() && entries_[cursor_].address == address)
        step_ = 3;
}

void LineOverview::pollRead(int address, const PollSnapshot& snapshot, Clock::time_point now)
{
    LineEntry* e = entry(address);
    if (!e)
        return;
    if (snapshot.failed()) {
        e->silent = true;
        return;
    }
    if (snapshot.position)
        e->position = snapshot.position;
    if (snapshot.travel)
        e->travel = snapshot.travel;
    if (snapshot.driveState) {
        e->driveState = snapshot.driveState;
        e->driveFlags = snapshot.driveFlags;
    }
    e->lastAnswer = now;
    e->silent = false;
}

bool refreshNext(TWakePort& port, LineOverview& overview, LineOverview::Clock::time_point now)
{
    const std::optional<LineRequest> request = overview.next();
    if (!request)
        return false;
    const service::AddressScope scope(port, request->address);
    try {
        int value = 0, flags = 0;
        switch (request->reading) {
        case LineReading::Travel: value = port.GetT(); break;
        case LineReading::State: {
            const DriveStatus drive = port.GetS();
            value = drive.state;
            flags = drive.flags;
            break;
        }
        case LineReading::Position: value = port.GetN(); break;
        }
        overview.answered(*request, value, flags, now);
    } catch (const EHardwareException&) {
        overview.failed(request->address);
    }
    return true;
}

}  // namespace service
