// The platform layer under the port and frame functions. One implementation
// per platform (backend_posix.cpp, backend_win32.cpp); the portable code in serlink.cpp keeps the
// one open Port and builds frames on top of its calls.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace serlink::backend {

using Handle = std::intptr_t;
extern const Handle InvalidHandle;

// Opens the named port for reading and writing without sharing, and closes it
// again at once.
bool probe(const char* name);

// One open serial port: its handle, the settings found at open, its RS-485
// and direction state and its event mask. Destroying it closes the port.
class Port {
public:
    // Opens the named port without sharing; nullptr when it cannot be had.
    static std::unique_ptr<Port> open(const char* name);
    ~Port();
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    Handle handle() const;

    // Saves the device's settings, then applies 8N1 raw at the baud rate, DTR
    // off, RTS on, the initial read time-out of 1000 ms, and empties both queues.
    bool configure(std::uint32_t baud);
    // Restores the saved settings and closes the device; later calls fail.
    bool close();

    // RTS/DTR handling; directionMode asks RS-485 direction control.
    bool setMode(bool directionMode, int rtsLowBits, int dtrLowBits);
    // RS-485 direction control was asked for.
    bool directionControl() const { return dirControl_; }
    // The driver itself switches RTS around transmissions (the kernel's
    // RS-485 mode, RTS_CONTROL_TOGGLE).
    bool driverSwitches() const { return driverSwitches_; }

    bool escape(std::uint32_t function);
    bool modemStatus(std::uint32_t& status);
    bool purge();
    // Drops what the input queue holds, unread.
    bool discardInput();
    bool flush();
    // The events waitEvent waits for (EV_RXCHAR 0x001, EV_TXEMPTY 0x004, ...).
    bool eventMask(std::uint32_t& mask);
    bool setEventMask(std::uint32_t mask);
    bool waitEvent(std::uint32_t& event);

    bool setReadTimeout(std::uint32_t milliseconds);
    // One byte: at once when queued, else the first one within the read
    // time-out, and never after notAfter (the end of the frame's time).
    bool readByte(std::uint8_t& byte, std::chrono::steady_clock::time_point notAfter);
    // All bytes within the write time-out; false when fewer were written.
    bool write(const std::uint8_t* bytes, std::size_t count);
    // A read or write found the device gone (unplugged, hung up); it has been
    // given back at once, and every later call fails.
    bool gone() const;

    // The library's own RS-485 switching: transmitter on before the write, and
    // off once the last stop bit of the frame written from writeStart has
    // left the line (bounded in time).
    bool setRts(bool on);
    void waitTransmitterEmpty(std::chrono::steady_clock::time_point writeStart,
                              std::size_t frameBytes);

private:
    struct Impl;
    explicit Port(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
    // Set by setMode in each backend.
    bool dirControl_ = false;
    bool driverSwitches_ = false;
};

}  // namespace serlink::backend
