// The simulated actuator line: any number of actuators on one serial line,
// served on the master side of a pseudo-terminal.
//
// This header is the contract that the protocol, window and end-to-end tests
// code against; the simulator may add to it but keeps what is here.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct RelayConfig {
    int mode = 0;  // 0 off, 1 current input, 2 current output
    int min = 0;   // percent
    int max = 0;
    int hyst = 0;
};

// Everything one simulated actuator holds. Tests may read or change any of it
// through Line::with(); the motion model keeps driveState, driveFlags, N and
// workStatus up to date as simulated time passes.
struct ActuatorState {
    int address = 1;
    std::string info = "ТИРС-70 №0001";  // UTF-8 here; Windows-1251 on the wire
    int Vmin = 80, extraM = 0;
    int A = 200, Ia = 1500;
    int V1 = 200, I1 = 1000, V2 = 200, I2 = 1000, V3 = 200, I3 = 1000, V4 = 200, I4 = 1000;
    int Vp = 300, Ip = 800, Np = 200;
    int Vl = 100, Il = 2000, No = 1000, Nc = 1000;
    int Nt = 2000;       // travel in optical steps
    int N = 0;           // position counter, optical steps (sent as signed 16 bits)
    int driveState = 0;  // DriveState code
    int driveFlags = 0;  // DriveFlags bits
    int workStatus = 0;  // WorkStatus byte
    RelayConfig relays[3];
    int inputCurrent = 12000;  // microamperes
    int relayStates = 0;       // RelayStates bits, computed from the relay settings
    bool frozen = false;       // true: the motion model leaves the state as the test set it
};

// Faults of one actuator's answers, asked for by a test.
struct Faults {
    bool silent = false;                   // never answer
    int silentEvery = 0;                   // leave every k-th request unanswered (0: never)
    int errorCode = 0;                     // put this error byte into every answer (0: normal)
    bool wrongCommand = false;             // answer with another command code
    bool badCheckByte = false;             // damage the check byte
    int cutAfter = -1;                     // send only this many bytes of the answer (-1: all)
    std::chrono::microseconds byteGap{0};  // pause before every answer byte
    std::chrono::microseconds delay{0};    // pause before the answer (a late answer)
    int strayBytes = 0;                    // noise bytes (never 0xC0) before the answer
    double randomFaultRate = 0;            // chance per answer of silence, damage or a wrong answer
    std::optional<std::vector<std::uint8_t>> answerData;  // answer with exactly these data bytes
};

// One request frame that the line received (good frames only).
struct LoggedRequest {
    bool hasAddress = false;
    int address = 0;
    int command = 0;
    std::vector<std::uint8_t> data;
    std::chrono::steady_clock::time_point time;
};

// The device model of the whole line; thread-safe.
class Line {
public:
    Line();
    ~Line();
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    // Adds an actuator with factory values; info is UTF-8.
    void addActuator(int address, const std::string& info);
    void removeActuator(int address);
    std::vector<int> addresses() const;

    // Runs f on the actuator now at that address, under the line's lock.
    // Returns false when there is none.
    bool with(int address, const std::function<void(ActuatorState&)>& f);
    ActuatorState state(int address) const;  // a copy; address 0 when there is none

    void setFaults(int address, const Faults& faults);  // address 0: every actuator
    void clearFaults();

    // On: when several actuators answer one request (two at one address, or
    // a frame without address), their answers overlap on the wire as on a
    // real bus, a 0 bit of either winning, and arrive as one garbled
    // stream. Off (the default): they follow one another, each frame whole.
    void setCollisions(bool on);

    // Simulated time runs with the wall clock times this factor (1 = real time).
    void setTimeScale(double factor);

    // The device side of one good request frame: the answer frame's bytes as
    // they go on the wire (stuffed), one entry per actuator that answers.
    // Faults are applied here; the host plays the bytes out.
    struct Answer {
        std::vector<std::uint8_t> bytes;
        std::chrono::microseconds byteGap{0};
        std::chrono::microseconds delay{0};  // before the first byte
    };
    std::vector<Answer> handleRequest(bool hasAddress, int address, int command,
                                      const std::vector<std::uint8_t>& data);

    // Advances the motion model to now; the host calls it before each request.
    void advance();
    // Advances the motion model by that much simulated time, whatever the
    // clock says (tests step the model deterministically with time scale 0).
    void advanceBy(std::chrono::microseconds simulated);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Serves a Line on a pseudo-terminal, on a thread of its own.
class PtyLine {
public:
    explicit PtyLine(Line& line);
    ~PtyLine();  // stops
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    bool start();  // creates the pty and starts serving; false on failure
    void stop();
    const std::string& slavePath() const;  // e.g. /dev/pts/7, valid after start()

    // 0: answers at once; otherwise every byte takes 10 bit times at that rate.
    void setPace(int baud);

    std::vector<LoggedRequest> requests() const;
    void clearRequests();
    // Called on the serving thread with every good request frame, before its
    // answers go out. Set it before start().
    void setRequestObserver(std::function<void(const LoggedRequest&)> observer);
    // Waits until pred holds for the log, or the time-out passes.
    bool waitForRequests(const std::function<bool(const std::vector<LoggedRequest>&)>& pred,
                         std::chrono::milliseconds timeout) const;

    // Raw bytes onto the line, as noise (the master side writes them).
    void injectBytes(const std::vector<std::uint8_t>& bytes);
    // Closes the master side, as an unplugged adapter; start() makes a new pty.
    void unplug();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace sim
