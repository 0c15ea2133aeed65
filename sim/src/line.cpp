// The device model of the whole line: which actuators a request reaches, and
// the answer frames they put on the wire, faults included.
#include <algorithm>
#include <mutex>
#include <random>

#include "actuator.h"
#include "sim/simline.h"
#include "wakecodec.h"

namespace sim {

namespace {

void appendStuffed(std::vector<std::uint8_t>& out, std::uint8_t b)
{
    std::uint8_t stuffed[2];
    out.insert(out.end(), stuffed, stuffed + wake::stuffByte(b, stuffed));
}

std::vector<std::uint8_t> answerFrame(int address, int command, std::vector<std::uint8_t> data,
                                      bool damageCheckByte)
{
    if (data.size() > wake::MaxData)
        data.resize(wake::MaxData);
    wake::TxBuffer buf;
    const std::size_t n = wake::encodeFrame(std::uint8_t(address), std::uint8_t(command),
                                            std::uint8_t(data.size()), data.data(), buf);
    std::vector<std::uint8_t> out(buf.begin(), buf.begin() + n);
    if (damageCheckByte) {
        std::vector<std::uint8_t> plain{wake::Fend};
        if (address & 0x7F)
            plain.push_back(std::uint8_t(address & 0x7F));
        plain.push_back(std::uint8_t(command & 0x7F));
        plain.push_back(std::uint8_t(data.size()));
        plain.insert(plain.end(), data.begin(), data.end());
        const std::uint8_t good = wake::crc(plain.data(), plain.size());
        out.resize(out.size() - ((good == wake::Fend || good == wake::Fesc) ? 2 : 1));
        appendStuffed(out, std::uint8_t(good ^ 0x5A));
    }
    return out;
}

// Noise that the receiver's hunt skips: never a frame start.
std::vector<std::uint8_t> strayBytes(int count)
{
    static constexpr std::uint8_t Pattern[] = {0x55, 0xAA, 0x00, 0xFF, 0x81, 0x13};
    std::vector<std::uint8_t> out;
    for (int i = 0; i < count; ++i)
        out.push_back(Pattern[i % std::size(Pattern)]);
    return out;
}

// Answers sent at once: byte by byte, a 0 bit of any of them wins (an idle
// line is 1s). The longest sets the length; the earliest start and slowest
// pace stand for all.
Line::Answer overlap(const std::vector<Line::Answer>& answers)
{
    Line::Answer out = answers.front();
    for (const Line::Answer& a : answers) {
        if (a.bytes.size() > out.bytes.size())
            out.bytes.resize(a.bytes.size(), 0xFF);
        for (std::size_t i = 0; i < a.bytes.size(); ++i)
            out.bytes[i] &= a.bytes[i];
        out.delay = std::min(out.delay, a.delay);
        out.byteGap = std::max(out.byteGap, a.byteGap);
    }
    return out;
}

}  // namespace

struct Line::Impl {
    mutable std::mutex mutex;
    std::vector<Actuator> actuators;
    double timeScale = 1.0;
    bool collisions = false;
    std::chrono::steady_clock::time_point lastAdvance = std::chrono::steady_clock::now();
    std::mt19937 random{20240607};  // fixed seed: a failing run repeats

    Actuator* find(int address)
    {
        for (Actuator& a : actuators)
            if (a.state.address == address)
                return &a;
        return nullptr;
    }

    void advanceLocked()
    {
        const auto now = std::chrono::steady_clock::now();
        const double seconds = std::chrono::duration<double>(now - lastAdvance).count() * timeScale;
        lastAdvance = now;
        for (Actuator& a : actuators)
            a.advance(seconds);
    }
};

Line::Line() : impl_(std::make_unique<Impl>()) {}
Line::~Line() = default;

void Line::addActuator(int address, const std::string& info)
{
    std::lock_guard lock(impl_->mutex);
    impl_->actuators.emplace_back(address, info);
}

void Line::removeActuator(int address)
{
    std::lock_guard lock(impl_->mutex);
    std::erase_if(impl_->actuators, [&](const Actuator& a) { return a.state.address == address; });
}

std::vector<int> Line::addresses() const
{
    std::lock_guard lock(impl_->mutex);
    std::vector<int> out;
    for (const Actuator& a : impl_->actuators)
        out.push_back(a.state.address);
    return out;
}

bool Line::with(int address, const std::function<void(ActuatorState&)>& f)
{
    std::lock_guard lock(impl_->mutex);
    Actuator* a = impl_->find(address);
    if (!a)
        return false;
    f(a->state);
    a->refresh();
    return true;
}

ActuatorState Line::state(int address) const
{
    std::lock_guard lock(impl_->mutex);
    for (const Actuator& a : impl_->actuators)
        if (a.state.address == address)
            return a.state;
    ActuatorState none;
    none.address = 0;
    return none;
}

void Line::setFaults(int address, const Faults& faults)
{
    std::lock_guard lock(impl_->mutex);
    for (Actuator& a : impl_->actuators)
        if (address == 0 || a.state.address == address)
            a.faults = faults;
}

void Line::clearFaults()
{
    std::lock_guard lock(impl_->mutex);
    for (Actuator& a : impl_->actuators)
        a.faults = Faults{};
}

void Line::setCollisions(bool on)
{
    std::lock_guard lock(impl_->mutex);
    impl_->collisions = on;
}

void Line::setTimeScale(double factor)
{
    std::lock_guard lock(impl_->mutex);
    impl_->advanceLocked();  // time so far runs at the old rate
    impl_->timeScale = std::max(factor, 0.0);
}

void Line::advance()
{
    std::lock_guard lock(impl_->mutex);
    impl_->advanceLocked();
}

void Line::advanceBy(std::chrono::microseconds simulated)
{
    std::lock_guard lock(impl_->mutex);
    const double seconds = std::chrono::duration<double>(simulated).count();
    for (Actuator& a : impl_->actuators)
        a.advance(seconds);
}

std::vector<Line::Answer> Line::handleRequest(bool hasAddress, int address, int command,
                                              const std::vector<std::uint8_t>& data)
{
    std::lock_guard lock(impl_->mutex);
    std::vector<Answer> answers;
    // A frame without address byte reaches every actuator, as on a shared bus.
    for (Actuator& a : impl_->actuators) {
        if (hasAddress && a.state.address != address)
            continue;
        ++a.requestsSeen;
        const Faults& f = a.faults;
        std::vector<std::uint8_t> answerData;
        if (f.errorCode != 0 && command != 3)
            answerData = {std::uint8_t(f.errorCode)};  // refused: the command does nothing
        else
            answerData = a.execute(command, data);

        if (f.silent || (f.silentEvery > 0 && a.requestsSeen % f.silentEvery == 0))
            continue;
        if (f.answerData)
            answerData = *f.answerData;
        bool damage = f.badCheckByte;
        bool wrongCommand = f.wrongCommand;
        if (f.randomFaultRate > 0 &&
            std::uniform_real_distribution<double>(0, 1)(impl_->random) < f.randomFaultRate) {
            const int kind = int(impl_->random() % 3);
            if (kind == 0)
                continue;
            (kind == 1 ? damage : wrongCommand) = true;
        }
        const int answerCommand = wrongCommand ? (command + 1) & 0x7F : command;
        std::vector<std::uint8_t> frame =
            answerFrame(a.state.address, answerCommand, answerData, damage);
        if (f.cutAfter >= 0 && std::size_t(f.cutAfter) < frame.size())
            frame.resize(std::size_t(f.cutAfter));
        Answer answer{strayBytes(f.strayBytes), f.byteGap, f.delay};
        answer.bytes.insert(answer.bytes.end(), frame.begin(), frame.end());
        answers.push_back(std::move(answer));
    }
    if (impl_->collisions && answers.size() > 1)
        return {overlap(answers)};
    return answers;
}

}  // namespace sim
