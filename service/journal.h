// The operation journal: who changed which actuator, and when. One CSV file
// beside the program, appended row by row and never rewritten; past its size
// limit it becomes the one old file kept ("….1.csv") and a new one begins.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace service {

namespace journal {

inline constexpr const char* FileName = "tirspanel-journal.csv";
inline constexpr const char* OldFileName = "tirspanel-journal.1.csv";
// Locked for each append and its rotation, by every program that writes the journal.
inline constexpr const char* LockFileName = "tirspanel-journal.lock";
inline constexpr const char* Header = "time;port;address;type;action;values;result";
inline constexpr std::uintmax_t RotateBytes = 10u * 1024 * 1024;
inline constexpr const char* Ok = "ok";

struct Row {
    std::string time;  // ISO 8601 with milliseconds and the time zone
    std::string port;
    int address = 0;
    std::string type;    // the actuator's last known type text
    std::string action;  // a command name, FileLoad, FileSave, StrokeOpen, StrokeClose
    std::string values;  // "name=value …", or a file path
    std::string result;  // "ok" or the error text
    bool operator==(const Row&) const = default;
};

std::string formatRow(const Row& row);  // one line, without its end
// nullopt for the header and for a line that is not a row.
std::optional<Row> parseRow(const std::string& line);
// The rows of one journal file, oldest first; a missing file has none.
std::vector<Row> readFile(const std::string& path);

}  // namespace journal

class OperationJournal {
public:
    // folder: where the journal files lie ("" is the current folder).
    explicit OperationJournal(const std::string& folder,
                              std::uintmax_t rotateBytes = journal::RotateBytes);

    // Appends the row as one write, under the journal's lock, so that two
    // programs appending at once neither mix rows nor rotate twice; false
    // when that failed (error() says why).
    bool append(const journal::Row& row);

    const std::string& path() const { return path_; }
    const std::string& oldPath() const { return oldPath_; }
    const std::string& error() const { return error_; }
    bool failing() const { return failing_; }
    // The text of a warning, once per spell of failures: the first failed
    // append gives it, the next successful append ends the spell.
    std::optional<std::string> takeWarning();

private:
    bool write(const journal::Row& row);
    void rotateIfFull();

    std::string path_;
    std::string oldPath_;
    std::string lockPath_;
    std::uintmax_t rotateBytes_;
    std::string error_;
    bool failing_ = false;
    bool warned_ = false;
};

}  // namespace service
