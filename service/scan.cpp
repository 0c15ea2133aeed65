#include "scan.h"

#include <algorithm>
#include <set>
#include <string_view>

#include "addressscope.h"
#include "commands.h"
#include "cp1251.h"
#include "exchangetext.h"
#include "outcometext.h"
#include "wakeport.h"
#include "codes.h"

namespace service {

namespace {

std::string infoText(const std::vector<std::uint8_t>& data)
{
    const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    return cp1251::toUtf8(text.substr(0, text.find('\0')));
}

// A GetInfo request frame: frame start, address, command, count, check byte.
constexpr int ProbeFrameBytes = 5;
constexpr int BitsPerByte = 10;  // start, 8 data, stop

// Sets the client's answer time-out for the scan and gives its own back.
class TimeoutScope {
public:
    TimeoutScope(TWakePort& port, int timeout) : port_(port), saved_(port.AnswerTimeout)
    {
        if (timeout > 0)
            port_.AnswerTimeout = timeout;
    }
    ~TimeoutScope() { port_.AnswerTimeout = saved_; }
    TimeoutScope(const TimeoutScope&) = delete;
    TimeoutScope& operator=(const TimeoutScope&) = delete;

private:
    TWakePort& port_;
    int saved_;
};

}  // namespace

std::chrono::milliseconds scanDuration(int addresses, int timeoutMs, int baud)
{
    const double wireMs = baud > 0 ? ProbeFrameBytes * BitsPerByte * 1000.0 / baud : 0.0;
    const double ms = std::max(addresses, 0) * (std::max(timeoutMs, 0) + wireMs);
    return std::chrono::milliseconds(static_cast<long long>(ms + 0.5));
}

std::string durationText(std::chrono::milliseconds duration)
{
    const double s = duration.count() / 1000.0;
    if (s >= 10.0)
        return "около " + std::to_string(static_cast<long long>(s + 0.5)) + " с";
    // One decimal below 10 s, with the decimal comma.
    const long long tenths = static_cast<long long>(s * 10.0 + 0.5);
    return "около " + std::to_string(tenths / 10) + "," + std::to_string(tenths % 10) + " с";
}

std::string foundText(const FoundActuator& found)
{
    if (found.damaged)
        return DamagedAnswerText;
    return found.late ? found.type + "  (ответ с опозданием)" : found.type;
}

std::vector<FoundActuator> scanLine(TWakePort& port, const ScanOptions& options)
{
    std::vector<FoundActuator> found;
    // Without a port every probe would fail at once: there is nothing to ask.
    if (port.Port == 0)
        return found;
    AddressScope scope(port, port.DevAddr);
    const TimeoutScope timeout(port, options.timeout);
    bool cancelled = false;
    std::set<int> silent;  // probed, no answer yet: a late one may still come
    int last = 0;          // the address probed last
    const int infoCommand = static_cast<int>(wake::Command::GetInfo);
    for (int a = std::max(options.first, 1); a <= std::min(options.last, wake::MaxAddress); ++a) {
        if (options.cancelled && options.cancelled()) {
            cancelled = true;
            break;
        }
        bool answered = true;
        std::string type;
        try {
            port.SetDevAddr(a);
            type = port.GetInfo();
        } catch (const EHardwareException&) {
            answered = false;
        }
        // The probe skipped the late answers of addresses probed before.
        for (const SkippedFrame& f : port.LastSkipped()) {
            if (f.command != infoCommand || silent.erase(f.address) == 0)
                continue;
            found.push_back({f.address, infoText(f.data), true, false});
            if (options.progress)
                options.progress(f.address, &found.back());
        }
        const FoundActuator* entry = nullptr;
        if (answered) {
            found.push_back({a, std::move(type)});
            entry = &found.back();
        } else if (port.LastOutcome() == ExchangeOutcome::DamagedAnswer) {
            found.push_back({a, {}, false, true});
            entry = &found.back();
        } else if (port.LastOutcome() == ExchangeOutcome::NoAnswer) {
            silent.insert(a);
        }
        if (options.progress)
            options.progress(a, entry);
        last = a;
    }
    // No later probe brings the last address's late answer: wait for it once more.
    if (!cancelled && last != 0 && silent.count(last) != 0) {
        try {
            port.ReceiveAnswer(port.AnswerTimeout);
            const auto answer = port.LastAnswer();
            std::vector<std::uint8_t> data(answer.begin(), answer.end());
            found.push_back({last, infoText(data), true, false});
            if (options.progress)
                options.progress(last, &found.back());
        } catch (const EHardwareException&) {
        }
    }
    std::stable_sort(
        found.begin(), found.end(),
        [](const FoundActuator& x, const FoundActuator& y) { return x.address < y.address; });
    return found;
}

}  // namespace service
