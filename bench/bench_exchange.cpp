// One TWakePort exchange (GetN) on a pseudo-terminal, against the line time
// of its request and answer, and the receiver's time-out on a silent line.
//
// Three device ends, so that the host's overhead can be told apart from the
// device's: the simulator answering at once (pure host cost), the simulator
// paced at a baud rate (it paces the answer only, one relative sleep per
// byte), and the bench's own PacedDevice, which keeps the line time in both
// directions on absolute deadlines. RawClient_PacedSim measures the
// simulator's pacing alone with a minimal host (one write, then reads).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include <sim/simline.h>

#include "hardwareexception.h"
#include "linetime.h"
#include "paceddevice.h"
#include "portlinks.h"
#include "pty.h"
#include "serlink.h"
#include "wakeport.h"
#include "wakecodec.h"

namespace {

constexpr int BenchPort = 2;
constexpr int Address = 1;
constexpr int GetNCode = 19;

using bench::Clock;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// One actuator that holds still, so every GetN answer has the same length.
void addStillActuator(sim::Line& line)
{
    line.addActuator(Address, "ТИРС-70 №0001");
    line.with(Address, [](sim::ActuatorState& s) { s.frozen = true; });
}

std::size_t getNAnswerBytes(sim::Line& line)
{
    const auto answers = line.handleRequest(true, Address, GetNCode, {});
    return answers.empty() ? 0 : answers.front().bytes.size();
}

std::size_t getNRequestBytes()
{
    return bench::requestWireBytes(Address, GetNCode, {});
}

// Counters every exchange benchmark reports: round trip against the line
// time of request + answer (and of the answer alone, which is all the
// simulator paces), and the host thread's system calls per exchange.
struct ExchangeReport {
    int baud;
    std::size_t requestBytes;
    std::size_t answerBytes;
    std::vector<double> roundTrips;
    bench::ThreadCounters before = bench::ThreadCounters::now();

    void finish(benchmark::State& state) const
    {
        const bench::ThreadCounters after = bench::ThreadCounters::now();
        const double line = bench::lineSeconds(requestBytes + answerBytes, baud);
        const double answerLine = bench::lineSeconds(answerBytes, baud);
        const auto perIteration = benchmark::Counter::kAvgIterations;
        state.counters["wire_bytes"] = double(requestBytes + answerBytes);
        state.counters["line_us"] = line * 1e6;
        state.counters["median_us"] = bench::median(roundTrips) * 1e6;
        state.counters["p99_us"] = bench::quantile(roundTrips, 0.99) * 1e6;
        state.counters["ratio"] = bench::median(roundTrips) / line;
        state.counters["ratio_p99"] = bench::quantile(roundTrips, 0.99) / line;
        state.counters["ratio_answer"] = bench::median(roundTrips) / answerLine;
        state.counters["reads"] =
            benchmark::Counter(double(after.reads - before.reads), perIteration);
        state.counters["writes"] =
            benchmark::Counter(double(after.writes - before.writes), perIteration);
        state.counters["vcsw"] = benchmark::Counter(
            double(after.voluntarySwitches - before.voluntarySwitches), perIteration);
        state.counters["load"] = bench::loadAverage();
    }
};

// Runs GetN exchanges through a TWakePort on ports/COM2 -> slavePath.
void runGetN(benchmark::State& state, const std::string& slavePath, ExchangeReport& report)
{
    support::pointPortsAt(slavePath, BenchPort);
    TWakePort port(8);
    port.Open(BenchPort, report.baud);
    port.SetDevAddr(Address);
    try {
        port.GetN();  // the first exchange after opening is not typical
    } catch (const EHardwareException& e) {
        state.SkipWithError(e.what());
        return;
    }
    report.before = bench::ThreadCounters::now();
    for (auto _ : state) {
        const auto start = Clock::now();
        try {
            benchmark::DoNotOptimize(port.GetN());
        } catch (const EHardwareException& e) {
            state.SkipWithError(e.what());
            break;
        }
        const double rt = seconds(Clock::now() - start);
        report.roundTrips.push_back(rt);
        state.SetIterationTime(rt);
    }
    report.finish(state);
    port.Close();
}

void BM_GetN_InstantSim(benchmark::State& state)
{
    sim::Line line;
    addStillActuator(line);
    sim::PtyLine pty(line);
    if (!pty.start()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    const int baud = int(state.range(0));
    ExchangeReport report{baud, getNRequestBytes(), getNAnswerBytes(line), {}};
    runGetN(state, pty.slavePath(), report);
}

void BM_GetN_PacedSim(benchmark::State& state)
{
    sim::Line line;
    addStillActuator(line);
    sim::PtyLine pty(line);
    const int baud = int(state.range(0));
    pty.setPace(baud);
    if (!pty.start()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    ExchangeReport report{baud, getNRequestBytes(), getNAnswerBytes(line), {}};
    runGetN(state, pty.slavePath(), report);
}

void BM_GetN_PacedDevice(benchmark::State& state)
{
    sim::Line line;
    addStillActuator(line);
    const int baud = int(state.range(0));
    bench::PacedDevice device(line, baud);
    if (!device.start()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    ExchangeReport report{baud, getNRequestBytes(), getNAnswerBytes(line), {}};
    runGetN(state, device.slavePath(), report);
    // The device's own error: how late its last answer byte went out.
    std::vector<double> late = device.takeLateness();
    const double line_s = bench::lineSeconds(report.requestBytes + report.answerBytes, baud);
    state.counters["device_late_us"] = bench::median(late) * 1e6;
    state.counters["ratio_host"] =
        (bench::median(report.roundTrips) - bench::median(late)) / line_s;
}

// The simulator's pacing with a host that does nothing but write the
// request and read the answer bytes as they come.
void BM_RawClient_PacedSim(benchmark::State& state)
{
    sim::Line line;
    addStillActuator(line);
    sim::PtyLine pty(line);
    const int baud = int(state.range(0));
    pty.setPace(baud);
    if (!pty.start()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    const int fd = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    wake::TxBuffer request;
    const std::size_t requestLength = wake::encodeFrame(Address, GetNCode, 0, nullptr, request);
    ExchangeReport report{baud, requestLength, getNAnswerBytes(line), {}};
    std::uint8_t answer[64];
    for (auto _ : state) {
        const auto start = Clock::now();
        [[maybe_unused]] ssize_t w = ::write(fd, request.data(), requestLength);
        std::size_t got = 0;
        while (got < report.answerBytes) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 1000) <= 0)
                break;
            const ssize_t n = ::read(fd, answer, sizeof answer);
            if (n <= 0)
                break;
            got += std::size_t(n);
        }
        if (got < report.answerBytes) {
            state.SkipWithError("the simulator did not answer");
            break;
        }
        const double rt = seconds(Clock::now() - start);
        report.roundTrips.push_back(rt);
        state.SetIterationTime(rt);
    }
    report.finish(state);
    ::close(fd);
}

// How much of the worst time-out error was spent waiting for a core, and
// the worst error with that wait taken out.
void reportRunQueue(benchmark::State& state, const std::vector<double>& errors,
                    const std::vector<double>& waits)
{
    if (errors.empty())
        return;
    std::size_t worstAt = 0;
    double worstWithoutQueue = 0;
    for (std::size_t i = 0; i < errors.size(); ++i) {
        if (errors[i] > errors[worstAt])
            worstAt = i;
        worstWithoutQueue = std::max(worstWithoutQueue, errors[i] - waits[i]);
    }
    state.counters["worst_runq_ms"] = waits[worstAt] * 1e3;
    state.counters["worst_err_less_runq_ms"] = worstWithoutQueue * 1e3;
}

// RxFrame with 100 ms per byte on a line where nothing ever comes.
void BM_RxFrameTimeout(benchmark::State& state)
{
    constexpr int TimeoutMs = 100;
    support::Pty pty;  // nobody writes to it: a silent line
    if (OpenCOM(pty.slavePath().c_str(), 9600) != 1) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    std::uint8_t a = 0, c = 0, n = 0, data[wake::MaxData + 1];
    std::vector<double> errors, waits;
    for (auto _ : state) {
        const double queued = bench::runQueueWaitSeconds();
        const auto start = Clock::now();
        const int got = RxFrame(TimeoutMs, &a, &c, &n, data);
        const double took = seconds(Clock::now() - start);
        if (got != 0) {
            state.SkipWithError("a frame came on a silent line");
            break;
        }
        errors.push_back(took - TimeoutMs * 1e-3);
        waits.push_back(bench::runQueueWaitSeconds() - queued);
        state.SetIterationTime(took);
    }
    CloseCOM();
    reportRunQueue(state, errors, waits);
    constexpr double Goal = 2e-3;
    state.counters["median_err_ms"] = bench::median(errors) * 1e3;
    state.counters["worst_err_ms"] = bench::worst(errors) * 1e3;
    state.counters["min_err_ms"] = -bench::worst([&] {
        std::vector<double> neg;
        for (double e : errors)
            neg.push_back(-e);
        return neg;
    }()) * 1e3;
    state.counters["ratio_worst"] = bench::worst(errors) / Goal;
    state.counters["load"] = bench::loadAverage();
}

// The platform's own floor for the same wait: ppoll on the same silent line
// for 100 ms, with nothing of the library in between. Its worst case is the
// scheduler's wake-up latency under the machine's load at that moment.
void BM_PollTimeoutBaseline(benchmark::State& state)
{
    support::Pty pty;  // nobody writes to it: a silent line
    const int fd = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    std::vector<double> errors, waits;
    for (auto _ : state) {
        const double queued = bench::runQueueWaitSeconds();
        const auto start = Clock::now();
        pollfd p{fd, POLLIN, 0};
        const timespec ts{0, 100'000'000};
        ::ppoll(&p, 1, &ts, nullptr);
        const double took = seconds(Clock::now() - start);
        errors.push_back(took - 0.1);
        waits.push_back(bench::runQueueWaitSeconds() - queued);
        state.SetIterationTime(took);
    }
    ::close(fd);
    reportRunQueue(state, errors, waits);
    state.counters["median_err_ms"] = bench::median(errors) * 1e3;
    state.counters["worst_err_ms"] = bench::worst(errors) * 1e3;
    state.counters["load"] = bench::loadAverage();
}

// What TxFrame's dropping of queued input (tcflush TCIFLUSH) costs on a
// pseudo-terminal, against one byte's line time at 115200 baud.
void BM_DiscardInput(benchmark::State& state)
{
    support::Pty pty;  // nobody writes to it: a silent line
    const int fd = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(::tcflush(fd, TCIFLUSH));
    ::close(fd);
    state.counters["ratio_to_byte_115200"] = benchmark::Counter(
        bench::byteSeconds(115200),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DiscardInput)->Unit(benchmark::kMicrosecond)->UseRealTime();

// One exchange on a line that trickles noise just inside the byte time-out
// (a byte every 90 ms, never a frame start) and never answers: it must end at
// its bound, the byte time-out plus the line time of the longest hunt and
// frame plus 10 ms (1.182 s at 9600 baud). `over_bound_ms` is how far past
// that figure the exchange ended; the window's noise test allows a margin
// above it.
void BM_GetN_NoiseTrickle(benchmark::State& state)
{
    constexpr int Baud = 9600;
    constexpr double ByteTimeout = 0.1;
    const double bound =
        ByteTimeout + bench::lineSeconds(wake::HuntLimit + wake::LongestFrame, Baud) + 0.010;
    support::Pty pty;
    support::pointPortsAt(pty.slavePath(), BenchPort);
    std::atomic<bool> stop{false};
    std::thread trickle([&] {
        while (!stop) {
            pty.send({0x55});
            std::this_thread::sleep_for(std::chrono::milliseconds(90));
        }
    });
    TWakePort port(8);
    port.Open(BenchPort, Baud);
    port.SetDevAddr(Address);
    std::vector<double> over;
    for (auto _ : state) {
        const auto start = Clock::now();
        bool answered = true;
        try {
            port.GetN();
        } catch (const EHardwareException&) {
            answered = false;
        }
        const double took = seconds(Clock::now() - start);
        if (answered) {
            state.SkipWithError("noise read as an answer");
            break;
        }
        over.push_back(took - bound);
        state.SetIterationTime(took);
    }
    stop = true;
    trickle.join();
    port.Close();
    state.counters["bound_ms"] = bound * 1e3;
    state.counters["over_bound_ms"] = bench::median(over) * 1e3;
    state.counters["worst_over_bound_ms"] = bench::worst(over) * 1e3;
    state.counters["load"] = bench::loadAverage();
}
BENCHMARK(BM_GetN_NoiseTrickle)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// TIRS_BENCH_ITERATIONS fixes the count (for counting system calls).
benchmark::internal::Benchmark* exchange(benchmark::internal::Benchmark* b)
{
    b->UseManualTime()->Unit(benchmark::kMicrosecond);
    if (bench::fixedIterations() > 0)
        b->Iterations(bench::fixedIterations());
    else
        b->MinTime(2.0);
    return b;
}

BENCHMARK(BM_GetN_InstantSim)
    ->Apply([](auto* b) { exchange(b); }) -> ArgName("baud") -> Arg(9600) -> Arg(115200);
BENCHMARK(BM_GetN_PacedSim)
    ->Apply([](auto* b) { exchange(b); }) -> ArgName("baud") -> Arg(9600) -> Arg(115200);
BENCHMARK(BM_RawClient_PacedSim)
    ->Apply([](auto* b) { exchange(b); }) -> ArgName("baud") -> Arg(9600) -> Arg(115200);
BENCHMARK(BM_GetN_PacedDevice)
    ->Apply([](auto* b) { exchange(b); }) -> ArgName("baud") -> Arg(9600) -> Arg(115200);
BENCHMARK(BM_RxFrameTimeout)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(200);
BENCHMARK(BM_PollTimeoutBaseline)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(200);

}  // namespace
