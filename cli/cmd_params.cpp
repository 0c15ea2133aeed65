// params read|diff|write and relays read|write: the settings of one actuator.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>

#include "addressscope.h"
#include "backup.h"
#include "subcommands.h"
#include "context.h"
#include "inifile.h"
#include "isotime.h"
#include "paramset.h"
#include "presentation.h"
#include "relayset.h"

namespace {

IniImage existingFile(const std::string& path)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        throw UsageError("файл не найден: " + path);
    return IniImage::load(path);
}

struct FileChecks {
    bool allowDefaults = false;  // missing keys take their defaults
    bool force = false;          // write a file made for another address
};

// The file's values as the page would send them; a file that is no
// parameter file, holds a value that is no finite number, lacks keys (unless
// allowed) or was made for another actuator (unless forced) is refused.
service::ParamSet fileParams(const std::string& path, const FileChecks& checks, int address)
{
    const IniImage file = existingFile(path);
    const paramfile::Reading reading = paramfile::inspect(file);
    if (const std::string refused = paramfile::refusal(reading); !refused.empty())
        throw UsageError(path + ": " + refused);
    if (const std::string missing = paramfile::missingText(reading);
        !missing.empty() && !checks.allowDefaults)
        throw UsageError(path + ": " + missing + " — записать так: --allow-defaults");
    const int fileAddress = service::deviceFromFile(file).address;
    if (address >= 0 && fileAddress != 0 && fileAddress != address && !checks.force)
        throw UsageError(path + ": файл сохранён с привода " + std::to_string(fileAddress) +
                         ", запись в привод " + std::to_string(address) + " — только с --force");
    return service::paramsFromFile(file);
}

int paramsRead(Context& ctx, const std::string& output)
{
    const int address = ctx.address();
    TWakePort& port = ctx.line();
    std::string type;
    {
        service::AddressScope scope(port, address);
        type = port.GetInfo();
    }
    const service::ParamSet values = service::readParams(port, address);
    if (!output.empty()) {
        // As the window saves: an existing file keeps its other sections.
        IniImage file = IniImage::load(output);
        service::deviceToFile(file, {address, type, ctx.nameOf(address),
                                     service::isoLocalTime(std::chrono::system_clock::now())});
        service::paramsToFile(file, values);
        file.save(output);
    }
    if (ctx.json()) {
        printJson(paramsJson(values));
    } else if (output.empty()) {
        for (std::size_t k = 0; k < paramfile::ParamCount; ++k)
            std::cout << paramfile::ParamKeys[k].key << ' ' << values[k] << '\n';
    } else {
        std::cout << "Параметры привода " << address << " сохранены в " << output << '\n';
    }
    return service::ExitDone;
}

int paramsDiff(Context& ctx, const std::string& path)
{
    // A comparison writes nothing: missing keys and another address are shown as differences.
    const service::ParamSet wanted = fileParams(path, {true, true}, -1);
    const int address = ctx.address();
    const auto differences = service::diffParams(service::readParams(ctx.line(), address), wanted);
    if (ctx.json())
        printJson(differencesJson(differences));
    else
        printDifferences(differences);
    return differences.empty() ? service::ExitDone : service::ExitFailed;
}

int paramsWrite(Context& ctx, const std::string& path, const service::WriteOptions& options,
                const FileChecks& checks)
{
    const int address = options.dryRun ? ctx.address() : ctx.addressToChange();
    const service::ParamSet wanted = fileParams(path, checks, address);
    const service::WriteOutcome out =
        service::writeParamsVerified(ctx.line(), address, wanted, options);
    if (ctx.json()) {
        printJson({{"address", address},
                   {"differences", differencesJson(out.before)},
                   {"dryRun", options.dryRun},
                   {"written", out.written},
                   {"travelSkipped", out.travelSkipped},
                   {"verified", out.verified()},
                   {"mismatches", differencesJson(out.mismatches)}});
        return out.verified() ? service::ExitDone : service::ExitFailed;
    }
    if (out.before.empty()) {
        std::cout << "Привод " << address << " уже содержит значения файла.\n";
        return service::ExitDone;
    }
    std::cout << "Различия (ключ, привод, файл):\n";
    printDifferences(out.before, "  ");
    if (out.travelSkipped)
        std::cout << "Nt не записывается: ход пишется только с --travel.\n";
    if (options.dryRun) {
        std::cout << "Пробный запуск: ничего не записано.\n";
    } else if (!out.verified()) {
        std::cout << "Ошибка проверки: после записи привод содержит другое (ключ, привод, файл):\n";
        printDifferences(out.mismatches, "  ");
        return service::ExitFailed;
    } else if (out.written) {
        std::cout << "Записано и проверено чтением.\n";
    }
    return service::ExitDone;
}

int relaysRead(Context& ctx)
{
    const int address = ctx.address();
    const service::RelaySet relays = service::readRelays(ctx.line(), address);
    if (ctx.json()) {
        printJson(relaysJson(relays));
    } else {
        for (int k = 0; k < 3; ++k)
            std::cout << relayText(k + 1, relays[k]) << '\n';
    }
    return service::ExitDone;
}

int relaysWrite(Context& ctx, int relay, const service::RelaySetting& setting)
{
    const int address = ctx.addressToChange();
    TWakePort& port = ctx.line();
    // SetR carries all three relays: the other two keep what they hold.
    service::RelaySet wanted = service::readRelays(port, address);
    wanted[relay - 1] = setting;
    const service::RelayWriteOutcome out =
        service::writeRelaysVerified(port, address, wanted, false);
    if (ctx.json()) {
        printJson({{"address", address},
                   {"relay", relay},
                   {"written", out.written},
                   {"verified", out.verified()},
                   {"mismatches", differencesJson(out.mismatches)}});
    } else if (!out.verified()) {
        std::cout
            << "Ошибка проверки: после записи привод содержит другое (ключ, привод, задано):\n";
        printDifferences(out.mismatches, "  ");
    } else {
        std::cout << relayText(relay, setting)
                  << (out.written ? " — записано и проверено." : " — уже так.") << '\n';
    }
    return out.verified() ? service::ExitDone : service::ExitFailed;
}

int relayMode(const std::string& text)
{
    static const std::pair<const char*, int> words[] = {{"0", 0},   {"1", 1},     {"2", 2},
                                                        {"off", 0}, {"input", 1}, {"output", 2}};
    for (const auto& [word, mode] : words)
        if (text == word)
            return mode;
    throw UsageError("неизвестный режим реле: " + text + " (0|off, 1|input, 2|output)");
}

}  // namespace

void addParamCommands(CLI::App& app, Context& ctx)
{
    CLI::App* params = app.add_subcommand("params", "Параметры привода: чтение, сравнение, запись");
    params->require_subcommand(1);

    auto output = std::make_shared<std::string>();
    CLI::App* read = params->add_subcommand("read", "Прочитать параметры привода");
    read->add_option("-o,--output", *output, "сохранить файлом параметров, который открывает окно")
        ->type_name("FILE");
    read->callback(
        [&ctx, output] { ctx.run = [&ctx, output] { return paramsRead(ctx, *output); }; });

    auto file = std::make_shared<std::string>();
    CLI::App* diff = params->add_subcommand(
        "diff", "Различия привода и файла: строки «ключ привод файл»; код 1, если различаются");
    diff->add_option("FILE", *file, "файл параметров (.par)")->type_name("")->required();
    diff->callback([&ctx, file] { ctx.run = [&ctx, file] { return paramsDiff(ctx, *file); }; });

    auto options = std::make_shared<service::WriteOptions>();
    CLI::App* write = params->add_subcommand(
        "write",
        "Записать файл в привод, как окно (SetS 0, SetA, SetM, SetP, SetL, SetW), и проверить");
    write->add_option("FILE", *file, "файл параметров (.par)")->type_name("")->required();
    write->add_flag("--travel", options->travel, "записать и ход Nt (SetT)");
    write->add_flag("--dry-run", options->dryRun, "только показать различия");
    auto checks = std::make_shared<FileChecks>();
    write->add_flag("--allow-defaults", checks->allowDefaults,
                    "записать, даже если в файле нет части параметров (по умолчанию)");
    write->add_flag("--force", checks->force,
                    "записать, даже если файл сохранён с другого адреса ([Device])");
    write->callback([&ctx, file, options, checks] {
        ctx.run = [&ctx, file, options, checks] {
            return paramsWrite(ctx, *file, *options, *checks);
        };
    });

    CLI::App* relays = app.add_subcommand("relays", "Настройки трёх реле");
    relays->require_subcommand(1);
    CLI::App* relaysReadCmd = relays->add_subcommand("read", "Прочитать настройки реле (GetR)");
    relaysReadCmd->callback([&ctx] { ctx.run = [&ctx] { return relaysRead(ctx); }; });

    auto relay = std::make_shared<int>(1);
    auto mode = std::make_shared<std::string>();
    auto setting = std::make_shared<service::RelaySetting>();
    CLI::App* relaysWriteCmd = relays->add_subcommand(
        "write", "Записать одно реле (SetR; два других остаются) и проверить");
    relaysWriteCmd->add_option("R", *relay, "реле 1…3")
        ->type_name("")
        ->required()
        ->check(within(1, 3));
    relaysWriteCmd
        ->add_option("MODE", *mode, "0|off, 1|input (токовый вход), 2|output (токовый выход)")
        ->type_name("")
        ->required();
    relaysWriteCmd->add_option("MIN", setting->min, "вкл. от, %")
        ->type_name("")
        ->required()
        ->check(within(0, 100));
    relaysWriteCmd->add_option("MAX", setting->max, "до, %")
        ->type_name("")
        ->required()
        ->check(within(0, 100));
    relaysWriteCmd->add_option("HYST", setting->hyst, "гистерезис, %")
        ->type_name("")
        ->required()
        ->check(within(0, 100));
    relaysWriteCmd->callback([&ctx, relay, mode, setting] {
        ctx.run = [&ctx, relay, mode, setting] {
            service::RelaySetting s = *setting;
            s.mode = relayMode(*mode);
            return relaysWrite(ctx, *relay, s);
        };
    });
}
