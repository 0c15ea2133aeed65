// Windows backend: the communications functions on a synchronous handle,
// with the device-control block and time-outs the port functions promise.
#include "backend.h"

#include "portname.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace serlink::backend {

const Handle invalidHandle = reinterpret_cast<Handle>(INVALID_HANDLE_VALUE);

namespace {

// Read and write access, no sharing, open existing only, synchronous I/O.
HANDLE openExclusive(const char* name)
{
    const std::string path = devicePath(name);
    if (path.empty())
        return INVALID_HANDLE_VALUE;
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                       nullptr);
}

// Only NT-based systems let the serial driver toggle RTS around a
// transmission. Every 64-bit Windows is one; the question is still asked.
bool platformIsNT()
{
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

}  // namespace

// A handle that opens but is no serial port (a file, NUL) has no DCB.
bool probe(const char* name)
{
    const HANDLE h = openExclusive(name);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    const bool serial = GetCommState(h, &dcb);
    CloseHandle(h);
    return serial;
}

struct Port::Impl {
    HANDLE handle = INVALID_HANDLE_VALUE;
    DCB dcb{};
    DCB savedDcb{};
    COMMTIMEOUTS timeouts{};
    COMMTIMEOUTS savedTimeouts{};
    bool saved = false;  // the device's own settings were read at open
    bool isNT = true;
    std::size_t lastWrite = 0;  // bytes of the last write, for the transmitter wait

    bool applyDcb() { return SetCommState(handle, &dcb); }

    // Some drivers (and Wine on a pseudo-terminal) accept RTS_CONTROL_TOGGLE
    // and then do not toggle: only a driver that reports the mode back has it.
    bool driverTakesToggle()
    {
        dcb.fRtsControl = RTS_CONTROL_TOGGLE;
        if (!applyDcb())
            return false;
        DCB check{};
        check.DCBlength = sizeof check;
        return GetCommState(handle, &check) && check.fRtsControl == RTS_CONTROL_TOGGLE;
    }

    DWORD characterMicroseconds() const
    {
        const DWORD rate = dcb.BaudRate ? dcb.BaudRate : 9600;
        return 10'000'000 / rate + 1;
    }
};

Port::Port(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Port::~Port()
{
    close();
}

std::unique_ptr<Port> Port::open(const char* name)
{
    auto impl = std::make_unique<Impl>();
    impl->isNT = platformIsNT();
    impl->handle = openExclusive(name);
    if (impl->handle == INVALID_HANDLE_VALUE)
        return nullptr;
    return std::unique_ptr<Port>(new Port(std::move(impl)));
}

Handle Port::handle() const
{
    return reinterpret_cast<Handle>(impl_->handle);
}

// Fields not set here keep the device's values: the XON/XOFF limits and
// characters, the error, end-of-file and event characters, fTXContinueOnXoff.
bool Port::configure(std::uint32_t baud)
{
    Impl& port = *impl_;
    port.dcb.DCBlength = sizeof port.dcb;
    if (!GetCommState(port.handle, &port.dcb) || !GetCommTimeouts(port.handle, &port.timeouts))
        return false;
    port.savedDcb = port.dcb;
    port.savedTimeouts = port.timeouts;
    port.saved = true;

    DCB& d = port.dcb;
    d.BaudRate = baud;
    d.fBinary = 1;
    d.fParity = 0;
    d.fOutxCtsFlow = 0;
    d.fOutxDsrFlow = 0;
    d.fDtrControl = DTR_CONTROL_DISABLE;
    d.fDsrSensitivity = 0;
    d.fOutX = 0;
    d.fInX = 0;
    d.fErrorChar = 0;
    d.fNull = 0;
    d.fRtsControl = RTS_CONTROL_ENABLE;
    d.fAbortOnError = 0;
    d.ByteSize = 8;
    d.Parity = NOPARITY;
    d.StopBits = ONESTOPBIT;
    if (!port.applyDcb() || !SetupComm(port.handle, 512, 512))
        return false;

    // Both read values at MAXDWORD with a constant: a read returns at once
    // with what is queued, else with the first byte within the constant.
    port.timeouts.ReadIntervalTimeout = MAXDWORD;
    port.timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    port.timeouts.ReadTotalTimeoutConstant = 1000;
    port.timeouts.WriteTotalTimeoutMultiplier = 0;
    port.timeouts.WriteTotalTimeoutConstant = 1000;
    if (!SetCommTimeouts(port.handle, &port.timeouts))
        return false;
    return purge();
}

// The handle is closed even when the device refuses its old settings, so
// that a failed CloseCOM does not keep the port from other programs.
bool Port::close()
{
    Impl& port = *impl_;
    if (port.handle == INVALID_HANDLE_VALUE)
        return false;
    bool restored = true;
    if (port.saved) {
        restored = SetCommState(port.handle, &port.savedDcb) &&
                   SetCommTimeouts(port.handle, &port.savedTimeouts);
    }
    const bool closed = CloseHandle(port.handle);
    port.handle = INVALID_HANDLE_VALUE;
    return restored && closed;
}

bool Port::setMode(bool directionMode, int rtsLowBits, int dtrLowBits)
{
    Impl& port = *impl_;
    if (port.handle == INVALID_HANDLE_VALUE)
        return false;
    dirControl_ = directionMode;
    driverSwitches_ = false;
    port.dcb.fDtrControl = static_cast<DWORD>(dtrLowBits);
    if (directionMode) {
        driverSwitches_ = port.isNT && port.driverTakesToggle();
        // Otherwise the library raises RTS around each frame; idle it is low.
        if (!driverSwitches_)
            port.dcb.fRtsControl = RTS_CONTROL_DISABLE;
    } else {
        port.dcb.fRtsControl = static_cast<DWORD>(rtsLowBits);
    }
    return port.applyDcb();
}

bool Port::escape(std::uint32_t function)
{
    return EscapeCommFunction(impl_->handle, function);
}

bool Port::modemStatus(std::uint32_t& status)
{
    DWORD lines = 0;
    if (!GetCommModemStatus(impl_->handle, &lines))
        return false;
    status = lines;
    return true;
}

bool Port::purge()
{
    return PurgeComm(impl_->handle, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
}

bool Port::discardInput()
{
    return PurgeComm(impl_->handle, PURGE_RXCLEAR);
}

bool Port::flush()
{
    return FlushFileBuffers(impl_->handle);
}

bool Port::eventMask(std::uint32_t& mask)
{
    DWORD m = 0;
    if (!GetCommMask(impl_->handle, &m))
        return false;
    mask = m;
    return true;
}

bool Port::setEventMask(std::uint32_t mask)
{
    return SetCommMask(impl_->handle, mask);
}

bool Port::waitEvent(std::uint32_t& event)
{
    DWORD e = 0;
    if (!WaitCommEvent(impl_->handle, &e, nullptr))
        return false;
    event = e;
    return true;
}

bool Port::setReadTimeout(std::uint32_t milliseconds)
{
    Impl& port = *impl_;
    port.timeouts.ReadTotalTimeoutConstant = milliseconds;
    return SetCommTimeouts(port.handle, &port.timeouts);
}

bool Port::readByte(std::uint8_t& byte)
{
    DWORD n = 0;
    return ReadFile(impl_->handle, &byte, 1, &n, nullptr) && n == 1;
}

bool Port::write(const std::uint8_t* bytes, std::size_t count)
{
    DWORD n = 0;
    impl_->lastWrite = count;
    return WriteFile(impl_->handle, bytes, static_cast<DWORD>(count), &n, nullptr) && n == count;
}

bool Port::setRts(bool on)
{
    return EscapeCommFunction(impl_->handle, on ? SETRTS : CLRRTS);
}

// An NT system gives no access to the UART's line-status register. The flush
// returns once the driver has handed every byte to the UART; what its
// transmit FIFO (16 bytes on a 16550) and shift register still hold leaves
// within that many character times more, so RTS stays up that long and no
// longer, since the answer may follow at once.
void Port::waitTransmitterEmpty()
{
    Impl& port = *impl_;
    FlushFileBuffers(port.handle);
    constexpr std::size_t transmitFifo = 16;
    const DWORD characters = static_cast<DWORD>(std::min(port.lastWrite, transmitFifo) + 1);
    const DWORD micros = port.characterMicroseconds() * characters;
    Sleep((micros + 999) / 1000);
}

}  // namespace serlink::backend
