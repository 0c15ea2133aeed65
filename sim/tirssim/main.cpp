// tirssim: a simulated actuator line on a pseudo-terminal, reachable by the
// program as a "COMn" port through the ports/ folder beside this executable.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "portlinks.h"
#include "sim/simline.h"
#include "statusline.h"
#include "tracefiles.h"
#include "codes.h"

namespace {

struct Options {
    std::string port = "COM2";
    std::string link;  // explicit link path; overrides port
    std::vector<std::pair<int, std::string>> devices;
    int baud = 9600;
    bool pace = false;
    double timeScale = 1.0;
    std::string logFile;    // append one line per request received
    std::string stateFile;  // snapshot of the actuators, rewritten every slice
    struct Relay {
        int address, relay;
        sim::RelayConfig config;
    };
    std::vector<Relay> relays;
    std::vector<std::pair<int, int>> inputCurrents;  // address, microamperes
    double faultRate = 0;  // chance per answer of silence, damage or a wrong answer
    int silentEvery = 0;   // leave every k-th request of each actuator unanswered
    std::vector<std::pair<int, int>> lateAnswers;    // address, milliseconds
    std::vector<std::pair<int, std::string>> twins;  // a second actuator at the address
};

void usage(std::FILE* to)
{
    std::fprintf(
        to, "usage: tirssim [--port COMn | --link PATH] [--device ADDR[:TEXT]]... [--baud N]\n"
            "               [--pace] [--time-scale X] [--log FILE] [--state-file FILE]\n"
            "               [--relay A:R:MODE:MIN:MAX:HYST]... [--input A:MICROAMPS]...\n"
            "               [--fault-rate X] [--silent-every K] [--late A:MS]...\n"
            "               [--twin A[:TEXT]]...\n"
            "  --port COMn      make the link ports/COMn beside tirssim (default COM2)\n"
            "  --link PATH      make the link at PATH instead\n"
            "  --device A[:T]   an actuator at address A (1..127) with the text T\n"
            "                   (default: 1 and 2, \"ТИРС-70 №0001\" and \"ТИРС-70 №0002\")\n"
            "  --baud N         the line's baud rate for --pace (default 9600)\n"
            "  --pace           send every byte in its real line time (10 bits)\n"
            "  --time-scale X   simulated time runs X times as fast as real time\n"
            "  --log FILE       append a line per request received: monotonic ms,\n"
            "                   address (- for none), command code, data in hex (- for none)\n"
            "  --state-file F   rewrite F every 200 ms with a line per actuator:\n"
            "                   address, state code, flags (0xNN), N, Nt\n"
            "  --relay A:R:M:MIN:MAX:HYST  relay R (1..3) of actuator A: mode M (0 off,\n"
            "                   1 current input, 2 current output), range and hysteresis in %%\n"
            "  --input A:UA     the current input of actuator A in microamperes (default 12000)\n"
            "  --fault-rate X   each answer is, with chance X (0..1), left out, damaged or\n"
            "                   wrong (a flaky line, for long runs of the program)\n"
            "  --silent-every K every actuator leaves every K-th request unanswered\n"
            "  --late A:MS      actuator A answers MS ms late (0..10000): past the program's\n"
            "                   100 ms its answer lands in the next exchange, a late answer\n"
            "  --twin A[:T]     a second actuator at address A (text T, default\n"
            "                   \"ТИРС-70 №9AAA\"): answers to one request overlap on the line\n"
            "                   and arrive garbled, as two actuators at one address do\n");
}

std::string defaultText(int address)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "ТИРС-70 №%04d", address);
    return buf;
}

// Another serial number than the first actuator's at that address.
std::string twinText(int address)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "ТИРС-70 №9%03d", address);
    return buf;
}

bool parseInt(const std::string& s, long lo, long hi, int& out)
{
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end != '\0' || errno != 0 || v < lo || v > hi)
        return false;
    out = int(v);
    return true;
}

// "a:b:c" into integers, each within its own bounds.
bool parseInts(const std::string& s, const std::vector<std::pair<long, long>>& bounds,
               std::vector<int>& out)
{
    out.clear();
    std::size_t at = 0;
    for (std::size_t i = 0; i < bounds.size(); ++i) {
        const std::size_t colon = s.find(':', at);
        const bool last = i + 1 == bounds.size();
        if (last != (colon == std::string::npos))
            return false;
        int v;
        if (!parseInt(s.substr(at, last ? std::string::npos : colon - at), bounds[i].first,
                      bounds[i].second, v))
            return false;
        out.push_back(v);
        at = colon + 1;
    }
    return true;
}

// False on a bad option; help is set for --help.
bool parse(int argc, char** argv, Options& o, bool& help)
{
    help = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& v) {
            if (i + 1 >= argc)
                return false;
            v = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            help = true;
            return true;
        } else if (a == "--pace") {
            o.pace = true;
        } else if (a == "--port") {
            int n;
            if (!value(v) || v.rfind("COM", 0) != 0 || !parseInt(v.substr(3), 1, 255, n))
                return false;
            o.port = v;
        } else if (a == "--link") {
            if (!value(v) || v.empty())
                return false;
            o.link = v;
        } else if (a == "--device") {
            if (!value(v))
                return false;
            const auto colon = v.find(':');
            int address;
            if (!parseInt(v.substr(0, colon), 1, wake::MaxAddress, address))
                return false;
            o.devices.emplace_back(address, colon == std::string::npos ? defaultText(address)
                                                                       : v.substr(colon + 1));
        } else if (a == "--baud") {
            if (!value(v) || !parseInt(v, 50, 4000000, o.baud))
                return false;
        } else if (a == "--relay") {
            std::vector<int> n;
            if (!value(v) ||
                !parseInts(v, {{1, wake::MaxAddress}, {1, 3}, {0, 2}, {0, 100}, {0, 100}, {0, 100}},
                           n))
                return false;
            o.relays.push_back({n[0], n[1], sim::RelayConfig{n[2], n[3], n[4], n[5]}});
        } else if (a == "--input") {
            std::vector<int> n;
            if (!value(v) || !parseInts(v, {{1, wake::MaxAddress}, {0, 65535}}, n))
                return false;
            o.inputCurrents.emplace_back(n[0], n[1]);
        } else if (a == "--log") {
            if (!value(v) || v.empty())
                return false;
            o.logFile = v;
        } else if (a == "--state-file") {
            if (!value(v) || v.empty())
                return false;
            o.stateFile = v;
        } else if (a == "--fault-rate") {
            if (!value(v))
                return false;
            char* end = nullptr;
            o.faultRate = std::strtod(v.c_str(), &end);
            if (v.empty() || *end != '\0' || !(o.faultRate >= 0 && o.faultRate <= 1))
                return false;
        } else if (a == "--silent-every") {
            if (!value(v) || !parseInt(v, 1, 1000000, o.silentEvery))
                return false;
        } else if (a == "--late") {
            std::vector<int> n;
            if (!value(v) || !parseInts(v, {{1, 127}, {0, 10000}}, n))
                return false;
            o.lateAnswers.emplace_back(n[0], n[1]);
        } else if (a == "--twin") {
            if (!value(v))
                return false;
            const auto colon = v.find(':');
            int address;
            if (!parseInt(v.substr(0, colon), 1, 127, address))
                return false;
            o.twins.emplace_back(address, colon == std::string::npos ? twinText(address)
                                                                     : v.substr(colon + 1));
        } else if (a == "--time-scale") {
            if (!value(v))
                return false;
            char* end = nullptr;
            o.timeScale = std::strtod(v.c_str(), &end);
            if (*end != '\0' || !(o.timeScale >= 0) || o.timeScale > 1e6)
                return false;
        } else {
            return false;
        }
    }
    if (o.devices.empty())
        o.devices = {{1, defaultText(1)}, {2, defaultText(2)}};
    return true;
}

// Replaces whatever is at path with a link to target.
bool makeLink(const std::filesystem::path& path, const std::string& target)
{
    try {
        support::replaceWithLink(path, target);
        return true;
    } catch (const std::filesystem::filesystem_error& e) {
        std::fprintf(stderr, "tirssim: cannot make the link %s: %s\n", path.c_str(),
                     e.code().message().c_str());
        return false;
    }
}

// Removes the link only while it is still ours (another tirssim may have
// taken the name since).
void removeLink(const std::filesystem::path& path, const std::string& target)
{
    std::error_code ec;
    if (std::filesystem::is_symlink(path, ec) && std::filesystem::read_symlink(path, ec) == target)
        ::unlink(path.c_str());
}

class StatusPrinter {
public:
    explicit StatusPrinter(bool tty) : tty_(tty) {}

    void show(const std::vector<std::string>& lines)
    {
        const auto now = std::chrono::steady_clock::now();
        if (tty_) {
            if (shown_ > 0)
                std::printf("\033[%dA", shown_);  // back to the first status line
            for (const std::string& l : lines)
                std::printf("\r%s\033[K\n", l.c_str());
            shown_ = int(lines.size());
        } else {
            // Plain lines for a log: only what changed, at most once a second.
            if (lines == last_ || now - lastPrint_ < std::chrono::seconds(1))
                return;
            for (const std::string& l : lines)
                std::printf("%s\n", l.c_str());
            last_ = lines;
            lastPrint_ = now;
        }
        std::fflush(stdout);
    }

private:
    bool tty_;
    int shown_ = 0;
    std::vector<std::string> last_;
    std::chrono::steady_clock::time_point lastPrint_{};
};

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    bool help = false;
    if (!parse(argc, argv, options, help)) {
        usage(stderr);
        return 2;
    }
    if (help) {
        usage(stdout);
        return 0;
    }

    // Block the stop signals in every thread; the main loop takes them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    sim::Line line;
    for (const auto& [address, text] : options.devices)
        line.addActuator(address, text);
    for (const Options::Relay& r : options.relays)
        if (!line.with(r.address,
                       [&r](sim::ActuatorState& s) { s.relays[r.relay - 1] = r.config; }))
            std::fprintf(stderr, "tirssim: --relay: no actuator at %d\n", r.address);
    for (const auto& [address, microamperes] : options.inputCurrents)
        if (!line.with(address, [m = microamperes](sim::ActuatorState& s) { s.inputCurrent = m; }))
            std::fprintf(stderr, "tirssim: --input: no actuator at %d\n", address);
    line.setTimeScale(options.timeScale);
    if (options.faultRate > 0 || options.silentEvery > 0) {
        sim::Faults faults;
        faults.randomFaultRate = options.faultRate;
        faults.silentEvery = options.silentEvery;
        line.setFaults(0, faults);
    }
    for (const auto& [address, text] : options.twins)
        line.addActuator(address, text);
    line.setCollisions(!options.twins.empty());
    for (const auto& [address, ms] : options.lateAnswers) {
        // On top of the line-wide faults, for each actuator at that address.
        sim::Faults faults;
        faults.randomFaultRate = options.faultRate;
        faults.silentEvery = options.silentEvery;
        faults.delay = std::chrono::milliseconds(ms);
        line.setFaults(address, faults);
    }
    sim::PtyLine host(line);
    if (options.pace)
        host.setPace(options.baud);
    tirssim::RequestLog requestLog;
    if (!options.logFile.empty()) {
        if (!requestLog.open(options.logFile)) {
            std::fprintf(stderr, "tirssim: cannot open the log %s: %s\n", options.logFile.c_str(),
                         std::strerror(errno));
            return 1;
        }
        host.setRequestObserver(
            [&requestLog](const sim::LoggedRequest& r) { requestLog.write(r); });
    }
    auto writeState = [&] {
        if (options.stateFile.empty())
            return;
        std::vector<sim::ActuatorState> states;
        for (int address : line.addresses())
            states.push_back(line.state(address));
        if (!tirssim::writeStateFile(options.stateFile, states))
            std::fprintf(stderr, "tirssim: cannot write %s: %s\n", options.stateFile.c_str(),
                         std::strerror(errno));
    };
    writeState();  // before the link appears, so a reader of both never finds it missing
    if (!host.start()) {
        std::fprintf(stderr, "tirssim: cannot create a pseudo-terminal: %s\n",
                     std::strerror(errno));
        return 1;
    }
    const std::filesystem::path link = options.link.empty()
                                           ? support::programFolder() / "ports" / options.port
                                           : std::filesystem::path(options.link);
    if (!makeLink(link, host.slavePath()))
        return 1;

    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("tirssim: линия %s, ссылка %s\n", host.slavePath().c_str(), link.c_str());
    StatusPrinter printer(::isatty(STDOUT_FILENO));
    const timespec slice{0, 200'000'000};
    for (;;) {
        line.advance();
        host.clearRequests();  // the in-memory log serves tests only; don't let it grow
        writeState();
        std::vector<std::string> lines;
        for (int address : line.addresses())
            lines.push_back(tirssim::statusLine(line.state(address)));
        printer.show(lines);
        const int sig = sigtimedwait(&stopSignals, nullptr, &slice);
        if (sig == SIGINT || sig == SIGTERM)
            break;
    }
    host.stop();
    removeLink(link, host.slavePath());
    std::printf("tirssim: остановлен\n");
    return 0;
}
