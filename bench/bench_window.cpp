// The window against the line, on the offscreen platform: the real TMainForm
// with its poll tick and network scan, talking through ports/COM2 beside this
// benchmark to the bench's PacedDevice, which keeps the line time of 9600
// baud in both directions.
//
//   BM_Scan/actuators:N/poll:P
//                           a full scan (bbScanStartClick) of 127 addresses,
//                           with the poll timer running (P 1) as in the
//                           program, or stopped
//   BM_PollTick/page:P      one Timer1Timer on page P with a live drive
//   BM_WindowStartUp        creating TMainForm, and showing it to its first
//                           paint, inside a running application
//   BM_FileDialogPair       the two parameter-file dialogs that creating the
//                           window makes, alone (a part of the above)
//   BM_MonitorCost/baud:B   the poll tick on the position page without any
//                           exchange observer, with the monitor and journal
//                           recording (monitor closed), and with the monitor
//                           open and following every tick
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>

#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include <sim/simline.h>

#include "errorbox.h"
#include "linetime.h"
#include "exchangetablemodel.h"
#include "mainform.h"
#include "monitorwindow.h"
#include "paceddevice.h"
#include "portlinks.h"
#include "servicetools.h"

namespace {

constexpr int Baud = 9600;
constexpr int WindowPort = 2;
constexpr int Address = 1;
constexpr int GetInfoCode = 3;
constexpr int SetSCode = 16;
constexpr int LastAddress = 127;
constexpr double TimeoutSeconds = 0.1;

using bench::Clock;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

int errorBoxes = 0;

// Counts the paint events that any widget receives.
class PaintCounter : public QObject {
public:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
    long long paints = 0;
};

// The settings file beside the benchmark: port COM2 at 9600 (or baud),
// address 1, no automatic reading of parameters or relays.
void writeSettings(int page, int baud = Baud)
{
    std::ofstream out(TMainForm::SettingsPath().toStdString(), std::ios::binary | std::ios::trunc);
    out << "[General]\r\nPage=" << page << "\r\nAutoPar=0\r\nAutoRel=0\r\n"
        << "[Port]\r\nPort=" << WindowPort << "\r\nBaud Rate=" << baud << "\r\n"
        << "[Params]\r\nAddress=" << Address << "\r\n";
}

// A line with actuators at these addresses, the paced device end and the window.
struct Bench {
    explicit Bench(int baud = Baud) : baud(baud), device(line, baud) {}
    int baud;
    sim::Line line;
    bench::PacedDevice device;
    std::unique_ptr<TMainForm> form;

    bool start(const std::vector<int>& addresses, int page)
    {
        for (int a : addresses)
            line.addActuator(a, "ТИРС-70 №" + std::to_string(1000 + a));
        if (!device.start())
            return false;
        support::pointPortsAt(device.slavePath(), WindowPort);
        writeSettings(page, baud);
        form = std::make_unique<TMainForm>();
        form->Timer1->stop();
        form->show();
        QApplication::processEvents();
        return true;
    }
};

// The line time the scan cannot go below: every address costs its request
// and then either the time-out (nobody there) or the answer.
struct ScanLimit {
    double issueFormula = 0;  // 127 x (time-out + request), nobody answering
    double exact = 0;         // with the answers of the actuators there
    // What a pseudo-terminal asks: it has no transmitter to wait for, so the
    // time-out starts as soon as the request is handed over; an answer still
    // comes one request line time later (the paced device's reception).
    double pty = 0;
};

ScanLimit scanLimit(sim::Line& line)
{
    ScanLimit limit;
    for (int a = 1; a <= LastAddress; ++a) {
        const double request =
            bench::lineSeconds(bench::requestWireBytes(a, GetInfoCode, {}), Baud);
        limit.issueFormula += TimeoutSeconds + request;
        const auto answers = line.handleRequest(true, a, GetInfoCode, {});
        const double answer = answers.empty()
                                  ? TimeoutSeconds
                                  : bench::lineSeconds(answers.front().bytes.size(), Baud);
        limit.exact += request + answer;
        limit.pty += (answers.empty() ? 0 : request) + answer;
    }
    return limit;
}

void BM_Scan(benchmark::State& state)
{
    std::vector<int> addresses;
    const std::vector<int> five = {1, 2, 17, 64, 127};  // 64 goes out as a stuffed 0xC0
    for (int i = 0; i < state.range(0); ++i)
        addresses.push_back(five[std::size_t(i)]);
    const bool poll = state.range(1) != 0;
    Bench b;
    if (!b.start(addresses, 1)) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    // The poll, as the program runs it: the scan must keep it off the line
    // (every request between the first probe and the last is a probe).
    if (poll)
        b.form->Timer1->start();
    const ScanLimit limit = scanLimit(b.line);
    std::vector<double> took;
    for (auto _ : state) {
        b.device.takeRequests();
        const auto start = Clock::now();
        b.form->bbScanStartClick();
        const double t = seconds(Clock::now() - start);
        b.form->Timer1->stop();
        took.push_back(t);
        state.SetIterationTime(t);
        state.counters["probes"] = double(b.device.takeRequests());
    }
    const double scan = bench::median(took);
    state.counters["scan_s"] = scan;
    state.counters["limit_s"] = limit.issueFormula;
    state.counters["ratio"] = scan / limit.issueFormula;
    state.counters["exact_limit_s"] = limit.exact;
    state.counters["ratio_exact"] = scan / limit.exact;
    state.counters["pty_limit_s"] = limit.pty;
    state.counters["ratio_pty"] = scan / limit.pty;
    state.counters["table_rows"] =
        double(b.form->findChild<QTableWidget*>("TableStrGrid")->rowCount());
    state.counters["load"] = bench::loadAverage();
}
BENCHMARK(BM_Scan)
    ->ArgNames({"actuators", "poll"})
    ->Args({0, 1})
    ->Args({2, 1})
    ->Args({5, 0})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Time the user-interface thread spends in one tick, against the line time
// of that tick's exchanges; the paint that the tick's changes cause runs in
// the event loop afterwards and is reported apart (paint_us).
void BM_PollTick(benchmark::State& state)
{
    const int page = int(state.range(0));
    Bench b;
    if (!b.start({Address}, page)) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    // A live drive on its way open.
    b.line.handleRequest(true, Address, SetSCode, {5});
    b.form->findChild<QTabWidget*>("PageControl")->setCurrentIndex(page);
    b.form->Timer1Timer();  // finds the device (GetInfo)
    b.form->Timer1->stop();
    QApplication::processEvents();
    if (!b.form->DeviceFound) {
        state.SkipWithError("the window found no device");
        return;
    }
    b.device.takeWireBytes();
    b.device.takeRequests();
    b.device.takeLateness();
    // Each tick also without what was not the window's doing: the device's
    // lateness and the time the window's thread waited for a core.
    std::vector<double> ratios, hostRatios, paints;
    PaintCounter painted;
    qApp->installEventFilter(&painted);
    double blocked = 0, line = 0;
    std::size_t exchanges = 0;
    for (auto _ : state) {
        const double queued = bench::runQueueWaitSeconds();
        const auto start = Clock::now();
        b.form->Timer1Timer();
        const auto ticked = Clock::now();
        const double queueWait = bench::runQueueWaitSeconds() - queued;
        double late = 0;
        for (double d : b.device.takeLateness())
            late += d;
        b.form->Timer1->stop();
        const double t = seconds(ticked - start);
        const double l = bench::lineSeconds(b.device.takeWireBytes(), Baud);
        exchanges += b.device.takeRequests();
        const auto paintStart = Clock::now();
        QApplication::processEvents();
        paints.push_back(seconds(Clock::now() - paintStart));
        blocked += t;
        line += l;
        ratios.push_back(l > 0 ? t / l : 0);
        hostRatios.push_back(l > 0 ? (t - late - queueWait) / l : 0);
        state.SetIterationTime(t);
    }
    qApp->removeEventFilter(&painted);
    state.counters["paints"] = double(painted.paints) / double(state.iterations());
    state.counters["exchanges"] = double(exchanges) / double(state.iterations());
    state.counters["line_ms"] = line / double(state.iterations()) * 1e3;
    state.counters["ratio"] = blocked / line;
    state.counters["ratio_median"] = bench::median(ratios);
    state.counters["ratio_worst"] = bench::worst(ratios);
    state.counters["ratio_worst_host"] = bench::worst(hostRatios);
    state.counters["paint_us"] = bench::median(paints) * 1e6;
    state.counters["error_boxes"] = errorBoxes;
    state.counters["load"] = bench::loadAverage();
}
BENCHMARK(BM_PollTick)
    ->ArgName("page")
    ->DenseRange(0, 4)
    ->Iterations(40)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// What the monitor and the journal cost the poll tick. Three ways of running
// the same window, in blocks that take turns (so that a change of load hits
// all three alike): no observer in the client's slot at all (the window as
// it was before the menu "Сервис"); the service tools recording every
// exchange into the ring, the counters and the journal's stroke timing, with
// the monitor closed (the program's normal state); and the monitor open,
// brought up to date and painted after every tick (its own timer does that
// only every 250 ms, so this is the worst case). "tick" is the time the
// window's thread spends in Timer1Timer, what delays the line, and the CPU
// time of that thread in it (what the observers add, whatever the load);
// "period" adds the event-loop work after it (the monitor's refresh and the
// paint).
void BM_MonitorCost(benchmark::State& state)
{
    enum Mode { Bare, Recording, MonitorOpen, ModeCount };
    constexpr int Rounds = 12, TicksPerBlock = 20, Warmup = 3;
    const int baud = int(state.range(0));
    Bench b(baud);
    if (!b.start({Address}, 1)) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    // A live drive on its way open: every GetN answer differs.
    b.line.setTimeScale(5);
    b.line.handleRequest(true, Address, SetSCode, {5});
    b.form->Timer1Timer();
    b.form->Timer1->stop();
    if (!b.form->DeviceFound) {
        state.SkipWithError("the window found no device");
        return;
    }
    ServiceTools& service = *b.form->Service;
    MonitorWindow* monitor = service.showMonitor();
    monitor->hide();
    QApplication::processEvents();

    std::vector<double> tick[ModeCount], tickCpu[ModeCount], period[ModeCount], line[ModeCount];
    for (auto _ : state) {
        for (int round = 0; round < Rounds; ++round) {
            for (int k = 0; k < ModeCount; ++k) {
                const Mode mode = Mode((round + k) % ModeCount);
                if (mode == Bare)
                    b.form->WakePort->SetObserver({});
                else
                    service.attach(*b.form->WakePort);
                if (mode == MonitorOpen)
                    monitor->show();
                else
                    monitor->hide();
                QApplication::processEvents();
                for (int t = 0; t < TicksPerBlock; ++t) {
                    b.device.takeWireBytes();
                    const double cpu0 = bench::threadCpuSeconds();
                    const auto start = Clock::now();
                    b.form->Timer1Timer();
                    const auto ticked = Clock::now();
                    const double cpu = bench::threadCpuSeconds() - cpu0;
                    b.form->Timer1->stop();
                    if (mode == MonitorOpen)
                        monitor->refresh();
                    QApplication::processEvents();
                    const auto settled = Clock::now();
                    // The program waits 300 ms between ticks; a pause of the same
                    // kind (shorter, to keep the run short) puts every mode's
                    // device end and caches in the same idle state before a tick.
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                    if (t < Warmup)
                        continue;
                    tick[mode].push_back(seconds(ticked - start));
                    tickCpu[mode].push_back(cpu);
                    period[mode].push_back(seconds(settled - start));
                    line[mode].push_back(bench::lineSeconds(b.device.takeWireBytes(), baud));
                }
            }
        }
        state.SetIterationTime(seconds(Clock::duration(1)));
    }
    const char* names[ModeCount] = {"bare", "recording", "open"};
    for (int m = 0; m < ModeCount; ++m) {
        state.counters[std::string(names[m]) + "_tick_ms"] = bench::median(tick[m]) * 1e3;
        state.counters[std::string(names[m]) + "_period_ms"] = bench::median(period[m]) * 1e3;
        state.counters[std::string(names[m]) + "_tick_cpu_us"] = bench::median(tickCpu[m]) * 1e6;
    }
    state.counters["ratio_cpu_open"] =
        bench::median(tickCpu[MonitorOpen]) / bench::median(tickCpu[Bare]);
    state.counters["line_ms"] = bench::median(line[Bare]) * 1e3;
    state.counters["ratio_tick_recording"] =
        bench::median(tick[Recording]) / bench::median(tick[Bare]);
    state.counters["ratio_tick_open"] =
        bench::median(tick[MonitorOpen]) / bench::median(tick[Bare]);
    state.counters["ratio_period_open"] =
        bench::median(period[MonitorOpen]) / bench::median(period[Bare]);
    state.counters["ratio_tick_open_p90"] =
        bench::quantile(tick[MonitorOpen], 0.9) / bench::quantile(tick[Bare], 0.9);
    state.counters["rows"] = double(monitor->model()->rowCount());
    state.counters["error_boxes"] = errorBoxes;
    state.counters["load"] = bench::loadAverage();
}
BENCHMARK(BM_MonitorCost)
    ->ArgName("baud")
    ->Arg(115200)
    ->Arg(9600)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The CPU time the window's exchange listeners (ring, counters, journal
// and stroke timing) take per exchange, alone: one poll tick's four
// answers on the position page handed to the fan-out again and again, the
// position changing every time so that nothing is routine.
void BM_ServiceListeners(benchmark::State& state)
{
    QWidget window;
    ServiceTools service(&window, QDir::tempPath() + QStringLiteral("/tirs-bench-journal"));
    ExchangeRecord getN, getS, getT, getL;
    const auto make = [](ExchangeRecord& r, int command, const char* name,
                         std::vector<std::uint8_t> answer) {
        r.port = "COM2";
        r.address = Address;
        r.command = command;
        r.name = name;
        r.answer = std::move(answer);
        r.outcome = ExchangeOutcome::Answer;
        r.start = std::chrono::steady_clock::now();
        r.duration = std::chrono::microseconds(1500);
    };
    make(getN, 19, "GetN", {0, 0, 0});
    make(getS, 17, "GetS", {0, 1, 0x11});
    make(getT, 21, "GetT", {0, 0xD0, 0x07});
    make(getL, 13, "GetL", {0, 100, 0, 0xD0, 0x07, 0xE8, 0x03, 0xE8, 0x03});
    int n = 0;
    const double cpu0 = bench::threadCpuSeconds();
    for (auto _ : state) {
        ++n;
        getN.answer[1] = std::uint8_t(n);
        getN.answer[2] = std::uint8_t(n >> 8);
        for (const ExchangeRecord* r : {&getN, &getS, &getT, &getL})
            service.fanOut().notify(*r);
    }
    const double perExchange =
        (bench::threadCpuSeconds() - cpu0) / double(state.iterations()) / 4.0;
    state.counters["cpu_us_per_exchange"] = perExchange * 1e6;
    // Against one GetN's line time at 115200: its request and its answer
    // frame (error byte and position).
    const std::size_t wire =
        bench::requestWireBytes(Address, 19, {}) + bench::requestWireBytes(Address, 19, {0, 1, 0});
    state.counters["ratio_to_getn_115200"] = perExchange / bench::lineSeconds(wire, 115200);
    state.counters["ring"] = double(service.exchangeRing().size());
}
BENCHMARK(BM_ServiceListeners)->Iterations(50000);

// Notes the time of the first paint event a widget receives.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint && !painted) {
            painted = true;
            at = Clock::now();
        }
        return false;
    }
    bool painted = false;
    Clock::time_point at;
};

void BM_WindowStartUp(benchmark::State& state)
{
    sim::Line line;
    line.addActuator(Address, "ТИРС-70 №0001");
    bench::PacedDevice device(line, Baud);
    if (!device.start()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    support::pointPortsAt(device.slavePath(), WindowPort);
    writeSettings(0);
    std::vector<double> create, paint;
    for (auto _ : state) {
        const auto start = Clock::now();
        auto form = std::make_unique<TMainForm>();
        const auto created = Clock::now();
        FirstPaint watch;
        form->installEventFilter(&watch);
        form->show();
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (!watch.painted && Clock::now() < deadline)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        form->Timer1->stop();
        const double c = seconds(created - start), p = seconds(watch.at - created);
        create.push_back(c);
        paint.push_back(p);
        state.SetIterationTime(c + p);
        form->removeEventFilter(&watch);
        form.reset();
        QApplication::processEvents();
    }
    state.counters["create_ms"] = bench::median(create) * 1e3;
    state.counters["show_to_paint_ms"] = bench::median(paint) * 1e3;
    state.counters["load"] = bench::loadAverage();
}
BENCHMARK(BM_WindowStartUp)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_FileDialogPair(benchmark::State& state)
{
    QWidget parent;
    std::vector<double> took;
    for (auto _ : state) {
        const auto start = Clock::now();
        auto* open = new QFileDialog(&parent);
        auto* save = new QFileDialog(&parent);
        const double t = seconds(Clock::now() - start);
        took.push_back(t);
        state.SetIterationTime(t);
        delete open;
        delete save;
    }
    state.counters["median_ms"] = bench::median(took) * 1e3;
}
BENCHMARK(BM_FileDialogPair)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SetErrorBoxPresenter([](const QString&, const QString&) { ++errorBoxes; });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
