// The tirsctl commands, by the part of the line they work on. Each adds its
// subcommands to the program's parser; the chosen one sets Context::run.
#pragma once

#include <CLI/Validators.hpp>

namespace CLI {
class App;
}
class Context;

// A range check whose limits the option's own text names; CLI11 would add
// "INT in [1 - 127]" to the help.
template <class T>
CLI::Range within(T lo, T hi)
{
    CLI::Range range(lo, hi);
    range.description("");
    return range;
}

void addLineCommands(CLI::App& app, Context& ctx);      // ports, scan, info
void addActuatorCommands(CLI::App& app, Context& ctx);  // status, move, reset-position, set-address
void addParamCommands(CLI::App& app, Context& ctx);     // params read|diff|write, relays read|write
void addBackupCommands(CLI::App& app, Context& ctx);    // backup, restore
