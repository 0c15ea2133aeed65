// A TWakePort on "COM3", which the test's own ports/ folder points at a
// simulated line served on a pseudo-terminal; the other COM numbers are
// dangling links, so no test ever reaches a real serial device.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/simline.h"
#include "wakeport.h"

inline constexpr int SimPortNumber = 3;
inline constexpr int SimAddress = 1;

// Points ports/COM<simPort> beside the running test at target and every
// other COM1..COM<maxPort> at nothing.
void pointPortsAt(const std::string& target, int simPort = SimPortNumber, int maxPort = 9);

// An actuator that holds still: its state stays as the test sets it.
void addStillActuator(sim::Line& line, int address, const std::string& info);

// "Ошибка команды <command>:\r<reason>"
std::string commandError(const std::string& command, const std::string& reason);
inline const std::string NoAnswer = "Нет ответа на команду.";
inline const std::string WrongAnswer = "Неверный ответ на команду.";
inline const std::string NoPort = "Порт не открыт.";
inline const std::string DamagedAnswer =
    "Повреждённый ответ на команду (возможно, два привода с одним адресом).";

// The message of the EHardwareException that f raises, or "" when it raises none.
std::string hardwareError(const std::function<void()>& f);

class SimPortTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The actuator answers every request with exactly these data bytes.
    void answerWith(const std::vector<std::uint8_t>& data);
    void setFaults(const sim::Faults& faults);
    // The request log once it holds at least count entries (or as it is after 2 s).
    std::vector<sim::LoggedRequest> requests(std::size_t count = 1) const;
    // True when a request arrives within the time-out (a generous wait for "nothing").
    bool anyRequestWithin(std::chrono::milliseconds timeout) const;

    sim::Line line;
    std::unique_ptr<sim::PtyLine> pty;
    TWakePort port{8};
};
