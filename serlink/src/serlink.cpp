// The fourteen exported functions: the library's process-wide state and the
// frame functions, on top of the platform backend.
#include "serlink.h"

#include "backend.h"
#include "wakecodec.h"

#include <algorithm>
#include <chrono>

namespace {

struct LinkState {
    serlink::backend::Handle portHandle = 0;  // keeps its last value after CloseCOM
    bool isOpen = false;
    bool dirControl = false;
    // The driver switches RTS around transmissions (kernel RS-485 mode).
    bool driverSwitches = false;
    uint32_t eventMask = 0;
    uint32_t baud = 9600;  // as the port was last opened
};

LinkState state;

using Clock = std::chrono::steady_clock;

// The longest a frame may take, whatever the line sends: one byte time-out
// plus the line time of the longest hunt and the longest frame (10 bits a
// byte), and a little for the scheduler. Without it a device that trickles
// noise just within the byte time-out holds the receiver for 512 of them.
Clock::duration frameBudget(uint32_t byteTimeoutMs, uint32_t baud)
{
    constexpr auto margin = std::chrono::milliseconds(10);
    const long long bytes = wake::HuntLimit + static_cast<long long>(wake::LongestFrame);
    const auto lineTime = std::chrono::microseconds(bytes * 10'000'000LL / std::max<uint32_t>(baud, 1));
    return std::chrono::milliseconds(byteTimeoutMs) + lineTime + margin;
}

class PortReader : public wake::ByteReader {
public:
    explicit PortReader(Clock::time_point deadline) : deadline_(deadline) {}
    bool readByte(std::uint8_t& byte) override
    {
        // Also when bytes are queued: a flood must not stretch the frame either.
        return Clock::now() < deadline_ && serlink::backend::readByte(byte, deadline_);
    }

private:
    Clock::time_point deadline_;
};

int result(bool ok) { return ok ? 1 : 0; }

// The backend gives a device that has gone back at once; the handle then
// reads as after a failed open, which is how a caller learns of it.
int frameResult(bool ok)
{
    if (serlink::backend::takeDeviceGone()) {
        state.isOpen = false;
        state.portHandle = serlink::backend::invalidHandle;
    }
    return result(ok);
}

}  // namespace

extern "C" {

int AccessCOM(const char* name)
{
    return result(name != nullptr && serlink::backend::probe(name));
}

int OpenCOM(const char* name, uint32_t baud)
{
    if (name == nullptr)
        return 0;
    state.dirControl = false;
    state.driverSwitches = false;
    state.eventMask = 0;
    state.baud = baud;
    const bool opened = serlink::backend::open(name, state.portHandle);
    state.isOpen = opened;
    if (!opened)
        return 0;
    return result(serlink::backend::configure(baud));
}

int CloseCOM(void)
{
    if (!state.isOpen)
        return 0;
    state.isOpen = false;
    return result(serlink::backend::close());
}

intptr_t GetHandleCOM(void)
{
    return state.portHandle;
}

int SetModeCOM(int rtsMode, int dtrMode)
{
    state.dirControl = rtsMode == 3;
    return result(serlink::backend::setMode(state.dirControl, rtsMode & 3, dtrMode & 3,
                                            state.driverSwitches));
}

int SetModLns(uint32_t function)
{
    return result(serlink::backend::escape(function));
}

int GetModLns(uint32_t* status)
{
    return result(status != nullptr && serlink::backend::modemStatus(*status));
}

int PurgeCOM(void)
{
    return result(serlink::backend::purge());
}

int FlushCOM(void)
{
    return result(serlink::backend::flush());
}

int GetMaskCOM(uint32_t* mask)
{
    if (mask == nullptr || !state.isOpen)
        return 0;
    *mask = state.eventMask;
    return 1;
}

int SetMaskCOM(uint32_t mask)
{
    if (!state.isOpen)
        return 0;
    state.eventMask = mask;
    return 1;
}

int WaitEventCOM(uint32_t* event)
{
    return result(event != nullptr && serlink::backend::waitEvent(state.eventMask, *event));
}

int TxFrame(uint8_t address, uint8_t command, uint8_t count, const uint8_t* data)
{
    if (count != 0 && data == nullptr)
        return 0;
    wake::TxBuffer buffer;
    const std::size_t length = wake::encodeFrame(address, command, count, data, buffer);
    // A request starts a new exchange: a late answer to an earlier request, a
    // second answer to a frame without address, or noise still queued would
    // otherwise be read as the answer to this one.
    serlink::backend::discardInput();
    const bool librarySwitches = state.dirControl && !state.driverSwitches;
    if (librarySwitches)
        serlink::backend::setRts(true);
    const bool written = serlink::backend::write(buffer.data(), length);
    if (librarySwitches) {
        // Also after a failed write: the transmitter must never stay on the bus.
        serlink::backend::waitTransmitterEmpty();
        serlink::backend::setRts(false);
    }
    return frameResult(written);
}

int RxFrame(uint32_t timeout, uint8_t* address, uint8_t* command, uint8_t* count, uint8_t* data)
{
    if (address == nullptr || command == nullptr || count == nullptr || data == nullptr)
        return 0;
    if (!serlink::backend::setReadTimeout(timeout))
        return 0;
    PortReader reader(Clock::now() + frameBudget(timeout, state.baud));
    return frameResult(wake::decodeFrame(reader, address, command, count, data));
}

}  // extern "C"
