#include "actuator.h"

#include <algorithm>
#include <cmath>

#include "cp1251.h"
#include "codes.h"

namespace sim {

namespace {

int word(const std::vector<std::uint8_t>& d, std::size_t at)
{
    return d[at] | (d[at + 1] << 8);
}

void putWord(std::vector<std::uint8_t>& out, int v)
{
    out.push_back(std::uint8_t(v & 0xFF));
    out.push_back(std::uint8_t((v >> 8) & 0xFF));
}

std::vector<std::uint8_t> error(std::uint8_t code)
{
    return {code};
}

}  // namespace

Actuator::Actuator(int address, const std::string& info)
{
    state.address = address;
    state.info = info;
    refresh();
}

double Actuator::motorPosition() const
{
    return double(state.N) * MotorStepsPerOptical + motorFrac_;
}

void Actuator::setMotorPosition(double steps)
{
    double n = std::floor(steps / MotorStepsPerOptical);
    n = std::clamp(n, -32768.0, 32767.0);
    state.N = int(n);
    motorFrac_ = std::clamp(steps - n * MotorStepsPerOptical, 0.0, double(MotorStepsPerOptical));
    knownN_ = state.N;
}

int Actuator::workingSpeed() const
{
    const int speeds[4] = {state.V1, state.V2, state.V3, state.V4};
    return speeds[state.workStatus & wake::workstatus::SpeedMask];
}

bool Actuator::zoneActive(bool upper) const
{
    const int marks =
        (state.workStatus >> wake::workstatus::ZoneShift) & wake::workstatus::ZoneMask;
    return marks !=
           (upper ? wake::workstatus::UpperZoneInactive : wake::workstatus::LowerZoneInactive);
}

void Actuator::startMotion(int direction)
{
    powered_ = true;
    direction_ = direction;
    state.driveFlags &= ~(flag::OpenCmd | flag::CloseCmd);
    state.driveFlags |= flag::Pc | (direction > 0 ? flag::OpenCmd : flag::CloseCmd);
    double p = motorPosition();
    bool atTargetEnd = direction > 0 ? p >= endMotor() : p <= 0;
    bool atOtherEnd = direction > 0 ? (p <= 0 || state.driveState == drive::CloseFinished)
                                    : (p >= endMotor() || state.driveState == drive::OpenFinished);
    if (atTargetEnd)
        finishAtEnd();
    else
        enterPhase(atOtherEnd ? Phase::Unlock : Phase::Backlash);
}

void Actuator::stopMotion(bool switchOff)
{
    phase_ = Phase::Idle;
    direction_ = 0;
    state.driveState = drive::Stopped;
    state.driveFlags &= ~(flag::OpenCmd | flag::CloseCmd);
    state.driveFlags |= flag::Pc;
    if (switchOff)
        powered_ = false;
}

void Actuator::finishAtEnd()
{
    phase_ = Phase::Idle;
    setMotorPosition(direction_ > 0 ? endMotor() : 0.0);
    state.driveState = direction_ > 0 ? drive::OpenFinished : drive::CloseFinished;
    state.driveFlags &= ~(flag::OpenCmd | flag::CloseCmd);
    direction_ = 0;
}

void Actuator::enterPhase(Phase phase)
{
    const bool open = direction_ > 0;
    const double p = motorPosition();
    const double end = endMotor();
    auto towards = [&](double distance) {
        return open ? std::min(p + distance, end) : std::max(p - distance, 0.0);
    };
    phase_ = phase;
    switch (phase) {
    case Phase::Unlock:  // leaving the locked end through its zone, slowly
        target_ = towards(open ? state.Nc : state.No);
        speed_ = state.Vl;
        state.driveState = open ? drive::UnlockingOpen : drive::UnlockingClose;
        break;
    case Phase::Backlash:
        target_ = towards(state.Np);
        speed_ = state.Vp;
        state.driveState = open ? drive::BacklashOpen : drive::BacklashClose;
        break;
    case Phase::Move:
        if (open)
            target_ = zoneActive(true) ? std::max(end - state.No, 0.0) : end;
        else
            target_ = zoneActive(false) ? std::min(double(state.Nc), end) : 0.0;
        speed_ = workingSpeed();
        state.driveState = open ? drive::Opening : drive::Closing;
        break;
    case Phase::Lock:
        target_ = open ? end : 0.0;
        speed_ = state.Vl;
        state.driveState = open ? drive::LockingOpen : drive::LockingClose;
        break;
    case Phase::Idle: break;
    }
}

void Actuator::syncCounter()
{
    if (state.N != knownN_) {  // a test moved the counter
        knownN_ = state.N;
        motorFrac_ = 0;
    }
}

void Actuator::advance(double seconds)
{
    syncCounter();
    if (state.frozen)
        return;
    // Every pass either ends a phase or uses up the time, so this ends.
    while (phase_ != Phase::Idle) {
        const double p = motorPosition();
        const double remaining = (target_ - p) * direction_;
        if (remaining > 0) {
            if (seconds <= 0 || speed_ <= 0)
                break;
            const double needed = remaining / speed_;
            if (needed > seconds) {
                setMotorPosition(p + direction_ * speed_ * seconds);
                seconds = 0;
                break;
            }
            setMotorPosition(target_);
            seconds -= needed;
        }
        switch (phase_) {
        case Phase::Unlock: enterPhase(Phase::Backlash); break;
        case Phase::Backlash: enterPhase(Phase::Move); break;
        case Phase::Move: enterPhase(Phase::Lock); break;
        case Phase::Lock: finishAtEnd(); break;
        case Phase::Idle: break;
        }
    }
    refresh();
}

void Actuator::refresh()
{
    if (state.frozen)
        return;
    state.driveFlags &= ~(flag::Limo | flag::Limc);
    if (state.N >= state.Nt)
        state.driveFlags |= flag::Limo;
    if (state.N <= 0)
        state.driveFlags |= flag::Limc;
    updateRelays();
}

void Actuator::updateRelays()
{
    for (int i = 0; i < 3; ++i) {
        const RelayConfig& r = state.relays[i];
        const int bit = 1 << i;
        double signal;
        if (r.mode == 1)
            signal = (state.inputCurrent - 4000) / 160.0;
        else if (r.mode == 2)
            signal = state.Nt > 0 ? state.N * 100.0 / state.Nt : 0.0;
        else {
            state.relayStates &= ~bit;
            continue;
        }
        const bool wasOn = state.relayStates & bit;
        const int slack = wasOn ? r.hyst : 0;
        const bool on = signal >= r.min - slack && signal <= r.max + slack;
        state.relayStates = on ? (state.relayStates | bit) : (state.relayStates & ~bit);
    }
}

std::vector<std::uint8_t> Actuator::execute(int command, const std::vector<std::uint8_t>& d)
{
    const wake::CommandInfo* entry = wake::findCommand(command);
    if (entry == nullptr)
        return error(ErrBadPacket);
    if (entry->command == cmd::GetInfo) {
        // The one answer without an error byte: the text and its zero byte.
        std::string text = cp1251::fromUtf8(state.info);
        if (text.size() > 254)
            text.resize(254);
        std::vector<std::uint8_t> out(text.begin(), text.end());
        out.push_back(0);
        return out;
    }
    if (int(d.size()) != entry->requestLength)
        return error(ErrBadPacket);
    syncCounter();

    std::vector<std::uint8_t> out{ErrNone};
    ActuatorState& s = state;
    switch (entry->command) {
    case cmd::SetAddr:
        if (d[0] != wake::SetAddrPrefix[0] || d[1] != wake::SetAddrPrefix[1] || d[2] < 1 ||
            d[2] > wake::MaxAddress)
            return error(ErrBadParams);
        s.address = d[2];
        break;
    case cmd::SetM:
        s.Vmin = word(d, 0);
        s.extraM = d[2];
        break;
    case cmd::GetM:
        putWord(out, s.Vmin);
        out.push_back(std::uint8_t(s.extraM));
        break;
    case cmd::SetA:
        s.A = word(d, 0);
        s.Ia = word(d, 2);
        break;
    case cmd::GetA:
        putWord(out, s.A);
        putWord(out, s.Ia);
        break;
    case cmd::SetP:
        s.Vp = word(d, 0);
        s.Ip = word(d, 2);
        s.Np = word(d, 4);
        break;
    case cmd::GetP:
        putWord(out, s.Vp);
        putWord(out, s.Ip);
        putWord(out, s.Np);
        break;
    case cmd::SetL:
        s.Vl = word(d, 0);
        s.Il = word(d, 2);
        s.No = word(d, 4);
        s.Nc = word(d, 6);
        break;
    case cmd::GetL:
        putWord(out, s.Vl);
        putWord(out, s.Il);
        putWord(out, s.No);
        putWord(out, s.Nc);
        break;
    case cmd::SetW:
        s.V1 = word(d, 0);
        s.I1 = word(d, 2);
        s.V2 = word(d, 4);
        s.I2 = word(d, 6);
        s.V3 = word(d, 8);
        s.I3 = word(d, 10);
        s.V4 = word(d, 12);
        s.I4 = word(d, 14);
        break;
    case cmd::GetW:
        for (int v : {s.V1, s.I1, s.V2, s.I2, s.V3, s.I3, s.V4, s.I4})
            putWord(out, v);
        out.push_back(std::uint8_t(s.workStatus));
        break;
    case cmd::SetS:
        switch (d[0]) {
        case wake::CmdStopOff: stopMotion(true); break;
        case wake::CmdStop: stopMotion(false); break;
        case wake::CmdOpen: startMotion(+1); break;
        case wake::CmdClose: startMotion(-1); break;
        default: return error(ErrBadParams);
        }
        break;
    case cmd::GetS:
        out.push_back(std::uint8_t(s.driveState));
        out.push_back(std::uint8_t(s.driveFlags));
        break;
    case cmd::SetN:
        s.N = std::int16_t(std::uint16_t(word(d, 0)));
        knownN_ = s.N;
        motorFrac_ = 0;
        break;
    case cmd::GetN: putWord(out, std::uint16_t(std::int16_t(s.N))); break;
    case cmd::SetT: s.Nt = word(d, 0); break;
    case cmd::GetT: putWord(out, s.Nt); break;
    case cmd::GetI: putWord(out, std::clamp(s.inputCurrent, 0, 0xFFFF)); break;
    case cmd::SetR:
        for (int i = 0; i < 3; ++i)
            s.relays[i] = RelayConfig{d[4 * i], d[4 * i + 1], d[4 * i + 2], d[4 * i + 3]};
        break;
    case cmd::GetR:
        for (const RelayConfig& r : s.relays)
            for (int v : {r.mode, r.min, r.max, r.hyst})
                out.push_back(std::uint8_t(v));
        break;
    case cmd::GetRS: out.push_back(std::uint8_t(s.relayStates)); break;
    default: return error(ErrBadPacket);
    }
    refresh();
    return out;
}

}  // namespace sim
