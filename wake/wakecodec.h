// WAKE frame codec: pure functions, bytes in and bytes out, shared by the
// serial link library (host side) and the simulated line (device side).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace wake {

inline constexpr std::uint8_t Fend = 0xC0;
inline constexpr std::uint8_t Fesc = 0xDB;
inline constexpr std::uint8_t Tfend = 0xDC;
inline constexpr std::uint8_t Tfesc = 0xDD;
inline constexpr std::uint8_t CrcInit = 0xDE;
inline constexpr std::size_t MaxData = 255;
// FEND plus twice the 259 bytes that can follow it.
inline constexpr std::size_t TxBufferSize = 519;
inline constexpr std::size_t LongestFrame = 517;
// Bytes read while hunting for FEND before the receiver gives up.
inline constexpr int HuntLimit = 512;

using TxBuffer = std::array<std::uint8_t, TxBufferSize>;

// Folds one byte into the CRC-8 register (0x31 reflected, no final inversion).
std::uint8_t crcFold(std::uint8_t crc, std::uint8_t byte);
std::uint8_t crc(const std::uint8_t* bytes, std::size_t count, std::uint8_t init = CrcInit);

// Writes the byte as it travels after FEND (escaped where it is FEND or FESC)
// to out, which must hold two bytes; returns how many were written.
std::size_t stuffByte(std::uint8_t byte, std::uint8_t* out);

// Builds the stuffed frame; returns its length (at most LongestFrame).
// Address 0 leaves the address byte out; bit 7 of address and command is ignored.
std::size_t encodeFrame(std::uint8_t address, std::uint8_t command, std::uint8_t count,
                        const std::uint8_t* data, TxBuffer& out);

// Where the receiver takes its bytes from, one at a time.
class ByteReader {
public:
    virtual ~ByteReader() = default;
    // False when no byte came in time or the source failed.
    virtual bool readByte(std::uint8_t& byte) = 0;
};

// Hunts for FEND (at most HuntLimit reads), then decodes one frame while its
// bytes arrive. True only for a complete frame with a correct check byte.
// Outputs: untouched when no FEND was found; otherwise address and count are
// set to 0 first, and every field is stored as far as it was decoded.
// data must hold MaxData bytes.
bool decodeFrame(ByteReader& in, std::uint8_t* address, std::uint8_t* command, std::uint8_t* count,
                 std::uint8_t* data);

}  // namespace wake
