// What every tirsctl command shares: the global options, the settings file
// beside the program, the protocol client on the chosen port, and the way
// a command ends (exit codes and the errors that lead to them).
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "exchangefanout.h"
#include "exitcode.h"
#include "linesettings.h"
#include "operationrecorder.h"
#include "wakeport.h"

// Wrong usage found after parsing (a file that is not there, a bad list).
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The port cannot be opened; the message names the port and the reason.
class PortError : public std::runtime_error {
public:
    enum class Kind {
        NotChosen,  // neither --port nor the settings name one
        NotOpened,  // the named port did not open
    };
    PortError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

struct GlobalOptions {
    std::string port;           // empty: the settings file's Port
    int baud = 0;               // 0: the settings file's Baud Rate
    int address = -1;           // -1: the settings file's Address
    bool addressGiven = false;  // --address stood on the command line
    int timeout = 100;          // ms per answer byte
    bool json = false;
    bool verbose = false;
};

class Context {
public:
    Context();
    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    GlobalOptions options;
    // The command chosen on the command line, run after parsing.
    std::function<int()> run;
    // Set by Ctrl+C: long commands end after the exchange in progress.
    static std::atomic<bool> interrupted;

    // tirspanel.ini beside the program, read on first use.
    const service::LineSettings& settings();
    // The client on the chosen port, opened on first use (PortError when it
    // cannot be). Commands that change an actuator go to the operation
    // journal; -v reports every exchange from then on.
    TWakePort& line();
    // The actuator the commands address; warns once on stderr for address 0.
    int address();
    // The actuator a command that changes it goes to. Address 0 reaches
    // every actuator on the line: refused (UsageError) unless --address 0
    // was given on the command line.
    int addressToChange();
    std::string nameOf(int address);
    bool json() const { return options.json; }
    // A failed exchange for the operator, with the address it went to.
    std::string failureText(const std::exception& e) const;

private:
    std::unique_ptr<service::LineSettings> settings_;
    // The operation journal beside the program, as the window keeps it.
    std::unique_ptr<service::OperationRecorder> journal_;
    service::ExchangeFanOut observers_;
    std::unique_ptr<TWakePort> port_;
    bool warned_ = false;
    int lastAddress_ = -1;  // of the last exchange, -1 before the first
};

// The text of an exception for the operator: the client's line breaks
// (carriage returns) become blanks.
std::string messageOf(const std::exception& e);
std::string messageOf(std::string text);
