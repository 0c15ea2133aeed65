// tirsctl: the actuator line from the command line, for scripts, the
// commissioning of a whole line, backups, comparisons and verified writes.
//
//   tirsctl [--port COMn|PATH] [--baud N] [--address A] [--timeout MS] [--json] [-v] COMMAND ...
//
// Exit codes: 0 done; 1 the line or a device failed (no answer, device
// error, verification failed, differences for "params diff"); 2 wrong usage;
// 3 the port cannot be opened.
#include <CLI/CLI.hpp>

#include <csignal>
#include <iostream>

#include "subcommands.h"
#include "context.h"
#include "hardwareexception.h"
#include "inifile.h"
#include "platform.h"

namespace {

extern "C" void onInterrupt(int)
{
    Context::interrupted = true;
}

// CLI11's own words in the help, in the program's language.
void russianHelp(CLI::App& app)
{
    const auto formatter = app.get_formatter();
    formatter->label("Usage", "Вызов");
    formatter->label("OPTIONS", "ПАРАМЕТРЫ");
    formatter->label("SUBCOMMAND", "КОМАНДА");
    formatter->label("SUBCOMMANDS", "КОМАНДЫ");
    formatter->label("Positionals", "Аргументы");
    // CLI11 pads this column by bytes: Cyrillic there would misalign it.
    formatter->label("REQUIRED", "");
    formatter->column_width(34);
}

// Every command's -h with its other options, not in a group of its own.
void groupHelpFlags(CLI::App& app)
{
    if (CLI::Option* help = app.get_help_ptr())
        help->group("Параметры");
    for (CLI::App* sub : app.get_subcommands({}))
        groupHelpFlags(*sub);
}

std::string usageText(const CLI::ParseError& e)
{
    if (dynamic_cast<const CLI::ExtrasError*>(&e))
        return "лишние аргументы: ";
    if (dynamic_cast<const CLI::RequiredError*>(&e))
        return "не хватает аргумента: ";
    if (dynamic_cast<const CLI::ValidationError*>(&e) ||
        dynamic_cast<const CLI::ConversionError*>(&e))
        return "неверное значение: ";
    return "ошибка вызова: ";
}

}  // namespace

int main(int argc, char** argv)
{
    Context ctx;
    CLI::App app{"tirsctl — приводы ТИРС на линии из командной строки", "tirsctl"};
    russianHelp(app);
    app.option_defaults()->group("Параметры");
    app.set_help_flag("-h,--help", "справка (у каждой команды своя)");
    app.require_subcommand(1);
    // Global options may also stand after the command.
    app.fallthrough();
    app.footer("Значения по умолчанию — из tirspanel.ini рядом с программой (Port, Baud Rate, "
               "Address, [Names]).\n"
               "Коды выхода: 0 — выполнено; 1 — ошибка линии или привода, проверка не прошла,\n"
               "есть различия (params diff); 2 — неверный вызов; 3 — порт не открывается.");
    GlobalOptions& o = ctx.options;
    app.add_option("--port", o.port, "порт: COM1…COM8 или путь к устройству (содержит /)")
        ->type_name("COMn|PATH");
    app.add_option("--baud", o.baud, "скорость линии, бод")
        ->type_name("N")
        ->check(within(50, 4000000));
    CLI::Option* addressOption =
        app.add_option("--address", o.address, "адрес привода 0…127 (0: все приводы линии)")
            ->type_name("A")
            ->check(within(0, 127));
    app.add_option("--timeout", o.timeout, "ожидание каждого байта ответа, мс (100)")
        ->type_name("MS")
        ->check(within(1, 10000));
    app.add_flag("--json", o.json, "вывод в JSON");
    app.add_flag("-v,--verbose", o.verbose, "каждый обмен в stderr: время, поля, исход");

    addLineCommands(app, ctx);
    addActuatorCommands(app, ctx);
    addParamCommands(app, ctx);
    addBackupCommands(app, ctx);
    for (CLI::App* sub : app.get_subcommands({}))
        sub->group("Команды");
    groupHelpFlags(app);

    platform::useUtf8Console();
    std::vector<std::string> args = platform::utf8Arguments(argc, argv);
    std::vector<char*> argPointers;
    for (std::string& arg : args)
        argPointers.push_back(arg.data());
    try {
        app.parse(static_cast<int>(argPointers.size()), argPointers.data());
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return ExitDone;
    } catch (const CLI::CallForAllHelp&) {
        std::cout << app.help("", CLI::AppFormatMode::All);
        return ExitDone;
    } catch (const CLI::ParseError& e) {
        // The help of the command that was being parsed.
        std::cerr << "tirsctl: " << usageText(e) << e.what()
                  << "\nСправка: tirsctl --help, tirsctl КОМАНДА --help\n";
        return ExitUsage;
    }

    o.addressGiven = addressOption->count() > 0;
    std::signal(SIGINT, onInterrupt);
    try {
        return ctx.run ? ctx.run() : ExitUsage;
    } catch (const UsageError& e) {
        std::cerr << "tirsctl: " << e.what() << '\n';
        return ExitUsage;
    } catch (const PortError& e) {
        std::cerr << "tirsctl: порт не открывается: " << e.what() << '\n';
        return ExitPort;
    } catch (const EHardwareException& e) {
        std::cerr << "tirsctl: " << messageOf(e) << '\n';
        return ExitFailed;
    } catch (const IniFileError& e) {
        std::cerr << "tirsctl: " << e.what() << '\n';
        return ExitFailed;
    }
}
