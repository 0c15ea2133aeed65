// An in-process stand-in for the serial link library: the seven functions
// TWakePort calls, with the line's answers taken from a fuzz input.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fakeline {

// How the input becomes answers.
enum class Mode {
    // The input is the byte stream on the line, decoded as it stands.
    Raw,
    // The input is a list of answers, each [flags][count][count data bytes],
    // encoded into well-formed frames for the command last sent, so that the
    // client's decoding of every answer layout is reached; flags ask for a
    // wrong command, an address byte or a damaged check byte.
    Answers,
};

// Starts a new run over input (which must outlive it); the port is closed.
void reset(const std::uint8_t* input, std::size_t size, Mode mode);

// Whether the client opened the port and set the RS-485 mode, and how many
// frames it sent, for the fuzzer's own checks.
bool isOpen();
int framesSent();

}  // namespace fakeline
