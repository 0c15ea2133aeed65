// The tirsctl commands, by the part of the line they work on. Each adds its
// subcommands to the program's parser; the chosen one sets Context::run.
#pragma once

#include <CLI/TypeTools.hpp>
#include <CLI/Validators.hpp>

#include <sstream>
#include <string>
#include <vector>

namespace CLI {
class App;
}
class Context;

// A range check in the program's words whose limits the option's own text
// names (CLI11's Range would add "INT in [1 - 127]" to the help and answer
// in English).
template <class T>
CLI::Validator within(T lo, T hi)
{
    const auto text = [](T v) {
        std::ostringstream out;
        out << v;
        return out.str();
    };
    return CLI::Validator(
        [lo, hi, text](std::string& input) -> std::string {
            T value{};
            if (!CLI::detail::lexical_cast(input, value))
                return input + " — не число";
            if (value < lo || value > hi)
                return input + " вне " + text(lo) + "…" + text(hi);
            return {};
        },
        "");
}

// One of the words given, in the program's words.
inline CLI::Validator oneOf(std::vector<std::string> words)
{
    return CLI::Validator(
        [words](std::string& input) -> std::string {
            std::string list;
            for (const std::string& w : words) {
                if (w == input)
                    return {};
                list += (list.empty() ? "" : ", ") + w;
            }
            return input + " — не из " + list;
        },
        "");
}

void addLineCommands(CLI::App& app, Context& ctx);      // ports, scan, info
void addActuatorCommands(CLI::App& app, Context& ctx);  // status, move, reset-position, set-address
void addParamCommands(CLI::App& app, Context& ctx);     // params read|diff|write, relays read|write
void addBackupCommands(CLI::App& app, Context& ctx);    // backup, restore
