// ports, scan, info: what is on the machine and on the line.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>

#include "addressscope.h"
#include "subcommands.h"
#include "context.h"
#include "exchangetext.h"
#include "outcometext.h"
#include "platform.h"
#include "portname.h"
#include "portproblem.h"
#include "presentation.h"
#include "progressbar.h"
#include "scan.h"
#include "codes.h"

namespace {

constexpr int PortCount = 8;

int listPorts(Context& ctx)
{
    Json rows = Json::array();
    for (int n = 1; n <= PortCount; ++n) {
        const std::string name = "COM" + std::to_string(n);
        const std::string path = serlink::devicePath(name.c_str());
        std::error_code ec;
        const std::filesystem::path target = std::filesystem::read_symlink(path, ec);
        const std::string problem = PortProblem(name).text();
        if (ctx.json()) {
            rows.push_back({{"port", name},
                            {"path", path},
                            {"target", ec ? Json(nullptr) : Json(target.string())},
                            {"available", problem.empty()},
                            {"problem", problem}});
            continue;
        }
        std::string where = path + (ec ? "" : " -> " + target.string());
        std::cout << name << "  " << where << "  "
                  << (problem.empty() ? "можно открыть" : "нельзя открыть: " + problem) << '\n';
    }
    if (ctx.json())
        printJson(rows);
    return service::ExitDone;
}

int scan(Context& ctx, int first, int last)
{
    if (first > last)
        throw UsageError("--first больше --last");
    TWakePort& port = ctx.line();
    ProgressBar bar("Сканирование", last - first + 1);
    int found = 0;
    int damaged = 0;
    service::ScanOptions options;
    options.first = first;
    options.last = last;
    options.timeout = ctx.options.timeout;
    // As the window says it beside its time-out: how long the wait will be.
    if (!ctx.json())
        std::cerr << "Адреса " << first << "…" << last << ", ожидание ответа " << options.timeout
                  << " мс: "
                  << service::durationText(
                         service::scanDuration(last - first + 1, options.timeout, port.Baud))
                  << '\n';
    options.cancelled = [] { return Context::interrupted.load(); };
    options.progress = [&](int address, const service::FoundActuator* actuator) {
        if (actuator != nullptr) {
            ++(actuator->damaged ? damaged : found);
            // Rows as they come, so that a long scan shows its finds at once.
            if (!ctx.json()) {
                bar.clear();
                const std::string name = ctx.nameOf(address);
                std::cout << address << "  " << service::foundText(*actuator)
                          << (name.empty() ? "" : "  " + name) << std::endl;
            }
        }
        bar.show(address - first + 1, "найдено " + std::to_string(found));
    };
    const std::vector<service::FoundActuator> actuators = service::scanLine(port, options);
    bar.clear();
    if (ctx.json()) {
        Json rows = Json::array();
        for (const service::FoundActuator& a : actuators)
            rows.push_back({{"address", a.address},
                            {"type", a.type},
                            {"name", ctx.nameOf(a.address)},
                            {"late", a.late},
                            {"damaged", a.damaged}});
        printJson(rows);
    } else {
        std::cerr << "Найдено приводов: " << found << '\n';
        if (damaged > 0)
            std::cerr << "Адресов с повреждённым ответом: " << damaged << '\n';
    }
    return Context::interrupted ? service::ExitFailed : service::ExitDone;
}

int info(Context& ctx)
{
    const int address = ctx.address();
    TWakePort& port = ctx.line();
    std::string type;
    {
        service::AddressScope scope(port, address);
        type = port.GetInfo();
    }
    const std::string name = ctx.nameOf(address);
    if (ctx.json())
        printJson({{"address", address}, {"type", type}, {"name", name}});
    else
        std::cout << address << "  " << type << (name.empty() ? "" : "  " + name) << '\n';
    return service::ExitDone;
}

}  // namespace

void addLineCommands(CLI::App& app, Context& ctx)
{
    CLI::App* ports =
        app.add_subcommand("ports", "COM1…COM8: куда ведёт каждый и можно ли его открыть");
    ports->callback([&ctx] { ctx.run = [&ctx] { return listPorts(ctx); }; });

    auto first = std::make_shared<int>(1);
    auto last = std::make_shared<int>(wake::MaxAddress);
    CLI::App* scanCmd = app.add_subcommand(
        "scan", "Найти приводы на линии: GetInfo по каждому адресу по возрастанию");
    scanCmd->add_option("--first", *first, "первый адрес (1)")
        ->type_name("A")
        ->check(within(1, wake::MaxAddress));
    scanCmd->add_option("--last", *last, "последний адрес (127)")
        ->type_name("B")
        ->check(within(1, wake::MaxAddress));
    scanCmd->callback([&ctx, first, last] {
        ctx.run = [&ctx, first, last] { return scan(ctx, *first, *last); };
    });

    CLI::App* infoCmd = app.add_subcommand("info", "Тип привода по адресу (GetInfo)");
    infoCmd->callback([&ctx] { ctx.run = [&ctx] { return info(ctx); }; });
}
