#include "linepoller.h"

#include <iostream>
#include <thread>

#include "hardwareexception.h"
#include "isotime.h"
#include "journal.h"
#include "scan.h"
#include "wakeport.h"

LinePoller::LinePoller(TWakePort& port, SnapshotStore& store, CommandQueue& queue,
                       CommandPolicy policy, service::OperationJournal* journal)
    : port_(port), store_(store), queue_(queue), policy_(std::move(policy)), journal_(journal)
{
    snapshot_.portOpen = port_.Connected();
}

template <class F>
bool LinePoller::exchange(int address, F&& f)
{
    serveCommands();
    try {
        port_.SetDevAddr(address);
        f();
        return true;
    } catch (const EHardwareException&) {
        return false;
    }
}

void LinePoller::discover(const std::vector<int>& addresses)
{
    listed_ = addresses;
    std::vector<ActuatorReading> found;
    if (addresses.empty()) {
        // A scan of 127 addresses takes seconds: commands go on meanwhile.
        service::ScanOptions options;
        options.cancelled = [this] {
            serveCommands();
            return stop_ && stop_->load();
        };
        for (const auto& f : service::scanLine(port_, options)) {
            ActuatorReading a;
            a.address = f.address;
            a.type = f.type;
            found.push_back(a);
        }
    } else {
        for (int address : addresses) {
            ActuatorReading a;
            a.address = address;
            exchange(address, [&] { a.type = port_.GetInfo(); });
            found.push_back(a);
        }
    }
    // Readings of actuators found again are kept.
    for (auto& a : found)
        if (const ActuatorReading* old = snapshot_.find(a.address)) {
            const std::string type = a.type.empty() ? old->type : a.type;
            a = *old;
            a.type = type;
        }
    snapshot_.actuators = std::move(found);
    snapshot_.portOpen = port_.Connected();
    ++snapshot_.scans;
    publish();
}

void LinePoller::pollOne(ActuatorReading& a)
{
    const int address = a.address;
    const bool relays = cycle_ % RelaysEvery == 0;
    int position = 0, current = 0;
    DriveStatus drive;
    // A silent actuator costs one time-out: the rest of its readings wait
    // for the next cycle.
    bool ok = exchange(address, [&] { position = port_.GetN(); }) &&
              exchange(address, [&] { drive = port_.GetS(); }) &&
              exchange(address, [&] { current = port_.GetI(); });
    if (ok) {
        a.position = position;
        a.driveState = drive.state;
        a.driveFlags = drive.flags;
        a.inputCurrent = current;
        a.lastGood = std::chrono::steady_clock::now();
        a.lastGoodWall = std::chrono::system_clock::now();
        if (a.type.empty())
            exchange(address, [&] { a.type = port_.GetInfo(); });
        if (relays || !a.travel) {
            int travel = 0;
            if (exchange(address, [&] { travel = port_.GetT(); }))
                a.travel = travel;
        }
        if (relays || !a.relayStates) {
            int rs = 0;
            if (exchange(address, [&] { rs = port_.GetRS(); }))
                a.relayStates = rs;
        }
    }
    a.online = ok;
}

void LinePoller::runCycle()
{
    if (reopenIfLost()) {
        for (auto& a : snapshot_.actuators) {
            pollOne(a);
            publish();
            if (!port_.Connected())
                break;
        }
    }
    snapshot_.portOpen = port_.Connected();
    if (!snapshot_.portOpen)
        for (auto& a : snapshot_.actuators)
            a.online = false;
    ++cycle_;
    publish();
}

bool LinePoller::reopenIfLost()
{
    if (port_.Connected())
        return true;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastReopen_ < ReopenEvery)
        return false;
    lastReopen_ = now;
    if (!port_.Reopen())
        return false;
    std::cerr << "tirsgate: порт " << port_.PortName << " открыт снова\n";
    return true;
}

void LinePoller::run(const std::atomic<bool>& stop, std::atomic<bool>& rescan)
{
    stop_ = &stop;
    while (!stop) {
        // Without the port a scan would find nothing and forget every actuator.
        if (port_.Connected() && rescan.exchange(false))
            discover(listed_);
        const bool wasOpen = port_.Connected();
        runCycle();
        if (wasOpen && !port_.Connected())
            std::cerr << "tirsgate: порт " << port_.PortName << " потерян\n";
        // Without a port or an actuator there is nothing to poll: wait for
        // a command (answered at once) or the next reopen attempt.
        if (!port_.Connected() || snapshot_.actuators.empty()) {
            if (queue_.waitFor(std::chrono::milliseconds(100)))
                serveCommands();
        }
    }
}

void LinePoller::serveCommands()
{
    while (auto request = queue_.pop()) {
        CommandOutcome outcome;
        const int code = motionCodeOf(request->command);
        if (!policy_.permits(request->address)) {
            outcome.refused = true;
        } else {
            try {
                port_.SetDevAddr(request->address);
                port_.SetS(code);
            } catch (const EHardwareException& e) {
                outcome.error = e.what();
                for (char& c : outcome.error)
                    if (c == '\r')
                        c = ' ';
            }
        }
        if (journal_) {
            service::journal::Row row;
            row.time = service::isoLocalTimeMillis(std::chrono::system_clock::now());
            row.port = port_.PortName;
            row.address = request->address;
            if (const ActuatorReading* a = snapshot_.find(request->address))
                row.type = a->type;
            row.action = "SetS";
            row.values = "code=" + std::to_string(code) +
                         " command=" + gateCommandName(request->command) +
                         " source=" + request->source;
            row.result = outcome.refused         ? std::string("refused")
                         : outcome.error.empty() ? std::string(service::journal::Ok)
                                                 : outcome.error;
            if (!journal_->append(row))
                if (auto warning = journal_->takeWarning())
                    std::cerr << "tirsgate: " << *warning << "\n";
        }
        if (request->done)
            request->done(outcome);
    }
}

void LinePoller::publish()
{
    snapshot_.cycle = cycle_;
    store_.set(snapshot_);
}
