// The device's error codes: the first data byte of every answer but GetInfo's.
#pragma once

#include <cstdint>

namespace wake {

enum class DeviceError : std::uint8_t {
    None = 0,
    BadPacket = 1,
    Busy = 2,
    NotReady = 3,
    BadParams = 4,
    NoResponse = 5,
    NoCarrier = 6,
};

// The text the program shows for a code; a code above 6 reads as a bad packet.
const char* deviceErrorText(int code);

}  // namespace wake
