// How a tool over the line ends: the exit codes tirsctl and tirsgate share.
#pragma once

namespace service {

enum ExitCode : int {
    ExitDone = 0,
    ExitFailed = 1,
    ExitUsage = 2,
    ExitPort = 3,
    ExitInterrupted = 130  // Ctrl+C, as a shell reports it
};

}  // namespace service
