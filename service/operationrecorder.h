// What goes into the operation journal: every answered or failed command
// that changes an actuator, every parameter-file load and save, and every
// stroke from "open" or "close" to the limit switch. Fed with the protocol
// client's exchanges; remembers each actuator's type text (its last GetInfo
// answer) for the journal's type column.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "exchangerecord.h"
#include "journal.h"
#include "stroketimer.h"

namespace service {

class OperationRecorder {
public:
    using WallClock = std::chrono::system_clock;

    explicit OperationRecorder(const std::string& folder,
                               std::uintmax_t rotateBytes = journal::RotateBytes);

    void observe(const ExchangeRecord& record);
    // A parameter file loaded (FileLoad) or saved (FileSave); error empty
    // for success.
    void fileOperation(const char* action, const std::string& port, int address,
                       const std::string& path, const std::string& error);

    std::optional<Stroke> lastStroke(int address) const;
    // An "open" or "close" of the actuator is being timed.
    bool strokePending(int address) const { return strokes_.pending(address); }
    std::string typeOf(int address) const;
    OperationJournal& journal() { return journal_; }

    // The program writing, when not the window ("tirsctl"): ends the values
    // column as "source=<source>", so that the journal tells them apart.
    std::string source;

    // Told of every row as it is appended (also when writing it failed).
    std::function<void(const journal::Row&)> onRow;
    // Told of every finished stroke.
    std::function<void(const Stroke&)> onStroke;

private:
    void append(journal::Row row);

    OperationJournal journal_;
    StrokeTimer strokes_;
    std::map<int, std::string> types_;
    std::map<int, Stroke> lastStrokes_;
};

// "seconds=41.3"
std::string strokeValues(const Stroke& stroke);

}  // namespace service
