#include "parserwords.h"

#include <algorithm>
#include <sstream>

namespace {

// The subcommand the command line reached: the last one parsed.
const CLI::App* deepestCommand(const CLI::App& app)
{
    const CLI::App* at = &app;
    while (!at->get_subcommands().empty())
        at = at->get_subcommands().front();
    return at;
}

std::string commandPath(const CLI::App* command)
{
    std::string path;
    for (; command != nullptr && command->get_parent() != nullptr; command = command->get_parent())
        path = command->get_name() + (path.empty() ? "" : " " + path);
    return path;
}

std::string commandList(const CLI::App* command)
{
    std::string list;
    for (const CLI::App* sub : command->get_subcommands({}))
        list += (list.empty() ? "" : ", ") + sub->get_name();
    return list;
}

std::string joined(const std::vector<std::string>& words)
{
    std::string text;
    for (const std::string& w : words)
        text += (text.empty() ? "" : " ") + w;
    return text;
}

std::string missingText(const CLI::App& app)
{
    const CLI::App* command = deepestCommand(app);
    if (command->get_require_subcommand_min() > 0 && command->get_subcommands().empty()) {
        const std::vector<std::string> extra = app.remaining(true);
        const std::string where = commandPath(command);
        const std::string prefix = where.empty() ? "" : where + " ";
        if (!extra.empty())
            return "неизвестная команда «" + prefix + extra.front() +
                   "»; команды: " + commandList(command);
        return "не указана команда" + (where.empty() ? "" : " после «" + where + "»") +
               "; команды: " + commandList(command);
    }
    std::string names;
    for (const CLI::Option* option : command->get_options(
             [](const CLI::Option* o) { return o->get_required() && o->count() == 0; }))
        names += (names.empty() ? "" : ", ") + option->get_name();
    return "не хватает аргумента" + (names.empty() ? "" : ": " + names);
}

std::string extrasText(const CLI::App& app)
{
    const std::vector<std::string> extra = app.remaining(true);
    if (!extra.empty() && extra.front().rfind('-', 0) == 0)
        return "неизвестный параметр: " + extra.front();
    return "лишние аргументы: " + joined(extra);
}

// The option whose value is missing: the last one on the line.
std::string mismatchText(const std::vector<std::string>& args)
{
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        if (it->rfind('-', 0) == 0)
            return "у параметра " + *it + " не хватает значения";
    return "не хватает значения";
}

}  // namespace

RussianFormatter::RussianFormatter()
{
    label("Usage", "Вызов");
    label("OPTIONS", "ПАРАМЕТРЫ");
    label("SUBCOMMAND", "КОМАНДА");
    label("SUBCOMMANDS", "КОМАНДЫ");
    label("Positionals", "Аргументы");
    label("Options", "Параметры");
    label("Subcommands", "Команды");
    // CLI11 pads this column by bytes: Cyrillic there would misalign it.
    label("REQUIRED", "");
    column_width(34);
}

std::string RussianFormatter::make_group(std::string group, bool is_positional,
                                         std::vector<const CLI::Option*> opts) const
{
    return CLI::Formatter::make_group(get_label(group), is_positional, std::move(opts));
}

std::string RussianFormatter::make_subcommands(const CLI::App* app, CLI::AppFormatMode mode) const
{
    // As CLI11 lists them, by group in the order first seen, but with each
    // group titled by its label.
    std::vector<std::string> groups;
    for (const CLI::App* sub : app->get_subcommands({}))
        if (!sub->get_name().empty() && !sub->get_group().empty() &&
            std::find(groups.begin(), groups.end(), sub->get_group()) == groups.end())
            groups.push_back(sub->get_group());
    std::ostringstream out;
    for (const std::string& group : groups) {
        out << "\n" << get_label(group) << ":\n";
        for (const CLI::App* sub : app->get_subcommands({})) {
            if (sub->get_name().empty() || sub->get_group() != group)
                continue;
            if (mode == CLI::AppFormatMode::All)
                out << sub->help(sub->get_name(), CLI::AppFormatMode::Sub) << "\n";
            else
                out << make_subcommand(sub);
        }
    }
    return out.str();
}

std::string usageFailure(const CLI::App& app, const CLI::Error& error,
                         const std::vector<std::string>& args)
{
    std::string text;
    if (dynamic_cast<const CLI::RequiredError*>(&error))
        text = missingText(app);
    else if (dynamic_cast<const CLI::ExtrasError*>(&error))
        text = extrasText(app);
    else if (dynamic_cast<const CLI::ValidationError*>(&error))
        // "--first: 200 вне 1…127": the option's name and the program's own check.
        text = std::string("неверное значение: ") + error.what();
    else if (dynamic_cast<const CLI::ArgumentMismatch*>(&error))
        text = mismatchText(args);
    else if (dynamic_cast<const CLI::ConversionError*>(&error))
        text = "неверное значение параметра";
    else
        text = "неверный вызов";
    return text;
}
