// Frame codec against fixed wire bytes and an in-memory byte source.
#include "wakecodec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

class MemoryReader : public wake::ByteReader {
public:
    explicit MemoryReader(Bytes bytes) : bytes_(std::move(bytes)) {}
    bool readByte(std::uint8_t& byte) override
    {
        if (pos_ >= bytes_.size())
            return false;
        byte = bytes_[pos_++];
        return true;
    }
    std::size_t consumed() const { return pos_; }

private:
    Bytes bytes_;
    std::size_t pos_ = 0;
};

Bytes encode(std::uint8_t address, std::uint8_t command, const Bytes& data)
{
    wake::TxBuffer buffer{};
    const std::size_t n = wake::encodeFrame(
        address, command, static_cast<std::uint8_t>(data.size()), data.data(), buffer);
    return Bytes(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Outputs start at sentinel values so "untouched" can be seen; the data
// buffer has a guard byte after the 255 the decoder may use.
struct Outputs {
    std::uint8_t address = 0xAA;
    std::uint8_t command = 0xBB;
    std::uint8_t count = 0xCC;
    std::uint8_t data[wake::MaxData + 1];
    Outputs() { std::memset(data, 0xEE, sizeof data); }
    bool decode(wake::ByteReader& in)
    {
        return wake::decodeFrame(in, &address, &command, &count, data);
    }
    bool guardIntact() const { return data[wake::MaxData] == 0xEE; }
};

TEST(WakeCrc, CheckValueOfDigits)
{
    const std::string digits = "123456789";
    EXPECT_EQ(wake::crc(reinterpret_cast<const std::uint8_t*>(digits.data()), digits.size()), 0xC2);
}

TEST(WakeCrc, FoldingOwnCheckByteGivesZero)
{
    const Bytes frame = {0xC0, 0x01, 0x03, 0x00};
    const std::uint8_t check = wake::crc(frame.data(), frame.size());
    EXPECT_EQ(wake::crcFold(check, check), 0);
}

struct WorkedFrame {
    const char* name;
    std::uint8_t address;
    std::uint8_t command;
    Bytes data;
    Bytes wire;
};

const WorkedFrame workedFrames[] = {
    {"Addressed", 1, 3, {}, {0xC0, 0x81, 0x03, 0x00, 0xD3}},
    {"NoAddress", 0, 3, {}, {0xC0, 0x03, 0x00, 0xEB}},
    {"OneDataByte", 2, 16, {0x05}, {0xC0, 0x82, 0x10, 0x01, 0x05, 0x68}},
    {"AddressNeedsEscape", 64, 17, {}, {0xC0, 0xDB, 0xDC, 0x11, 0x00, 0x34}},
    {"DataNeedEscapes",
     1,
     18,
     {0xC0, 0xDB},
     {0xC0, 0x81, 0x12, 0x02, 0xDB, 0xDC, 0xDB, 0xDD, 0x36}},
};

TEST(WakeEncode, WorkedFramesByteForByte)
{
    for (const auto& f : workedFrames) {
        SCOPED_TRACE(f.name);
        EXPECT_EQ(encode(f.address, f.command, f.data), f.wire);
    }
}

TEST(WakeEncode, Bit7OfAddressAndCommandIgnored)
{
    EXPECT_EQ(encode(0x81, 0x83, {}), (Bytes{0xC0, 0x81, 0x03, 0x00, 0xD3}));
    // 0x80 is address 0 with bit 7 set: bits 0..6 are sent, so an address byte 0x80 appears.
    EXPECT_EQ(encode(0x80, 3, {}).size(), 5u);
}

TEST(WakeEncode, AddressNinetyOneAndCountsNeedingEscapes)
{
    const Bytes a91 = encode(91, 17, {});
    ASSERT_GE(a91.size(), 3u);
    EXPECT_EQ(a91[1], 0xDB);
    EXPECT_EQ(a91[2], 0xDD);
    const Bytes fold = {0xC0, 0x5B, 0x11, 0x00};
    EXPECT_EQ(a91.back(), wake::crc(fold.data(), fold.size()));

    for (std::uint8_t n : {std::uint8_t{0xC0}, std::uint8_t{0xDB}}) {
        const Bytes frame = encode(0, 5, Bytes(n, 0x11));
        EXPECT_EQ(frame[2], 0xDB);
        EXPECT_EQ(frame[3], n == 0xC0 ? 0xDC : 0xDD);
    }
}

TEST(WakeEncode, LongestFrameIs517Bytes)
{
    // Address 64, 255 data bytes that all need escapes, and a check byte that needs one too.
    bool found = false;
    for (int split = 0; split <= 255 && !found; ++split) {
        Bytes data(255, 0xC0);
        for (int i = 0; i < split; ++i)
            data[static_cast<std::size_t>(i)] = 0xDB;
        const Bytes frame = encode(64, 0x7F, data);
        const std::uint8_t check = frame.back();
        if (frame[frame.size() - 2] == 0xDB && (check == 0xDC || check == 0xDD)) {
            found = true;
            EXPECT_EQ(frame.size(), wake::LongestFrame);
            MemoryReader in(frame);
            Outputs out;
            EXPECT_TRUE(out.decode(in));
            EXPECT_EQ(out.count, 255);
            EXPECT_EQ(Bytes(out.data, out.data + 255), data);
            EXPECT_TRUE(out.guardIntact());
        }
    }
    EXPECT_TRUE(found);
}

TEST(WakeDecode, WorkedFramesDecode)
{
    for (const auto& f : workedFrames) {
        SCOPED_TRACE(f.name);
        MemoryReader in(f.wire);
        Outputs out;
        ASSERT_TRUE(out.decode(in));
        EXPECT_EQ(out.address, f.address);
        EXPECT_EQ(out.command, f.command);
        EXPECT_EQ(out.count, f.data.size());
        EXPECT_EQ(Bytes(out.data, out.data + out.count), f.data);
        EXPECT_EQ(in.consumed(), f.wire.size());
    }
}

TEST(WakeDecode, CountZeroStoresNoData)
{
    MemoryReader in(encode(5, 9, {}));
    Outputs out;
    EXPECT_TRUE(out.decode(in));
    EXPECT_EQ(out.data[0], 0xEE);
}

TEST(WakeDecode, HuntSkipsUpTo511StrayBytes)
{
    const Bytes frame = encode(1, 3, {});
    {
        MemoryReader in(Bytes(511, 0x55) + frame);
        Outputs out;
        EXPECT_TRUE(out.decode(in));
    }
    {
        MemoryReader in(Bytes(512, 0x55) + frame);
        Outputs out;
        EXPECT_FALSE(out.decode(in));
        EXPECT_EQ(in.consumed(), 512u);
        EXPECT_EQ(out.address, 0xAA);
        EXPECT_EQ(out.command, 0xBB);
        EXPECT_EQ(out.count, 0xCC);
    }
}

TEST(WakeDecode, SilenceBeforeFendLeavesOutputsUntouched)
{
    for (const Bytes& line : {Bytes{}, Bytes{0x01, 0x02, 0xDB}}) {
        MemoryReader in(line);
        Outputs out;
        EXPECT_FALSE(out.decode(in));
        EXPECT_EQ(out.address, 0xAA);
        EXPECT_EQ(out.command, 0xBB);
        EXPECT_EQ(out.count, 0xCC);
    }
}

struct Damaged {
    const char* name;
    Bytes wire;
    std::uint8_t address, command, count;
    std::size_t consumed;  // the decoder stops at the first impossible byte
};

TEST(WakeDecode, DamagedFramesLeaveWhatWasDecoded)
{
    const Damaged cases[] = {
        // FEND only, then silence: address and count reset, command not yet written.
        {"SilenceAfterFend", {0xC0}, 0, 0xBB, 0, 1},
        {"BadEscapeAsAddress", {0xC0, 0xDB, 0x01, 0x03, 0x00}, 0, 0xBB, 0, 3},
        {"BadEscapeAsData", {0xC0, 0x81, 0x12, 0x02, 0x05, 0xDB, 0xC0, 0x00}, 1, 0x12, 2, 7},
        {"Bit7OnCommandAfterAddress", {0xC0, 0x81, 0x85, 0x00, 0x00}, 1, 0xBB, 0, 3},
        {"CutShortAfterCount", {0xC0, 0x82, 0x10, 0x01}, 2, 0x10, 1, 4},
        {"EscapeThenSilence", {0xC0, 0x81, 0xDB}, 1, 0xBB, 0, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryReader in(c.wire);
        Outputs out;
        EXPECT_FALSE(out.decode(in));
        EXPECT_EQ(out.address, c.address);
        EXPECT_EQ(out.command, c.command);
        EXPECT_EQ(out.count, c.count);
        EXPECT_EQ(in.consumed(), c.consumed);
    }
}

TEST(WakeDecode, WrongCheckByteKeepsDecodedFields)
{
    Bytes wire = encode(2, 16, {0x05, 0x06});
    wire.back() ^= 0x01;
    MemoryReader in(wire);
    Outputs out;
    EXPECT_FALSE(out.decode(in));
    EXPECT_EQ(out.address, 2);
    EXPECT_EQ(out.command, 16);
    EXPECT_EQ(out.count, 2);
    EXPECT_EQ(out.data[0], 0x05);
    EXPECT_EQ(out.data[1], 0x06);
    EXPECT_EQ(in.consumed(), wire.size());
}

TEST(WakeDecode, FendInsideFrameIsTakenAsNextByte)
{
    // A second FEND mid-frame does not restart: it becomes a data byte and the check fails.
    const Bytes wire = Bytes{0xC0, 0x81, 0x03, 0x01} + encode(1, 3, {});
    MemoryReader in(wire);
    Outputs out;
    EXPECT_FALSE(out.decode(in));
    EXPECT_EQ(out.count, 1);
    EXPECT_EQ(out.data[0], 0xC0);
    EXPECT_EQ(in.consumed(), 6u);
}

TEST(WakeDecode, ResidueOverRandomFrames)
{
    std::mt19937 rng(20261207);
    std::uniform_int_distribution<int> byteDist(0, 255);
    // Biased towards the bytes that need escapes.
    auto dataByte = [&] {
        const int r = byteDist(rng);
        return static_cast<std::uint8_t>(r < 40 ? 0xC0 : r < 80 ? 0xDB : byteDist(rng));
    };
    for (int address = 0; address <= 127; ++address) {
        for (int round = 0; round < 8; ++round) {
            const int n = (address * 8 + round) % 256;
            Bytes data(static_cast<std::size_t>(n));
            for (auto& b : data)
                b = dataByte();
            const auto command = static_cast<std::uint8_t>(byteDist(rng) & 0x7F);
            const Bytes wire = encode(static_cast<std::uint8_t>(address), command, data);
            ASSERT_LE(wire.size(), wake::LongestFrame);
            MemoryReader in(Bytes(static_cast<std::size_t>(round * 60), 0x33) + wire);
            Outputs out;
            ASSERT_TRUE(out.decode(in)) << "address " << address << " count " << n;
            EXPECT_EQ(out.address, address);
            EXPECT_EQ(out.command, command);
            EXPECT_EQ(out.count, n);
            EXPECT_EQ(Bytes(out.data, out.data + n), data);
            EXPECT_TRUE(out.guardIntact());
        }
    }
}

TEST(WakeDecode, RandomNoiseNeverWritesPastBuffer)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> byteDist(0, 255);
    for (int round = 0; round < 2000; ++round) {
        Bytes noise(static_cast<std::size_t>(byteDist(rng) * 3));
        for (auto& b : noise)
            b = static_cast<std::uint8_t>(byteDist(rng));
        if (!noise.empty())
            noise[0] = 0xC0;
        MemoryReader in(noise);
        Outputs out;
        out.decode(in);
        EXPECT_TRUE(out.guardIntact());
    }
}

}  // namespace
