#include "wakecodec.h"

namespace wake {

std::uint8_t crcFold(std::uint8_t crc, std::uint8_t byte)
{
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit)
        crc = (crc & 1) ? static_cast<std::uint8_t>((crc >> 1) ^ 0x8C)
                        : static_cast<std::uint8_t>(crc >> 1);
    return crc;
}

std::uint8_t crc(const std::uint8_t* bytes, std::size_t count, std::uint8_t init)
{
    std::uint8_t c = init;
    for (std::size_t i = 0; i < count; ++i)
        c = crcFold(c, bytes[i]);
    return c;
}

std::size_t stuffByte(std::uint8_t byte, std::uint8_t* out)
{
    if (byte == Fend || byte == Fesc) {
        out[0] = Fesc;
        out[1] = byte == Fend ? Tfend : Tfesc;
        return 2;
    }
    out[0] = byte;
    return 1;
}

namespace {

void appendStuffed(TxBuffer& out, std::size_t& length, std::uint8_t byte)
{
    length += stuffByte(byte, out.data() + length);
}

// One byte after FEND with its escape undone; false on a failed read or an
// escape that is neither TFEND nor TFESC.
bool readUnstuffed(ByteReader& in, std::uint8_t& byte)
{
    if (!in.readByte(byte))
        return false;
    if (byte != Fesc)
        return true;
    std::uint8_t second = 0;
    if (!in.readByte(second))
        return false;
    if (second == Tfend)
        byte = Fend;
    else if (second == Tfesc)
        byte = Fesc;
    else
        return false;
    return true;
}

}  // namespace

std::size_t encodeFrame(std::uint8_t address, std::uint8_t command, std::uint8_t count,
                        const std::uint8_t* data, TxBuffer& out)
{
    std::size_t length = 0;
    std::uint8_t c = crcFold(CrcInit, Fend);
    out[length++] = Fend;
    if (address != 0) {
        const std::uint8_t a = address & 0x7F;
        c = crcFold(c, a);
        appendStuffed(out, length, a | 0x80);
    }
    const std::uint8_t cmd = command & 0x7F;
    c = crcFold(c, cmd);
    appendStuffed(out, length, cmd);
    c = crcFold(c, count);
    appendStuffed(out, length, count);
    for (std::size_t i = 0; i < count; ++i) {
        c = crcFold(c, data[i]);
        appendStuffed(out, length, data[i]);
    }
    appendStuffed(out, length, c);
    return length;
}

bool decodeFrame(ByteReader& in, std::uint8_t* address, std::uint8_t* command, std::uint8_t* count,
                 std::uint8_t* data)
{
    std::uint8_t byte = 0;
    bool found = false;
    for (int reads = 0; reads < HuntLimit; ++reads) {
        if (!in.readByte(byte))
            break;
        if (byte == Fend) {
            found = true;
            break;
        }
    }
    if (!found)
        return false;

    std::uint8_t c = crcFold(CrcInit, Fend);
    *count = 0;
    *address = 0;

    enum class Position { AddressOrCommand, Command, Count, Payload };
    Position position = Position::AddressOrCommand;
    std::size_t n = 0;  // the count as decoded; data index k == n is the check byte
    std::size_t k = 0;
    for (;;) {
        if (!readUnstuffed(in, byte))
            return false;
        switch (position) {
        case Position::AddressOrCommand:
            if (byte & 0x80) {
                byte &= 0x7F;
                *address = byte;
                position = Position::Command;
            } else {
                *command = byte;
                position = Position::Count;
            }
            c = crcFold(c, byte);
            break;
        case Position::Command:
            if (byte & 0x80)
                return false;
            *command = byte;
            position = Position::Count;
            c = crcFold(c, byte);
            break;
        case Position::Count:
            *count = byte;
            n = byte;
            position = Position::Payload;
            k = 0;
            c = crcFold(c, byte);
            break;
        case Position::Payload:
            c = crcFold(c, byte);
            if (k < n) {
                data[k++] = byte;
                break;
            }
            return c == 0;  // the check byte has been folded in
        }
    }
}

}  // namespace wake
