// Runs a program as a process and gives back its exit code and output, with
// a generous time-out after which it is killed.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

struct ProcessResult {
    int exitCode = -1;  // -1: killed after the time-out, or did not start
    std::string out;
    std::string err;
};

// started, when given, learns the process id as soon as it runs (to signal it).
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         std::chrono::milliseconds timeout = std::chrono::seconds(60),
                         const std::function<void(int pid)>& started = {});

// Every line of text (without the line ends).
std::vector<std::string> linesOf(const std::string& text);
