// A reference WAKE framing written for the tests alone, from the frame rules
// and not from the shared codec, so that a fault shared by both ends of our
// own codec cannot hide. It is checked against the worked frames first.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace wire {

using Bytes = std::vector<std::uint8_t>;

// The check byte's register, folded bit by bit in the form of the rules:
// ((c XOR 0x18) >> 1) | 0x80 when bit 0 of (b XOR c) is set.
inline std::uint8_t fold(std::uint8_t c, std::uint8_t b)
{
    for (int i = 0; i < 8; ++i) {
        if ((b ^ c) & 1)
            c = std::uint8_t(((c ^ 0x18) >> 1) | 0x80);
        else
            c = std::uint8_t(c >> 1);
        b = std::uint8_t(b >> 1);
    }
    return c;
}

inline void stuff(Bytes& out, std::uint8_t b)
{
    if (b == 0xC0) {
        out.push_back(0xDB);
        out.push_back(0xDC);
    } else if (b == 0xDB) {
        out.push_back(0xDB);
        out.push_back(0xDD);
    } else {
        out.push_back(b);
    }
}

// Address 0: no address byte.
inline Bytes frame(int address, int command, const Bytes& data)
{
    Bytes out{0xC0};
    std::uint8_t c = fold(0xDE, 0xC0);
    if (address != 0) {
        c = fold(c, std::uint8_t(address & 0x7F));
        stuff(out, std::uint8_t(address | 0x80));
    }
    c = fold(c, std::uint8_t(command & 0x7F));
    stuff(out, std::uint8_t(command & 0x7F));
    c = fold(c, std::uint8_t(data.size()));
    stuff(out, std::uint8_t(data.size()));
    for (std::uint8_t b : data) {
        c = fold(c, b);
        stuff(out, b);
    }
    stuff(out, c);
    return out;
}

struct Frame {
    int address = 0;  // 0: no address byte
    int command = 0;
    Bytes data;
};

// Decodes exactly one whole frame (nothing before or after it); nothing when
// the bytes are not a valid frame.
inline std::optional<Frame> unframe(const Bytes& wire)
{
    if (wire.empty() || wire[0] != 0xC0)
        return std::nullopt;
    Bytes plain;
    for (std::size_t i = 1; i < wire.size(); ++i) {
        std::uint8_t b = wire[i];
        if (b == 0xC0)
            return std::nullopt;
        if (b == 0xDB) {
            if (++i >= wire.size())
                return std::nullopt;
            if (wire[i] == 0xDC)
                b = 0xC0;
            else if (wire[i] == 0xDD)
                b = 0xDB;
            else
                return std::nullopt;
        }
        plain.push_back(b);
    }
    Frame f;
    std::size_t at = 0;
    std::uint8_t c = fold(0xDE, 0xC0);
    if (at < plain.size() && (plain[at] & 0x80)) {
        f.address = plain[at] & 0x7F;
        c = fold(c, std::uint8_t(f.address));
        ++at;
    }
    if (plain.size() < at + 3)
        return std::nullopt;
    f.command = plain[at];
    const std::size_t count = plain[at + 1];
    if (plain.size() != at + 2 + count + 1)
        return std::nullopt;
    for (std::size_t i = at; i < plain.size(); ++i)
        c = fold(c, plain[i]);
    if (c != 0)
        return std::nullopt;
    f.data.assign(plain.begin() + long(at + 2), plain.begin() + long(at + 2 + count));
    return f;
}

}  // namespace wire
