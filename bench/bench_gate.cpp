// The gateway's poll loop against the line's own time: one cycle over 10
// actuators (GetN, GetS, GetI each; GetRS and GetT every tenth cycle) on the
// bench's paced device, the same cycle while Modbus clients read, and the
// latency of a command to its SetS, from the queue and from a mosquitto_pub
// through a real broker.
// Goals: a cycle at most 1.10 x the line time of its exchanges (plus one
// time-out per silent actuator), within 1.05 x of that with 8 Modbus clients;
// a command within one exchange time + 20 ms.
#include <benchmark/benchmark.h>
#include <modbus/modbus.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <optional>
#include <fstream>
#include <memory>
#include <random>
#include <thread>

#include <sim/simline.h>

#include "gatecommand.h"
#include "linepoller.h"
#include "linesettings.h"
#include "linetime.h"
#include "modbusserver.h"
#include "mqttbridge.h"
#include "paceddevice.h"
#include "portopen.h"
#include "wakeport.h"

extern char** environ;

namespace {

using bench::Clock;
using namespace std::chrono_literals;
constexpr int Actuators = 10;
constexpr int SetSCode = 16;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// 10 actuators (and silent addresses after them) on the paced device, the
// port open and the poller's actuators found.
struct GateLine {
    GateLine(int baud, CommandPolicy policy) : device(line, baud), baud(baud)
    {
        for (int a = 1; a <= Actuators; ++a) {
            line.addActuator(a, "ТИРС-70 №" + std::to_string(1000 + a));
            line.with(a, [](sim::ActuatorState& s) { s.frozen = true; });
        }
        poller = std::make_unique<LinePoller>(port, store, queue, std::move(policy), nullptr);
    }
    ~GateLine() { port.Close(); }

    bool start(int silent)
    {
        port.AnswerTimeout = 20;
        if (!device.start() || !service::openPort(port, device.slavePath(), baud).opened)
            return false;
        std::vector<int> addresses;
        for (int a = 1; a <= Actuators + silent; ++a)
            addresses.push_back(a);
        poller->discover(addresses);
        return true;
    }
    void cycles(int n)
    {
        for (int i = 0; i < n; ++i)
            poller->runCycle();
    }

    sim::Line line;
    bench::PacedDevice device;
    int baud;
    TWakePort port{8};
    SnapshotStore store;
    CommandQueue queue;
    std::unique_ptr<LinePoller> poller;
};

// The line of the benchmark's arguments (baud first), or nothing after
// telling the benchmark why. The hook sees every request on the line.
std::unique_ptr<GateLine> openGate(benchmark::State& state, CommandPolicy policy = {},
                                   int silent = 0, bench::PacedDevice::RequestHook hook = {})
{
    auto g = std::make_unique<GateLine>(static_cast<int>(state.range(0)), std::move(policy));
    g->device.setRequestHook(std::move(hook));
    if (!g->start(silent)) {
        state.SkipWithError("no line");
        return nullptr;
    }
    return g;
}

// Cycles timed ten at a time, so that each sample holds one relay cycle;
// beside them what was not the gateway's doing: the paced device's own
// lateness and the time the poll thread waited for a core.
struct CycleRuns {
    std::vector<double> cycles;  // seconds per cycle, one per iteration
    double count = 0;            // cycles in all
    double wireSeconds = 0;      // line time of all requests and answers
    double deviceLate = 0;       // seconds, in all
    double runQueue = 0;         // seconds, in all
    double requests = 0;
};

CycleRuns timeCycles(benchmark::State& state, GateLine& g)
{
    g.cycles(LinePoller::RelaysEvery);
    g.device.takeWireBytes();
    g.device.takeRequests();
    g.device.takeLateness();
    CycleRuns r;
    for (auto _ : state) {
        const double queued = bench::runQueueWaitSeconds();
        const auto t0 = Clock::now();
        g.cycles(LinePoller::RelaysEvery);
        r.cycles.push_back(seconds(Clock::now() - t0) / LinePoller::RelaysEvery);
        r.runQueue += bench::runQueueWaitSeconds() - queued;
    }
    r.count = double(r.cycles.size()) * LinePoller::RelaysEvery;
    r.wireSeconds = bench::lineSeconds(g.device.takeWireBytes(), g.baud);
    r.requests = double(g.device.takeRequests());
    for (double late : g.device.takeLateness())
        r.deviceLate += late;
    return r;
}

void reportCycles(benchmark::State& state, const CycleRuns& r)
{
    state.counters["exchanges"] = r.requests / r.count;
    state.counters["cycle_ms"] = bench::median(r.cycles) * 1e3;
    state.counters["cycle_worst_ms"] = bench::worst(r.cycles) * 1e3;
    state.counters["device_late_ms"] = r.deviceLate / r.count * 1e3;
    state.counters["runq_ms"] = r.runQueue / r.count * 1e3;
    state.counters["load"] = bench::loadAverage();
}

int freeLoopbackPort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(s);
    return ntohs(a.sin_port);
}

pid_t spawn(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&quiet);
    return pid;
}

// A mosquitto broker of its own on a free loopback port, for as long as it
// lives (at most 5 s to come up).
class Broker {
public:
    Broker() : port_(freeLoopbackPort())
    {
        std::ofstream("bench-mosquitto.conf")
            << "listener " << port_ << " 127.0.0.1\nallow_anonymous true\n";
        pid_ = spawn({"/usr/sbin/mosquitto", "-c", "bench-mosquitto.conf"});
        for (int i = 0; i < 100 && pid_ > 0 && !listening(); ++i)
            std::this_thread::sleep_for(50ms);
    }
    ~Broker()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool up() const { return pid_ > 0 && listening(); }
    int port() const { return port_; }

private:
    bool listening() const
    {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port_);
        const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::close(s);
        return ok;
    }
    int port_;
    pid_t pid_ = -1;
};

// The poll loop on its own thread, as tirsgate runs it.
class RunningLoop {
public:
    explicit RunningLoop(LinePoller& poller) : thread_([&] { poller.run(stop_, rescan_); }) {}
    ~RunningLoop()
    {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false}, rescan_{false};
    std::thread thread_;
};

// Where a command's SetS arrived on the line, for the one waiting for it.
class SetSWatch {
public:
    bench::PacedDevice::RequestHook hook()
    {
        return [this](int, int command, Clock::time_point received) {
            if (command != SetSCode)
                return;
            std::lock_guard lock(mutex_);
            arrived_ = received;
            seen_.notify_all();
        };
    }
    void arm()
    {
        std::lock_guard lock(mutex_);
        arrived_.reset();
    }
    // Seconds from start to the SetS, or nothing within 2 s.
    std::optional<double> wait(Clock::time_point start)
    {
        std::unique_lock lock(mutex_);
        if (!seen_.wait_for(lock, 2s, [this] { return arrived_.has_value(); }))
            return std::nullopt;
        return seconds(*arrived_ - start);
    }

private:
    std::mutex mutex_;
    std::condition_variable seen_;
    std::optional<Clock::time_point> arrived_;
};

CommandPolicy allowAll()
{
    CommandPolicy policy;
    policy.allow = true;
    return policy;
}

// The longest poll exchange, which may be under way when a command comes
// (GetRS: 4 request bytes, 6 answer bytes at most with stuffing), and the
// SetS itself (5 and 5) for a command timed until its answer.
void reportLatency(benchmark::State& state, const std::vector<double>& latencies, bool withAnswer)
{
    const int baud = static_cast<int>(state.range(0));
    const double exchange = bench::lineSeconds(6 + 7, baud);
    const double sets = withAnswer ? bench::lineSeconds(5 + 6, baud) : bench::lineSeconds(5, baud);
    state.counters["median_ms"] = bench::median(latencies) * 1e3;
    state.counters["worst_ms"] = bench::worst(latencies) * 1e3;
    state.counters["exchange_ms"] = exchange * 1e3;
    state.counters["goal_ms"] = (exchange + sets + 0.020) * 1e3;
    state.counters["load"] = bench::loadAverage();
}

void bothRatesHundredCommands(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"baud"})
        ->Arg(115200)
        ->Arg(9600)
        ->Iterations(100)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

void BM_PollCycle(benchmark::State& state)
{
    const int silent = static_cast<int>(state.range(1));
    auto g = openGate(state, {}, silent);
    if (!g)
        return;
    const CycleRuns r = timeCycles(state, *g);
    const double line = r.wireSeconds / r.count;
    const double timeouts = silent * g->port.AnswerTimeout / 1000.0;
    const double budget = line + timeouts;
    reportCycles(state, r);
    state.counters["line_ms"] = line * 1e3;
    state.counters["timeouts_ms"] = timeouts * 1e3;
    state.counters["ratio"] = bench::median(r.cycles) / budget;
    state.counters["ratio_worst"] = bench::worst(r.cycles) / budget;
    // Without the device's own lateness, which the host has to wait out. (Its
    // waits for a core are not taken off: most fall while a byte is still due.)
    state.counters["ratio_host"] = (bench::median(r.cycles) - r.deviceLate / r.count) / budget;
}
BENCHMARK(BM_PollCycle)
    ->ArgNames({"baud", "silent"})
    ->Args({115200, 0})
    ->Args({9600, 0})
    ->Args({115200, 1})
    ->Args({9600, 1})
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The same cycle while Modbus clients read all ten registers of one unit
// after another, each every 10 ms (a SCADA polls far less often; clients
// that read flat out on this 2-core machine starve the paced device's own
// thread instead). The server reads the snapshot only, so the cycle stays as
// it is without them. Goal: within 1.05 x of the cycle without.
void BM_PollCycleModbusClients(benchmark::State& state)
{
    const int clients = static_cast<int>(state.range(1));
    auto g = openGate(state);
    if (!g)
        return;
    ModbusOptions options;
    options.port = freeLoopbackPort();
    ModbusServer server(options, g->store, g->queue, {});
    std::string problem;
    if (!server.start(problem)) {
        state.SkipWithError(problem.c_str());
        return;
    }
    std::atomic<bool> stop{false};
    std::atomic<long> reads{0};
    std::vector<std::thread> readers;
    for (int c = 0; c < clients; ++c)
        readers.emplace_back([&] {
            modbus_t* ctx = modbus_new_tcp("127.0.0.1", options.port);
            if (!ctx || modbus_connect(ctx) != 0)
                return;
            std::uint16_t regs[10];
            for (int unit = 1; !stop; unit = unit % Actuators + 1) {
                modbus_set_slave(ctx, unit);
                if (modbus_read_input_registers(ctx, 0, 10, regs) == 10)
                    ++reads;
                std::this_thread::sleep_for(10ms);
            }
            modbus_close(ctx);
            modbus_free(ctx);
        });
    const auto start = Clock::now();
    const CycleRuns r = timeCycles(state, *g);
    const double took = seconds(Clock::now() - start);
    stop = true;
    for (auto& t : readers)
        t.join();
    reportCycles(state, r);
    state.counters["reads_per_s"] = double(reads) / took;
}
BENCHMARK(BM_PollCycleModbusClients)
    ->ArgNames({"baud", "clients"})
    ->Args({115200, 0})
    ->Args({115200, 8})
    ->Args({9600, 0})
    ->Args({9600, 8})
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A command queued at a random moment of the poll, until its SetS answered:
// at most the exchange under way, then the SetS itself.
void BM_CommandLatency(benchmark::State& state)
{
    auto g = openGate(state, allowAll());
    if (!g)
        return;
    RunningLoop loop(*g->poller);
    std::mt19937 random(7);
    std::vector<double> latencies;
    for (auto _ : state) {
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
        std::promise<Clock::time_point> answered;
        CommandRequest r;
        r.address = 1 + static_cast<int>(random() % Actuators);
        r.command = GateCommand::Stop;
        r.source = "bench";
        r.done = [&](const CommandOutcome&) { answered.set_value(Clock::now()); };
        const auto t0 = Clock::now();
        g->queue.push(std::move(r));
        latencies.push_back(seconds(answered.get_future().get() - t0));
    }
    reportLatency(state, latencies, true);
}
BENCHMARK(BM_CommandLatency)->Apply(bothRatesHundredCommands);

// `open` from a mosquitto_pub process, through a local mosquitto and the
// gateway's MQTT side, until the SetS is on the line: from the moment the
// process is started, so its start and connection count too. One command
// every 50-70 ms; each waits 2 s at most.
void BM_CommandLatencyMqtt(benchmark::State& state)
{
    Broker broker;
    if (!broker.up()) {
        state.SkipWithError("no mosquitto broker");
        return;
    }
    SetSWatch watch;
    auto g = openGate(state, allowAll(), 0, watch.hook());
    if (!g)
        return;
    MqttOptions options;
    options.port = broker.port();
    options.prefix = "bench/line";
    const service::LineSettings settings;
    MqttBridge bridge(options, g->store, g->queue, settings);
    std::string problem;
    if (!bridge.start(problem)) {
        state.SkipWithError(problem.c_str());
        return;
    }
    RunningLoop loop(*g->poller);
    std::mt19937 random(7);
    const auto publishOpen = [&](int address) {
        const auto t0 = Clock::now();
        const pid_t pid =
            spawn({"/usr/bin/mosquitto_pub", "-h", "127.0.0.1", "-p", std::to_string(broker.port()),
                   "-t", options.prefix + "/" + std::to_string(address) + "/set", "-m", "open"});
        const auto took = pid > 0 ? watch.wait(t0) : std::nullopt;
        if (pid > 0)
            ::waitpid(pid, nullptr, 0);
        watch.arm();
        return took;
    };
    // The bridge subscribes once connected: the first command shows it is.
    bool subscribed = false;
    for (int i = 0; i < 10 && !subscribed; ++i)
        subscribed = publishOpen(1).has_value();
    if (!subscribed) {
        state.SkipWithError("the gateway took no command from the broker");
        return;
    }
    std::vector<double> latencies;
    for (auto _ : state) {
        std::this_thread::sleep_for(50ms + std::chrono::microseconds(random() % 20000));
        const auto took = publishOpen(1 + static_cast<int>(random() % Actuators));
        if (!took) {
            state.SkipWithError("a command did not reach the line within 2 s");
            return;
        }
        latencies.push_back(*took);
    }
    reportLatency(state, latencies, false);
}
BENCHMARK(BM_CommandLatencyMqtt)->Apply(bothRatesHundredCommands);

}  // namespace
