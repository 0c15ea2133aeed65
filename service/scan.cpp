#include "scan.h"

#include <algorithm>
#include <set>
#include <string_view>

#include "addressscope.h"
#include "commands.h"
#include "cp1251.h"
#include "wakeport.h"
#include "codes.h"

namespace service {

namespace {

std::string infoText(const std::vector<std::uint8_t>& data)
{
    const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    return cp1251::toUtf8(text.substr(0, text.find('\0')));
}

}  // namespace

std::vector<FoundActuator> scanLine(TWakePort& port, const ScanOptions& options)
{
    std::vector<FoundActuator> found;
    // Without a port every probe would fail at once: there is nothing to ask.
    if (port.Port == 0)
        return found;
    AddressScope scope(port, port.DevAddr);
    std::set<int> silent;  // probed, no answer yet: a late one may still come
    int last = 0;          // the address probed last
    const int infoCommand = static_cast<int>(wake::Command::GetInfo);
    for (int a = std::max(options.first, 1); a <= std::min(options.last, wake::MaxAddress); ++a) {
        if (options.cancelled && options.cancelled())
            break;
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
    if (last != 0 && silent.count(last) != 0) {
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
