// The fourteen exported functions: the library's process-wide state and the
// frame functions, on top of the platform backend.
#include "serlink.h"

#include "backend.h"
#include "wakecodec.h"

#include <algorithm>
#include <chrono>

namespace {

using serlink::backend::Port;

// The one port the library owns, and the handle it had (GetHandleCOM still
// answers it after CloseCOM).
std::unique_ptr<Port> port;
serlink::backend::Handle lastHandle = 0;
uint32_t portBaud = 9600;  // as the port was last opened

using Clock = std::chrono::steady_clock;

// The longest a frame may take, whatever the line sends: one byte time-out
// plus the line time of the longest hunt and the longest frame (10 bits a
// byte), and a little for the scheduler. Without it a device that trickles
// noise just within the byte time-out holds the receiver for 512 of them.
Clock::duration frameBudget(uint32_t byteTimeoutMs, uint32_t baud)
{
    constexpr auto Margin = std::chrono::milliseconds(10);
    const long long bytes = wake::HuntLimit + static_cast<long long>(wake::LongestFrame);
    const auto lineTime =
        std::chrono::microseconds(bytes * 10'000'000LL / std::max<uint32_t>(baud, 1));
    return std::chrono::milliseconds(byteTimeoutMs) + lineTime + Margin;
}

class PortReader : public wake::ByteReader {
public:
    PortReader(Port& p, Clock::time_point deadline) : port_(p), deadline_(deadline) {}
    bool readByte(std::uint8_t& byte) override
    {
        // Also when bytes are queued: a flood must not stretch the frame either.
        return Clock::now() < deadline_ && port_.readByte(byte, deadline_);
    }

private:
    Port& port_;
    Clock::time_point deadline_;
};

int result(bool ok)
{
    return ok ? 1 : 0;
}

// A device that has gone was given back by the backend: the library holds no
// port then, and the handle reads as after a failed open, which is how a
// caller learns of it.
int frameResult(bool ok)
{
    if (port && port->gone()) {
        port.reset();
        lastHandle = serlink::backend::InvalidHandle;
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
    // A port opened earlier is given back first.
    port.reset();
    portBaud = baud;
    port = Port::open(name);
    lastHandle = port ? port->handle() : serlink::backend::InvalidHandle;
    if (!port)
        return 0;
    return result(port->configure(baud));
}

int CloseCOM(void)
{
    if (!port)
        return 0;
    const bool closed = port->close();
    port.reset();
    return result(closed);
}

intptr_t GetHandleCOM(void)
{
    return lastHandle;
}

int SetModeCOM(int rtsMode, int dtrMode)
{
    return result(port && port->setMode(rtsMode == 3, rtsMode & 3, dtrMode & 3));
}

int SetModLns(uint32_t function)
{
    return result(port && port->escape(function));
}

int GetModLns(uint32_t* status)
{
    return result(port && status != nullptr && port->modemStatus(*status));
}

int PurgeCOM(void)
{
    return result(port && port->purge());
}

int FlushCOM(void)
{
    return result(port && port->flush());
}

int GetMaskCOM(uint32_t* mask)
{
    return result(port && mask != nullptr && port->eventMask(*mask));
}

int SetMaskCOM(uint32_t mask)
{
    return result(port && port->setEventMask(mask));
}

int WaitEventCOM(uint32_t* event)
{
    return result(port && event != nullptr && port->waitEvent(*event));
}

int TxFrame(uint8_t address, uint8_t command, uint8_t count, const uint8_t* data)
{
    if (!port || (count != 0 && data == nullptr))
        return 0;
    wake::TxBuffer buffer;
    const std::size_t length = wake::encodeFrame(address, command, count, data, buffer);
    // A request starts a new exchange: a late answer to an earlier request, a
    // second answer to a frame without address, or noise still queued would
    // otherwise be read as the answer to this one.
    port->discardInput();
    // A port without modem lines (a pseudo-terminal) has no transmitter to
    // switch, nor to wait for.
    const bool librarySwitches =
        port->directionControl() && !port->driverSwitches() && port->setRts(true);
    const auto writeStart = Clock::now();
    const bool written = port->write(buffer.data(), length);
    if (librarySwitches) {
        // Also after a failed write: the transmitter must never stay on the bus.
        port->waitTransmitterEmpty(writeStart, length);
        port->setRts(false);
    }
    return frameResult(written);
}

int RxFrame(uint32_t timeout, uint8_t* address, uint8_t* command, uint8_t* count, uint8_t* data)
{
    if (!port || address == nullptr || command == nullptr || count == nullptr || data == nullptr)
        return 0;
    if (!port->setReadTimeout(timeout))
        return 0;
    PortReader reader(*port, Clock::now() + frameBudget(timeout, portBaud));
    return frameResult(wake::decodeFrame(reader, address, command, count, data));
}

}  // extern "C"
