// tirsctl: the actuator line from the command line, for scripts, the
// commissioning of a whole line, backups, comparisons and verified writes.
//
//   tirsctl [--port COMn|PATH] [--baud N] [--address A] [--timeout MS] [--json] [-v] COMMAND ...
//
// Exit codes: 0 done; 1 the line or a device failed (no answer, device
// error, verification failed, differences for "params diff"); 2 wrong usage;
// 3 the port cannot be opened. With --json a failure is also an object
// {"error": text, "code": exit code} on stdout.
#include <CLI/CLI.hpp>

#include <csignal>
#include <iostream>
#include <sstream>

#include "subcommands.h"
#include "context.h"
#include "hardwareexception.h"
#include "inifile.h"
#include "parserwords.h"
#include "platform.h"
#include "presentation.h"
#include "codes.h"

namespace {

extern "C" void onInterrupt(int)
{
    Context::interrupted = true;
}

// Every command's -h with its other options, not in a group of its own.
void groupHelpFlags(CLI::App& app)
{
    if (CLI::Option* help = app.get_help_ptr())
        help->group("Параметры");
    for (CLI::App* sub : app.get_subcommands({}))
        groupHelpFlags(*sub);
}

// A command that did not get done: the reason on stderr, and with --json
// also as an object on stdout, so that a script reads why and the code.
int failed(bool json, const std::string& text, int code)
{
    std::cerr << "tirsctl: " << text << '\n';
    if (json)
        printJson({{"error", text}, {"code", code}});
    return code;
}

}  // namespace

int main(int argc, char** argv)
{
    Context ctx;
    CLI::App app{"tirsctl — приводы ТИРС на линии из командной строки", "tirsctl"};
    // Before the commands are added: each takes its parent's formatter.
    app.formatter(std::make_shared<RussianFormatter>());
    app.option_defaults()->group("Параметры");
    app.set_help_flag("-h,--help", "справка (у каждой команды своя)");
    app.set_version_flag("--version",
                         "tirsctl " TIRSPANEL_VERSION " (сборка " TIRSPANEL_BUILD_DATE ")",
                         "версия программы");
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
            ->check(within(0, wake::MaxAddress));
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
    app.failure_message([&args](const CLI::App* parser, const CLI::Error& e) {
        return usageFailure(*parser, e, args);
    });
    const auto wantsJson = [&app, &ctx] {
        return ctx.options.json || app.get_option("--json")->count() > 0;
    };
    try {
        app.parse(static_cast<int>(argPointers.size()), argPointers.data());
    } catch (const CLI::ParseError& e) {
        // Help and version on stdout, done; anything else is wrong usage.
        std::ostringstream out, err;
        const int code = app.exit(e, out, err);
        std::cout << out.str();
        if (code == 0)
            return service::ExitDone;
        std::string text = err.str();
        while (!text.empty() && text.back() == '\n')
            text.pop_back();
        failed(wantsJson(), text, service::ExitUsage);
        std::cerr << "Справка: tirsctl --help, tirsctl КОМАНДА --help\n";
        return service::ExitUsage;
    }

    o.addressGiven = addressOption->count() > 0;
    std::signal(SIGINT, onInterrupt);
    try {
        return ctx.run ? ctx.run() : service::ExitUsage;
    } catch (const UsageError& e) {
        return failed(wantsJson(), e.what(), service::ExitUsage);
    } catch (const PortError& e) {
        return failed(wantsJson(), std::string("порт не открывается: ") + e.what(),
                      service::ExitPort);
    } catch (const EHardwareException& e) {
        return failed(wantsJson(), ctx.failureText(e), service::ExitFailed);
    } catch (const IniFileError& e) {
        // A file given on the command line that cannot be one (too large, not
        // a regular file, not to be created there) is wrong usage like a
        // missing one; a read or write that fails on the way (a full disk)
        // is a failure.
        const bool midway =
            e.kind() == IniFileError::Kind::Read || e.kind() == IniFileError::Kind::Write;
        return failed(wantsJson(), e.what(), midway ? service::ExitFailed : service::ExitUsage);
    }
}
