// status (and its watch), move, reset-position, set-address: one actuator.
#include <CLI/CLI.hpp>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <map>
#include <thread>

#include "addressing.h"
#include "codes.h"
#include "subcommands.h"
#include "context.h"
#include "drivestate.h"
#include "isotime.h"
#include "motion.h"
#include "portopen.h"
#include "presentation.h"
#include "status.h"

namespace {

struct WatchOptions {
    double seconds = 0;  // 0: one reading
    int count = 0;       // 0: until Ctrl+C
    bool csv = false;
};

// Sleeps in short steps so that Ctrl+C ends a watch at once.
void pause(std::chrono::steady_clock::time_point until)
{
    while (!Context::interrupted && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

int statusOnce(Context& ctx, int address)
{
    const service::StatusReading r = service::readStatus(ctx.line(), address);
    if (ctx.json()) {
        printJson(statusJson(address, r, ctx.settings()));
    } else {
        for (const std::string& line : statusLines(address, ctx.nameOf(address), r, ctx.settings()))
            std::cout << line << '\n';
    }
    return service::ExitDone;
}

int watch(Context& ctx, int address, const WatchOptions& w)
{
    TWakePort& port = ctx.line();
    if (w.csv)
        std::cout << statusCsvHeader() << std::endl;
    const auto interval = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(w.seconds));
    auto next = std::chrono::steady_clock::now();
    int failures = 0;
    bool lost = false;  // said once per spell: lost, then back
    for (int n = 0; (w.count == 0 || n < w.count) && !Context::interrupted; ++n) {
        if (n > 0)
            pause(next);
        next += interval;
        const auto now = std::chrono::system_clock::now();
        // As the window does: a device that went away is opened again by name.
        if (service::reopenLostPort(port) == service::Reopen::Reopened && lost) {
            lost = false;
            std::cerr << "Связь восстановлена: " << port.PortName << std::endl;
        }
        try {
            const service::StatusReading r = service::readStatus(port, address);
            if (ctx.json()) {
                Json j{{"time", service::isoLocalTimeMillis(now)}};
                j.update(statusJson(address, r, ctx.settings()));
                printJson(j, true);
            } else if (w.csv) {
                std::cout << statusCsvRow(service::isoLocalTimeMillis(now), address, r,
                                          ctx.settings())
                          << '\n';
            } else {
                std::cout << statusWatchLine(service::localClockTime(now), r, ctx.settings())
                          << '\n';
            }
        } catch (const EHardwareException& e) {
            // A flaky line is what a watch is for: note it and go on.
            ++failures;
            if (!port.Connected() && !lost) {
                lost = true;
                std::cerr << "Связь потеряна: " << port.PortName << ", повторное подключение…"
                          << std::endl;
            }
            if (ctx.json())
                printJson({{"time", service::isoLocalTimeMillis(now)},
                           {"address", address},
                           {"error", messageOf(e)}},
                          true);
            else if (w.csv)
                std::cout << service::isoLocalTimeMillis(now) << ';' << address << ";;"
                          << messageOf(e) << '\n';
            else
                std::cout << service::localClockTime(now) << "  " << messageOf(e) << '\n';
        }
        std::cout.flush();
    }
    return failures == 0 ? service::ExitDone : service::ExitFailed;
}

struct Motion {
    const char* word;
    int code;
    const char* caption;  // the window's button
};
constexpr Motion Motions[] = {{"open", wake::CmdOpen, "Открыть"},
                              {"close", wake::CmdClose, "Закрыть"},
                              {"stop", wake::CmdStop, "Стоп"},
                              {"off", wake::CmdStopOff, "Стоп/откл."}};

const Motion& motionOf(const std::string& word)
{
    for (const Motion& m : Motions)
        if (word == m.word)
            return m;
    throw UsageError("неизвестное движение: " + word);
}

int moveActuator(Context& ctx, const std::string& word, bool wait, double maxWait)
{
    const Motion& m = motionOf(word);
    const int address = ctx.addressToChange();
    TWakePort& port = ctx.line();
    if (!wait) {
        service::sendMotion(port, address, m.code);
        if (ctx.json())
            printJson({{"address", address}, {"command", m.word}, {"sent", true}});
        else
            std::cout << "Команда «" << m.caption << "» отправлена приводу " << address << ".\n";
        return service::ExitDone;
    }
    service::FollowOptions follow;
    follow.timeout = std::chrono::milliseconds(static_cast<long long>(maxWait * 1000));
    follow.cancelled = [] { return Context::interrupted.load(); };
    const service::StrokeResult r = service::runStroke(port, address, m.code, follow);
    const char* state = drivestate::text(r.driveState);
    const std::string flags = drivestate::flagsText(r.driveFlags);
    if (ctx.json()) {
        printJson({{"address", address},
                   {"command", m.word},
                   {"ended", r.ended},
                   {"seconds", std::round(r.elapsed.count() * 10) / 10},
                   {"state", r.driveState},
                   {"stateText", state ? Json(state) : Json(nullptr)},
                   {"flags", r.driveFlags},
                   {"flagsText", flags},
                   {"position", r.position}});
    } else {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", r.elapsed.count());
        std::cout << (r.ended ? "Ход завершён за " : "Привод не остановился за ") << seconds
                  << " с: " << (state ? state : "код " + std::to_string(r.driveState)) << ", флаги "
                  << (flags.empty() ? "-" : flags) << ", N=" << r.position << '\n';
    }
    return r.ended ? service::ExitDone : service::ExitFailed;
}

int resetPosition(Context& ctx)
{
    const int address = ctx.addressToChange();
    service::resetPosition(ctx.line(), address);
    if (ctx.json())
        printJson({{"address", address}, {"reset", true}});
    else
        std::cout << "Счётчик положения привода " << address << " сброшен.\n";
    return service::ExitDone;
}

int setAddress(Context& ctx, int newAddress, bool force)
{
    const service::AddressOutcome out = service::assignAddress(ctx.line(), newAddress, force);
    static const std::map<service::AddressOutcome::Result, const char*> results{
        {service::AddressOutcome::Assigned, "assigned"},
        {service::AddressOutcome::Occupied, "occupied"},
        {service::AddressOutcome::NotAnswering, "not-answering"},
        {service::AddressOutcome::Several, "several"}};
    if (ctx.json()) {
        printJson(
            {{"address", newAddress}, {"result", results.at(out.result)}, {"type", out.type}});
    } else if (out.result == service::AddressOutcome::Assigned) {
        std::cout << "Адрес " << newAddress << " присвоен: " << out.type << '\n';
    } else if (out.result == service::AddressOutcome::Occupied) {
        std::cerr << "По адресу " << newAddress << " уже отвечает привод «" << out.type
                  << "»: ничего не отправлено (--force, чтобы присвоить всё равно).\n";
    } else if (out.result == service::AddressOutcome::Several) {
        std::cerr << "На линии отвечает больше одного привода: кадр без адреса примут все, и адрес "
                  << newAddress
                  << " получат они все. Ничего не отправлено: оставьте на линии один привод "
                     "(--force, чтобы присвоить всё равно).\n";
    } else {
        std::cerr << "SetAddr отправлена, но по адресу " << newAddress << " никто не отвечает.\n";
    }
    if (out.result == service::AddressOutcome::Several)
        return service::ExitUsage;
    return out.result == service::AddressOutcome::Assigned ? service::ExitDone
                                                           : service::ExitFailed;
}

}  // namespace

void addActuatorCommands(CLI::App& app, Context& ctx)
{
    auto w = std::make_shared<WatchOptions>();
    CLI::App* status = app.add_subcommand(
        "status", "Состояние, флаги, положение, ход, зоны запирания, токовый вход, реле");
    status
        ->add_option("--watch", w->seconds, "повторять каждые SECONDS секунд, строка на показание")
        ->type_name("SECONDS")
        ->check(within(0.05, 86400.0));
    status->add_option("--count", w->count, "с --watch: число показаний (иначе до Ctrl+C)")
        ->type_name("N")
        ->check(within(1, 100000000));
    status->add_flag("--csv", w->csv, "с --watch: строка заголовка, затем строки CSV (;)");
    status->callback([&ctx, w] {
        ctx.run = [&ctx, w] {
            if ((w->count > 0 || w->csv) && w->seconds <= 0)
                throw UsageError("--count и --csv — только с --watch");
            if (w->csv && ctx.json())
                throw UsageError("--csv и --json вместе невозможны");
            const int address = ctx.address();
            return w->seconds > 0 ? watch(ctx, address, *w) : statusOnce(ctx, address);
        };
    });

    auto word = std::make_shared<std::string>();
    auto wait = std::make_shared<bool>(false);
    auto maxWait = std::make_shared<double>(600);
    CLI::App* move = app.add_subcommand("move", "Движение: open, close, stop, off (одна SetS)");
    move->add_option("ACTION", *word, "open | close | stop | off")
        ->type_name("")
        ->required()
        ->check(oneOf({"open", "close", "stop", "off"}));
    move->add_flag("--wait", *wait, "следить до остановки; время хода и флаги в конце");
    move->add_option("--max-wait", *maxWait, "не дольше SECONDS секунд (600)")
        ->type_name("SECONDS")
        ->check(within(0.1, 86400.0));
    move->callback([&ctx, word, wait, maxWait] {
        ctx.run = [&ctx, word, wait, maxWait] { return moveActuator(ctx, *word, *wait, *maxWait); };
    });

    CLI::App* reset = app.add_subcommand("reset-position", "Сбросить счётчик положения N (SetN 0)");
    reset->callback([&ctx] { ctx.run = [&ctx] { return resetPosition(ctx); }; });

    auto newAddress = std::make_shared<int>(0);
    auto force = std::make_shared<bool>(false);
    CLI::App* setAddr = app.add_subcommand(
        "set-address", "Присвоить адрес NEW приводу на линии (SetAddr без адреса в кадре)");
    setAddr->add_option("NEW", *newAddress, "новый адрес 1…127")
        ->type_name("")
        ->required()
        ->check(within(1, wake::MaxAddress));
    setAddr->add_flag("--force", *force,
                      "присвоить, даже если по NEW уже кто-то отвечает или на линии "
                      "больше одного привода");
    setAddr->footer("На линии должен быть только тот привод, которому присваивается адрес: "
                    "кадр без адреса принимают все. Перед отправкой GetInfo без адреса "
                    "проверяет, сколько приводов его слышат.");
    setAddr->callback([&ctx, newAddress, force] {
        ctx.run = [&ctx, newAddress, force] { return setAddress(ctx, *newAddress, *force); };
    });
}
