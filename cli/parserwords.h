// CLI11's own words in the program's language: the help's labels and group
// titles, and the message of every way a command line can be wrong.
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

// Group titles go through the labels, so that CLI11's default groups
// ("Options", "Subcommands") are named like the ones the program sets.
class RussianFormatter : public CLI::Formatter {
public:
    RussianFormatter();
    std::string make_group(std::string group, bool is_positional,
                           std::vector<const CLI::Option*> opts) const override;
    std::string make_subcommands(const CLI::App* app, CLI::AppFormatMode mode) const override;
};

// The failure message for app.failure_message: what was wrong, named from
// the parser's state (the unknown command, the missing argument). args are the command line's
// arguments.
std::string usageFailure(const CLI::App& app, const CLI::Error& error,
                         const std::vector<std::string>& args);
