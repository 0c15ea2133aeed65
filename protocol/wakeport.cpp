#include "wakeport.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "cp1251.h"
#include "outcometext.h"
#include "portname.h"
#include "serlink.h"
#include "wakecodec.h"
#include "codes.h"

namespace {

// Never a decoded address (those are 0..127): the receiver saw no frame start.
constexpr std::uint8_t NoFrameStart = 0xFF;
// The library's handle after a failed open and once the device has gone.
constexpr std::intptr_t NoDevice = -1;

}  // namespace

TWakePort::TWakePort(int maxPort) : MaxPort(maxPort)
{
    SetPort(0);
}

TWakePort::~TWakePort() = default;

std::string TWakePort::GetPortName(int n) const
{
    if (n <= 0 || n > MaxPort)
        return "None";
    return "COM" + std::to_string(n);
}

int TWakePort::GetPortNum(const std::string& name) const
{
    for (int i = 0; i <= MaxPort; ++i)
        if (GetPortName(i) == name)
            return i;
    return 0;
}

void TWakePort::SetPort(int n)
{
    Port = n;
    PortName = GetPortName(n);
}

void TWakePort::SetPortName(const std::string& name)
{
    PortName = name;
    Port = serlink::isDevicePath(name.c_str()) ? DevicePathPort : GetPortNum(name);
}

bool TWakePort::PortAvailable(int n) const
{
    // "None" is no device; the library need not be asked about it.
    if (n < 1 || n > MaxPort)
        return false;
    return PortAvailable(GetPortName(n));
}

bool TWakePort::PortAvailable(const std::string& name) const
{
    return AccessCOM(name.c_str()) != 0;
}

bool TWakePort::Open(int n, int baud)
{
    SetPort(n);
    Baud = baud;
    return Open(PortName, Baud);
}

bool TWakePort::Open(const std::string& name, int baud)
{
    SetPortName(name);
    Baud = baud;
    const bool opened = OpenCOM(PortName.c_str(), static_cast<std::uint32_t>(Baud)) != 0;
    // Pseudo-terminals and some adapters have no RS-485 mode: not an open failure.
    SetModeCOM(3, 1);
    return opened;
}

bool TWakePort::Connected() const
{
    return Port != 0 && GetHandleCOM() != NoDevice;
}

bool TWakePort::Reopen()
{
    if (Port == 0)
        return false;
    CloseCOM();
    return Open(PortName, Baud) && Connected();
}

void TWakePort::Close()
{
    SetPort(0);
    CloseCOM();
}

void TWakePort::SetDevAddr(int a)
{
    DevAddr = (a >= 0 && a <= wake::MaxAddress) ? a : 0;
}

void TWakePort::SendRequest(int code, const std::string& name, int n)
{
    Cmd = code;
    CmdName = name;
    // Without a port there is no answer to decode: rxBuf_ holds an old one.
    if (!Connected())
        Fail(ExchangeOutcome::NoPort);
    skipped_.clear();
    damagedFrames_ = 0;
    // Not checked: a request that was not written shows as a missing answer.
    // The library drops what is queued in the input before it sends, so an
    // answer that came between two exchanges never counts for this one.
    TxFrame(static_cast<std::uint8_t>(DevAddr), static_cast<std::uint8_t>(Cmd & 0xFF),
            static_cast<std::uint8_t>(n & 0xFF), txBuf_.data());
}

int TWakePort::ReceiveAnswer(int timeout)
{
    return ReceiveAnswer(timeout, 0);
}

std::span<const std::uint8_t> TWakePort::LastAnswer() const
{
    return {rxBuf_.data(), static_cast<std::size_t>(lastCount_)};
}

void TWakePort::Fail(ExchangeOutcome outcome, int deviceError)
{
    lastOutcome_ = outcome;
    throw EHardwareException(Cmd, CmdName, outcome, deviceError,
                             "Ошибка команды " + CmdName + ":\r" +
                                 outcomeReason(outcome, deviceError));
}

int TWakePort::ReceiveAnswer(int timeout, int minCount, int alsoFrom)
{
    if (Port == 0)
        Fail(ExchangeOutcome::NoPort);
    skipped_.clear();
    damagedFrames_ = 0;
    lastCount_ = 0;
    timeout = std::max(timeout, 0);
    const auto deadline = std::chrono::steady_clock::now() + ExchangeBound(timeout);
    bool wrongCommand = false;  // a frame of our actuator that answers another command
    for (bool first = true;; first = false) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (!first && left <= 0)
            break;
        const int wait = first ? timeout : static_cast<int>(std::min<long long>(timeout, left));
        // The receiver leaves the address alone until it has read a frame
        // start, and never stores a value above 127 there.
        std::uint8_t address = NoFrameStart, command = 0, count = 0;
        const bool ok = RxFrame(static_cast<std::uint32_t>(wait), &address, &command, &count,
                                rxBuf_.data()) != 0;
        if (!ok) {
            if (address == NoFrameStart)
                break;  // the line stayed quiet for a whole byte time-out
            // Garbled: perhaps two actuators at once, perhaps another
            // actuator's late answer; ours may still follow.
            ++damagedFrames_;
            lastCount_ = 0;
            continue;
        }
        // An addressed request is answered by that actuator alone: a frame from
        // another one, or for another command, is a late answer to an earlier
        // request (or a foreign one), not this answer.
        const bool ours = DevAddr == 0 || address == 0 || address == DevAddr || address == alsoFrom;
        if (!ours || command != Cmd) {
            skipped_.push_back({address, command, {rxBuf_.begin(), rxBuf_.begin() + count}});
            wrongCommand = wrongCommand || ours;
            // The record shows the answer bytes of a wrong answer while rxBuf_ holds them.
            lastCount_ = ours ? count : 0;
            continue;
        }
        lastCount_ = count;
        if (wake::answerHasErrorByte(command)) {
            // Without data the error byte would be a byte of an earlier answer.
            if (count == 0)
                Fail(ExchangeOutcome::WrongAnswer);
            if (rxBuf_[0] != 0)
                Fail(ExchangeOutcome::DeviceError, rxBuf_[0]);
        }
        // After the error byte: a device reporting an error may leave its values out.
        if (count < minCount)
            Fail(ExchangeOutcome::WrongAnswer);
        lastOutcome_ = ExchangeOutcome::Answer;
        return count;
    }
    // A device that went away during the exchange (unplugged) is no port
    // any more: the caller learns that from the outcome, not by asking.
    if (!Connected())
        Fail(ExchangeOutcome::NoPort);
    if (wrongCommand)
        Fail(ExchangeOutcome::WrongAnswer);
    if (damagedFrames_ > 0)
        Fail(ExchangeOutcome::DamagedAnswer);
    Fail(ExchangeOutcome::NoAnswer);
}

std::chrono::milliseconds TWakePort::ExchangeBound(int timeout) const
{
    // As long as the library gives one frame: the byte time-out, the line
    // time of the longest hunt and the longest frame (10 bits a byte) and a
    // little for the scheduler. Frames for others cannot stretch it.
    const long long bytes = wake::HuntLimit + static_cast<long long>(wake::LongestFrame);
    const long long lineMs = bytes * 10'000LL / std::max(Baud, 1);
    return std::chrono::milliseconds(std::max(timeout, 0) + lineMs + 10);
}

int TWakePort::Exchange(wake::Command command, int alsoFrom)
{
    const wake::CommandInfo& entry = wake::commandInfo(command);
    if (!observer_) {
        SendRequest(static_cast<int>(command), entry.name, entry.requestLength);
        return ReceiveAnswer(AnswerTimeout, entry.answerLength, alsoFrom);
    }
    ExchangeRecord record;
    record.start = std::chrono::steady_clock::now();
    record.port = PortName;
    record.address = DevAddr;
    record.command = static_cast<int>(command);
    record.name = entry.name;
    record.request.assign(txBuf_.begin(), txBuf_.begin() + entry.requestLength);
    try {
        SendRequest(record.command, entry.name, entry.requestLength);
        const int count = ReceiveAnswer(AnswerTimeout, entry.answerLength, alsoFrom);
        Notify(record, ExchangeOutcome::Answer);
        return count;
    } catch (const EHardwareException&) {
        Notify(record, lastOutcome_);
        throw;
    }
}

std::vector<int> TWakePort::Call(wake::Command command, std::span<const int> values, int alsoFrom)
{
    const wake::CommandInfo& entry = wake::commandInfo(command);
    wake::encodeFields(entry.request, values, txBuf_.data());
    const int count = Exchange(command, alsoFrom);
    std::vector<int> answer;
    answer.reserve(entry.answer.size());
    for (const wake::FieldValue& v :
         wake::decodeAnswer(entry, rxBuf_.data(), static_cast<std::size_t>(count)))
        answer.push_back(static_cast<int>(v.value));
    // Exchange took only a complete answer: every field is there.
    answer.resize(entry.answer.size());
    return answer;
}

void TWakePort::Notify(ExchangeRecord& record, ExchangeOutcome outcome) const
{
    record.duration = std::chrono::steady_clock::now() - record.start;
    record.outcome = outcome;
    if (outcome != ExchangeOutcome::NoAnswer && outcome != ExchangeOutcome::NoPort)
        record.answer.assign(rxBuf_.begin(), rxBuf_.begin() + lastCount_);
    if (outcome == ExchangeOutcome::DeviceError)
        record.deviceError = rxBuf_[0];
    record.skipped = skipped_;
    record.damagedFrames = damagedFrames_;
    try {
        observer_(record);
    } catch (...) {
        // A failing observer must not turn a good exchange into a failed one.
    }
}

void TWakePort::SetObserver(ExchangeObserver observer)
{
    observer_ = std::move(observer);
}

// Each command holds lock_ from filling txBuf_ to the end of decoding; the
// guard also releases it when the exchange raises, and then nothing is returned.

std::string TWakePort::GetInfo()
{
    std::lock_guard guard(lock_);
    const int count = Exchange(wake::Command::GetInfo);
    const auto* begin = reinterpret_cast<const char*>(rxBuf_.data());
    const std::string_view answer(begin, static_cast<std::size_t>(count));
    return cp1251::toUtf8(answer.substr(0, answer.find('\0')));
}

void TWakePort::SetAddr(int addr)
{
    std::lock_guard guard(lock_);
    // The key is the prefix's two bytes as one word, low byte first. The
    // actuator may answer from the address it has just taken.
    const int key = wake::SetAddrPrefix[0] | (wake::SetAddrPrefix[1] << 8);
    Call(wake::Command::SetAddr, std::array{key, addr}, addr & 0x7F);
}

void TWakePort::SetM(const MValues& m)
{
    std::lock_guard guard(lock_);
    Call(wake::Command::SetM, std::array{m.vmin, m.extra});
}

MValues TWakePort::GetM()
{
    std::lock_guard guard(lock_);
    const std::vector<int> f = Call(wake::Command::GetM);
    return {f[0], f[1]};
}

void TWakePort::SetA(const AValues& a)
{
    std::lock_guard guard(lock_);
    Call(wake::Command::SetA, std::array{a.a, a.ia});
}

AValues TWakePort::GetA()
{
    std::lock_guard guard(lock_);
    const std::vector<int> f = Call(wake::Command::GetA);
    return {f[0], f[1]};
}

void TWakePort::SetP(const PValues& p)
{
    std::lock_guard guard(lock_);
    Call(wake::Command::SetP, std::array{p.vp, p.ip, p.np});
}

PValues TWakePort::GetP()
{
    std::lock_guard guard(lock_);
    const std::vector<int> f = Call(wake::Command::GetP);
    return {f[0], f[1], f[2]};
}

void TWakePort::SetL(const LValues& l)
{
    std::lock_guard guard(lock_);
    Call(wake::Command::SetL, std::array{l.vl, l.il, l.no, l.nc});
}

LValues TWakePort::GetL()
{
    std::lock_guard guard(lock_);
    const std::vector<int> f = Call(wake::Command::GetL);
    return {f[0], f[1], f[2], f[3]};
}

void TWakePort::SetW(const SpeedSteps& steps)
{
    std::lock_guard guard(lock_);
    std::array<int, 2 * std::tuple_size_v<SpeedSteps>> values{};
    for (std::size_t k = 0; k < steps.size(); ++k) {
        values[2 * k] = steps[k].v;
        values[2 * k + 1] = steps[k].i;
    }
    Call(wake::Command::SetW, values);
}

WValues TWakePort::GetW()
{
    std::lock_guard guard(lock_);
    const std::vector<int> f = Call(wake::Command::GetW);
    WValues w;
    for (std::size_t k = 0; k < w.steps.size(); ++k)
        w.steps[k] = {f[2 * k], f[2 * k + 1]};
    w.workStatus = f[2 * w.steps.size()];
    return w;
}

void TWakePort::SetS(int motionCode)
{
    std::lock_guard guard(lock_);
    Call(wake::Command::SetS, std::array{motionCode});
}

DriveStatus TWakePort::GetS()
{
    std::lock_guard guard(lock_);
    const std::vector<int> f = Call(wake::Command::GetS);
    return {f[0], f[1]};
}

void TWakePort::SetN(int n)
{
    std::lock_guard guard(lock_);
    Call(wake::Command::SetN, std::array{n});
}

int TWakePort::GetN()
{
    std::lock_guard guard(lock_);
    return Call(wake::Command::GetN)[0];  // signed, as the table says
}

void TWakePort::SetT(int nt)
{
    std::lock_guard guard(lock_);
    Call(wake::Command::SetT, std::array{nt});
}

int TWakePort::GetT()
{
    std::lock_guard guard(lock_);
    return Call(wake::Command::GetT)[0];
}

int TWakePort::GetI()
{
    std::lock_guard guard(lock_);
    return Call(wake::Command::GetI)[0];
}

void TWakePort::SetR(const RelayChannels& relays)
{
    std::lock_guard guard(lock_);
    std::array<int, 4 * std::tuple_size_v<RelayChannels>> values{};
    for (std::size_t k = 0; k < relays.size(); ++k) {
        values[4 * k] = relays[k].en;
        values[4 * k + 1] = relays[k].min;
        values[4 * k + 2] = relays[k].max;
        values[4 * k + 3] = relays[k].hyst;
    }
    Call(wake::Command::SetR, values);
}

RelayChannels TWakePort::GetR()
{
    std::lock_guard guard(lock_);
    const std::vector<int> f = Call(wake::Command::GetR);
    RelayChannels relays;
    for (std::size_t k = 0; k < relays.size(); ++k)
        relays[k] = {f[4 * k], f[4 * k + 1], f[4 * k + 2], f[4 * k + 3]};
    return relays;
}

int TWakePort::GetRS()
{
    std::lock_guard guard(lock_);
    return Call(wake::Command::GetRS)[0];
}
