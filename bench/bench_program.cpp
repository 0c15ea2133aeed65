// The real program from outside: tirspanel on the offscreen platform in a
// folder of its own (program, library, settings file and ports/ side by
// side, as a user installs it), talking to tirssim paced at 9600 baud.
//
//   BM_StartUp/program:P    process start to the first flush of a painted
//                           window, for tirspanel and for a bare Qt window
//                           with one line of text (emptywindow.cpp), and for
//                           that window with two file dialogs
//   BM_IdlePolling          CPU use while it polls an idle drive for 30 s,
//                           and resident memory after a minute of polling
//
// The first paint is seen in Qt's own painting log (qt.widgets.painting),
// read from the program's standard error as it is written.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "linetime.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

using bench::Clock;

constexpr int SimPort = 2;
constexpr auto PaintWait = std::chrono::seconds(20);

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

fs::path benchDir()
{
    return fs::read_symlink("/proc/self/exe").parent_path();
}
fs::path panelDir()
{
    return benchDir() / "panel";
}

// A child process with its standard error on a pipe.
struct Child {
    pid_t pid = -1;
    int err = -1;

    bool spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv)
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> env(extraEnv);
        for (char** e = environ; *e; ++e)
            env.emplace_back(*e);
        std::vector<char*> envp, args;
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        std::vector<std::string> argCopy(argv);
        for (auto& a : argCopy)
            args.push_back(a.data());
        args.push_back(nullptr);
        const int r = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        err = fds[0];
        return r == 0;
    }

    // Reads standard error until a line holds the text; false on time-out.
    bool waitForText(const std::string& text, std::chrono::milliseconds timeout)
    {
        std::string seen;
        const auto deadline = Clock::now() + timeout;
        char buf[4096];
        while (Clock::now() < deadline) {
            pollfd p{err, POLLIN, 0};
            const int left =
                int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                        .count());
            if (::poll(&p, 1, std::max(left, 1)) <= 0)
                continue;
            const ssize_t n = ::read(err, buf, sizeof buf);
            if (n <= 0)
                return false;
            seen.append(buf, std::size_t(n));
            if (seen.find(text) != std::string::npos)
                return true;
            // Keep only the unfinished last line.
            const auto nl = seen.rfind('\n');
            if (nl != std::string::npos)
                seen.erase(0, nl + 1);
        }
        return false;
    }

    void stop()
    {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            int status = 0;
            ::waitpid(pid, &status, 0);
        }
        if (err >= 0)
            ::close(err);
        pid = -1;
        err = -1;
    }
    ~Child() { stop(); }
};

// utime + stime of a process, in seconds.
double cpuSeconds(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Fields after the command name, which sits in parentheses.
    std::istringstream rest(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14)
            utime = std::stoull(field);
        if (i == 15)
            stime = std::stoull(field);
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

double residentMiB(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (in >> key) {
        if (key == "VmRSS:") {
            double kib = 0;
            in >> kib;
            return kib / 1024.0;
        }
        in.ignore(1 << 12, '\n');
    }
    return 0;
}

// The folder as a user installs it, and tirssim on its ports/COM2.
struct Installed {
    Child sim;

    bool prepare(benchmark::State& state)
    {
        const fs::path dir = panelDir();
        fs::create_directories(dir / "ports");
        for (const char* file : {TIRSPANEL_PATH, SERLINK_PATH})
            fs::copy_file(file, dir / fs::path(file).filename(),
                          fs::copy_options::overwrite_existing);
        for (int n = 1; n <= 8; ++n) {
            const fs::path link = dir / "ports" / ("COM" + std::to_string(n));
            std::error_code ignored;
            fs::remove(link, ignored);
            if (n != SimPort)
                fs::create_symlink("/nonexistent/tirs-bench-COM" + std::to_string(n), link);
        }
        // Control page: the tick with the most exchanges (GetN, GetS, GetT, GetL).
        std::ofstream(dir / "tirspanel.ini", std::ios::binary | std::ios::trunc)
            << "[General]\r\nPage=1\r\nAutoPar=0\r\nAutoRel=0\r\n[Port]\r\nPort=2\r\nBaud "
               "Rate=9600\r\n"
               "[Params]\r\nAddress=1\r\n";
        const std::string link = (dir / "ports" / "COM2").string();
        if (!sim.spawn({TIRSSIM_PATH, "--link", link, "--device", "1", "--pace", "--baud", "9600"},
                       {})) {
            state.SkipWithError("tirssim did not start");
            return false;
        }
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        std::error_code ec;
        while (!fs::is_symlink(link, ec) && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!fs::is_symlink(link, ec)) {
            state.SkipWithError("tirssim made no port link");
            return false;
        }
        return true;
    }
};

const std::vector<std::string> OffscreenEnv = {"QT_QPA_PLATFORM=offscreen"};
const std::vector<std::string> PaintLogEnv = {"QT_QPA_PLATFORM=offscreen",
                                              "QT_LOGGING_RULES=qt.widgets.painting=true"};
constexpr const char* FirstFlush = "Flushing QRegion";

std::string programPath(int which)
{
    return which == 0 ? (panelDir() / "tirspanel").string()
                      : (benchDir() / "bench_emptywindow").string();
}

std::vector<std::string> commandLine(int which)
{
    if (which == 2)
        return {programPath(1), "--file-dialogs"};
    return {programPath(which)};
}

// Start-up time of the program (0), of a bare Qt window (1) and of the bare
// window with two file dialogs (2), measured alike; the ratios to the bare
// window are reported on the other rows.
double emptyWindowStartUp = 0;

void BM_StartUp(benchmark::State& state)
{
    const int which = int(state.range(0));
    Installed installed;
    if (!installed.prepare(state))
        return;
    std::vector<double> took;
    for (auto _ : state) {
        Child child;
        const auto start = Clock::now();
        if (!child.spawn(commandLine(which), PaintLogEnv) ||
            !child.waitForText(FirstFlush, PaintWait)) {
            state.SkipWithError("no painted window");
            break;
        }
        const double t = seconds(Clock::now() - start);
        took.push_back(t);
        state.SetIterationTime(t);
    }
    const double median = bench::median(took);
    if (which == 1)
        emptyWindowStartUp = median;
    state.counters["median_ms"] = median * 1e3;
    state.counters["worst_ms"] = bench::worst(took) * 1e3;
    if (which != 1 && emptyWindowStartUp > 0)
        state.counters["ratio_to_empty_window"] = median / emptyWindowStartUp;
    state.counters["load"] = bench::loadAverage();
}
BENCHMARK(BM_StartUp)
    ->ArgName("program")
    ->Arg(1)
    ->Arg(2)
    ->Arg(0)
    ->Iterations(11)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_IdlePolling(benchmark::State& state)
{
    constexpr auto Settle = std::chrono::seconds(5);
    constexpr auto Measured = std::chrono::seconds(30);
    constexpr auto RssAt = std::chrono::seconds(60);
    constexpr double Goal = 0.01;  // of one core
    Installed installed;
    if (!installed.prepare(state))
        return;
    for (auto _ : state) {
        Child empty, emptyDialogs;
        empty.spawn(commandLine(1), OffscreenEnv);
        emptyDialogs.spawn(commandLine(2), OffscreenEnv);
        Child program;
        const auto start = Clock::now();
        if (!program.spawn({programPath(0)}, OffscreenEnv)) {
            state.SkipWithError("tirspanel did not start");
            break;
        }
        // Without the painting log the program writes next to nothing to
        // standard error, so the pipe never fills.
        std::this_thread::sleep_until(start + Settle);
        const double cpu0 = cpuSeconds(program.pid), sim0 = cpuSeconds(installed.sim.pid);
        const double rssEarly = residentMiB(program.pid);
        const auto t0 = Clock::now();
        std::this_thread::sleep_until(t0 + Measured);
        const double wall = seconds(Clock::now() - t0);
        const double cpu = (cpuSeconds(program.pid) - cpu0) / wall;
        const double simCpu = (cpuSeconds(installed.sim.pid) - sim0) / wall;
        std::this_thread::sleep_until(start + RssAt);
        const double rss = residentMiB(program.pid);
        const double emptyRss = residentMiB(empty.pid);
        const double emptyDialogsRss = residentMiB(emptyDialogs.pid);
        program.stop();
        empty.stop();
        emptyDialogs.stop();
        state.SetIterationTime(wall);
        state.counters["cpu_percent"] = cpu * 100;
        state.counters["ratio"] = cpu / Goal;
        state.counters["tirssim_cpu_percent"] = simCpu * 100;
        state.counters["rss_mib_5s"] = rssEarly;
        state.counters["rss_mib_60s"] = rss;
        state.counters["empty_window_rss_mib"] = emptyRss;
        state.counters["rss_ratio_to_empty_window"] = emptyRss > 0 ? rss / emptyRss : 0;
        state.counters["empty_window_dialogs_rss_mib"] = emptyDialogsRss;
    }
    state.counters["load"] = bench::loadAverage();
}
BENCHMARK(BM_IdlePolling)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
