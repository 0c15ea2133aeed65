// An advisory lock on a file, held while the object lives, so that two
// programs appending to one file (the journal) take turns: one whole row and
// its rotation at a time. One implementation per platform.
#pragma once

#include <cstdint>
#include <string>

namespace service {

class FileLock {
public:
    // Waits for the lock on path, creating the file when missing.
    explicit FileLock(const std::string& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // False when the file could not be opened or locked (error() says why);
    // the caller then goes on unlocked rather than lose the row.
    bool locked() const { return locked_; }
    const std::string& error() const { return error_; }

private:
    std::intptr_t handle_ = -1;
    bool locked_ = false;
    std::string error_;
};

}  // namespace service
