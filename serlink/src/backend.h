// The platform layer under the port and frame functions. One implementation
// per platform (backend_posix.cpp today); the portable code in serlink.cpp
// keeps the library's state and builds frames on top of these calls.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace serlink::backend {

using Handle = std::intptr_t;
extern const Handle invalidHandle;

// Opens the named port for reading and writing without sharing, and closes it
// again at once.
bool probe(const char* name);
// Opens the named port without sharing and stores its handle (the invalid
// handle on failure). A port opened earlier is given back first.
bool open(const char* name, Handle& handle);
// Saves the device's settings, then applies 8N1 raw at the baud rate, DTR off,
// RTS on, the initial read time-out of 1000 ms, and empties both queues.
bool configure(std::uint32_t baud);
// Restores the saved settings and closes the device.
bool close();

// RTS/DTR handling; directionMode asks RS-485 direction control. Sets
// driverSwitches when the driver itself switches RTS around transmissions.
bool setMode(bool directionMode, int rtsLowBits, int dtrLowBits, bool& driverSwitches);
bool escape(std::uint32_t function);
bool modemStatus(std::uint32_t& status);
bool purge();
// Drops what the input queue holds, unread.
bool discardInput();
bool flush();
bool waitEvent(std::uint32_t mask, std::uint32_t& event);

bool setReadTimeout(std::uint32_t milliseconds);
// One byte: at once when queued, else the first one within the read time-out,
// and never after notAfter (the end of the frame's time).
bool readByte(std::uint8_t& byte, std::chrono::steady_clock::time_point notAfter);
// All bytes within the write time-out; false when fewer were written.
bool write(const std::uint8_t* bytes, std::size_t count);
// True once after a read or write found the device gone (unplugged, hung
// up); the backend has then given the device back, as closed.
bool takeDeviceGone();

// The library's own RS-485 switching: transmitter on before the write, and off
// once the last stop bit has left the line (bounded in time).
bool setRts(bool on);
void waitTransmitterEmpty();

}  // namespace serlink::backend
