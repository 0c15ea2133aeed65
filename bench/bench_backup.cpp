// A whole-line backup and restore of 20 actuators at 9600 baud, and a backup
// of a full line (127 actuators) at 115200 baud, where the disk weighs most,
// against the line's own time: the bench's paced device keeps the line time
// of every request and answer; a silent address costs the client's answer
// time-out. Goal: at most 1.1 x (line time of all exchanges + the time-outs).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>

#include <sim/simline.h>

#include "backup.h"
#include "inifile.h"
#include "linetime.h"
#include "paceddevice.h"
#include "portopen.h"
#include "wakeport.h"

namespace {

namespace fs = std::filesystem;
using bench::Clock;

constexpr int Baud = 9600;
constexpr int Actuators = 20;
constexpr int FastBaud = 115200;

struct BackupLine {
    explicit BackupLine(int baud = Baud, int actuators = Actuators)
        : baud(baud), actuators(actuators)
    {
    }
    int baud;
    int actuators;
    sim::Line line;
    bench::PacedDevice device{line, baud};
    TWakePort port{8};
    fs::path dir = fs::read_symlink("/proc/self/exe").parent_path() / "backup";

    bool start()
    {
        for (int a = 1; a <= actuators; ++a) {
            line.addActuator(a, "ТИРС-70 №" + std::to_string(1000 + a));
            line.with(a, [](sim::ActuatorState& s) { s.frozen = true; });
        }
        return device.start() && service::openPort(port, device.slavePath(), baud).opened;
    }
    ~BackupLine() { port.Close(); }
};

// Seconds of the run against the line time of what crossed the line, plus
// the time-outs of the silent addresses.
void report(benchmark::State& state, BackupLine& b, const std::vector<double>& runs,
            int silentPerRun, int failedItems)
{
    // An actuator that failed (a time-out under load) spent fewer exchanges.
    state.counters["failed_items"] = failedItems;
    const std::size_t requests = b.device.takeRequests();
    const double line = bench::lineSeconds(b.device.takeWireBytes(), b.baud) / double(runs.size());
    const double timeouts = silentPerRun * b.port.AnswerTimeout / 1000.0;
    const double limit = line + timeouts;
    state.counters["exchanges"] = double(requests) / double(runs.size());
    state.counters["line_s"] = line;
    state.counters["timeouts_s"] = timeouts;
    state.counters["median_s"] = bench::median(runs);
    state.counters["ratio"] = bench::median(runs) / limit;
    state.counters["ratio_worst"] = bench::worst(runs) / limit;
    state.counters["load"] = bench::loadAverage();
}

void runBackup(benchmark::State& state, bool scan, int baud = Baud, int actuators = Actuators)
{
    BackupLine b(baud, actuators);
    if (!b.start()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    service::BackupOptions options;
    for (int a = 1; !scan && a <= actuators; ++a)
        options.addresses.push_back(a);
    b.device.takeWireBytes();
    b.device.takeRequests();
    std::vector<double> runs;
    int failed = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const auto items = service::backupLine(b.port, b.dir.string(), options);
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        failed += actuators - int(std::count_if(items.begin(), items.end(),
                                                [](const auto& i) { return i.ok(); }));
        runs.push_back(s);
        state.SetIterationTime(s);
    }
    report(state, b, runs, scan ? 127 - actuators : 0, failed);
    // What the disk adds: the same files saved again one by one (each save is synced).
    const auto start = Clock::now();
    for (int a = 1; a <= actuators; ++a) {
        const std::string path = (b.dir / service::backupFileName(a)).string();
        IniImage::load(path).save(path);
    }
    state.counters["files_s"] = std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_Backup20_Scan(benchmark::State& state)
{
    runBackup(state, true);
}
void BM_Backup20_Listed(benchmark::State& state)
{
    runBackup(state, false);
}

void BM_Backup127_Listed_115200(benchmark::State& state)
{
    runBackup(state, false, FastBaud, wake::MaxAddress);
}

// Every file differs from its actuator in one value: compare, write, verify.
void BM_Restore20_Changed(benchmark::State& state)
{
    BackupLine b;
    service::BackupOptions options;
    for (int a = 1; a <= Actuators; ++a)
        options.addresses.push_back(a);
    if (!b.start() || service::backupLine(b.port, b.dir.string(), options).size() != Actuators) {
        state.SkipWithError("no backup to restore");
        return;
    }
    b.device.takeWireBytes();
    b.device.takeRequests();
    std::vector<double> runs;
    int failed = 0;
    for (auto _ : state) {
        for (int a = 1; a <= Actuators; ++a)
            b.line.with(a, [](sim::ActuatorState& s) { s.V2 = 333; });
        const auto start = Clock::now();
        const auto items = service::restoreLine(b.port, b.dir.string(), {});
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        failed += Actuators - int(std::count_if(items.begin(), items.end(), [](const auto& i) {
                      return i.result == service::RestoreItem::Restored;
                  }));
        runs.push_back(s);
        state.SetIterationTime(s);
    }
    report(state, b, runs, 0, failed);
}

}  // namespace

BENCHMARK(BM_Backup20_Scan)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Backup20_Listed)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Backup127_Listed_115200)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Restore20_Changed)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
