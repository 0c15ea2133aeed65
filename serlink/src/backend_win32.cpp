// Windows backend: the communications functions on a synchronous handle,
// with the device-control block and time-outs the port functions promise.
#include "backend.h"

#include "portname.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <string>

namespace serlink::backend {

const Handle InvalidHandle = reinterpret_cast<Handle>(INVALID_HANDLE_VALUE);

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
    bool gone = false;  // the device went away and was given back

    // What ReadFile and WriteFile answer once a USB adapter has gone.
    static bool deviceGoneError(DWORD error)
    {
        return error == ERROR_DEVICE_NOT_CONNECTED || error == ERROR_DEVICE_REMOVED ||
               error == ERROR_BAD_COMMAND || error == ERROR_ACCESS_DENIED ||
               error == ERROR_GEN_FAILURE;
    }

    // A device that has gone is given back at once, without restoring
    // settings it no longer has, so that a re-plugged adapter gets its name.
    bool failed()
    {
        if (!deviceGoneError(GetLastError()))
            return false;
        CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
        gone = true;
        return false;
    }

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

bool Port::readByte(std::uint8_t& byte, std::chrono::steady_clock::time_point notAfter)
{
    Impl& port = *impl_;
    if (port.handle == INVALID_HANDLE_VALUE)
        return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          notAfter - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0)
        return false;
    // Near the end of the frame's time the wait for this byte is cut to what
    // is left of it; the read time-out comes back for the next byte.
    const DWORD constant = port.timeouts.ReadTotalTimeoutConstant;
    const bool cut = static_cast<unsigned long long>(left) < constant;
    if (cut && !setReadTimeout(static_cast<std::uint32_t>(left)))
        return false;
    DWORD n = 0;
    const bool read = ReadFile(port.handle, &byte, 1, &n, nullptr);
    const bool ok = read ? n == 1 : port.failed();
    if (cut && port.handle != INVALID_HANDLE_VALUE)
        setReadTimeout(constant);
    return ok;
}

bool Port::write(const std::uint8_t* bytes, std::size_t count)
{
    Impl& port = *impl_;
    if (port.handle == INVALID_HANDLE_VALUE)
        return false;
    DWORD n = 0;
    if (!WriteFile(port.handle, bytes, static_cast<DWORD>(count), &n, nullptr))
        return port.failed();
    return n == count;
}

bool Port::gone() const
{
    return impl_->gone;
}

bool Port::setRts(bool on)
{
    return EscapeCommFunction(impl_->handle, on ? SETRTS : CLRRTS);
}

// An NT system gives no access to the UART's line-status register. RTS stays
// up at least for the frame's line time from the start of the write (the
// driver's queue and the UART's FIFO empty only at the line's pace), then
// until the driver has handed every byte over (the flush), and one character
// time more for the shift register; no longer, since the answer may follow
// at once.
void Port::waitTransmitterEmpty(std::chrono::steady_clock::time_point writeStart,
                                std::size_t frameBytes)
{
    Impl& port = *impl_;
    if (port.handle == INVALID_HANDLE_VALUE)
        return;
    using Clock = std::chrono::steady_clock;
    const std::chrono::microseconds character(port.characterMicroseconds());
    const Clock::time_point lineEnd = writeStart + character * static_cast<long long>(frameBytes);
    FlushFileBuffers(port.handle);
    const Clock::time_point until = std::max(lineEnd, Clock::time_point(Clock::now() + character));
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        until - std::chrono::steady_clock::now() + std::chrono::microseconds(999));
    if (left.count() > 0)
        Sleep(static_cast<DWORD>(left.count()));
}

}  // namespace serlink::backend
