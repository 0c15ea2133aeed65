// TxFrame and RxFrame on the wire of a pseudo-terminal.
#include "pty.h"
#include "serlink.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

using support::Bytes;
using support::Pty;
using Clock = std::chrono::steady_clock;

namespace {

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(OpenCOM(pty.slavePath().c_str(), 115200), 1); }
    void TearDown() override { CloseCOM(); }

    struct Received {
        int ok;
        uint8_t address = 0xAA, command = 0xBB, count = 0xCC;
        uint8_t data[256];
        std::chrono::milliseconds took;
    };
    Received rx(uint32_t timeout)
    {
        Received r;
        std::fill(std::begin(r.data), std::end(r.data), 0xEE);
        const auto start = Clock::now();
        r.ok = RxFrame(timeout, &r.address, &r.command, &r.count, r.data);
        r.took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        return r;
    }

    Pty pty;
};

struct WorkedFrame {
    const char* name;
    uint8_t address, command;
    Bytes data, wire;
};

const WorkedFrame worked[] = {
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

TEST_F(FrameTest, WorkedFramesGoOutAndComeInByteForByte)
{
    for (const auto& f : worked) {
        SCOPED_TRACE(f.name);
        ASSERT_EQ(TxFrame(f.address, f.command, static_cast<uint8_t>(f.data.size()), f.data.data()),
                  1);
        EXPECT_EQ(pty.receive(f.wire.size() + 1, std::chrono::milliseconds(300)), f.wire);
        pty.send(f.wire);
        const auto r = rx(1000);
        ASSERT_EQ(r.ok, 1);
        EXPECT_EQ(r.address, f.address);
        EXPECT_EQ(r.command, f.command);
        EXPECT_EQ(r.count, f.data.size());
        EXPECT_EQ(Bytes(r.data, r.data + r.count), f.data);
    }
}

TEST_F(FrameTest, RequestDropsAnswersQueuedBeforeIt)
{
    // A late answer to an earlier request must not pass for the next one's.
    const Bytes stale = worked[0].wire;
    const Bytes fresh = worked[2].wire;
    pty.send(stale);
    pollfd queued{static_cast<int>(GetHandleCOM()), POLLIN, 0};
    ASSERT_EQ(poll(&queued, 1, 1000), 1);  // the stale answer waits in the queue
    ASSERT_EQ(TxFrame(2, 16, 1, worked[2].data.data()), 1);
    EXPECT_EQ(pty.receive(fresh.size() + 1, std::chrono::milliseconds(300)), fresh);
    pty.send(fresh);
    const auto r = rx(1000);
    ASSERT_EQ(r.ok, 1);
    EXPECT_EQ(r.command, 16);
    EXPECT_EQ(r.address, 2);
}

TEST_F(FrameTest, HuntSkips511StrayBytesNot512)
{
    const Bytes frame = worked[0].wire;
    pty.send(Bytes(511, 0x55) + frame);
    EXPECT_EQ(rx(1000).ok, 1);

    pty.send(Bytes(512, 0x55) + frame);
    const auto r = rx(1000);
    EXPECT_EQ(r.ok, 0);
    EXPECT_EQ(r.address, 0xAA);
    EXPECT_EQ(r.count, 0xCC);
    // The frame is still queued and the next receive takes it.
    EXPECT_EQ(rx(1000).ok, 1);
}

TEST_F(FrameTest, SilentLineFailsAfterTimeoutWithOutputsUntouched)
{
    const auto r = rx(100);
    EXPECT_EQ(r.ok, 0);
    EXPECT_EQ(r.command, 0xBB);
    EXPECT_GE(r.took.count(), 95);
    EXPECT_LT(r.took.count(), 2000);
}

TEST_F(FrameTest, FrameCutShortFailsAfterOneByteTimeout)
{
    pty.send({0xC0, 0x82, 0x10, 0x01});
    const auto r = rx(200);
    EXPECT_EQ(r.ok, 0);
    EXPECT_EQ(r.address, 2);
    EXPECT_EQ(r.command, 0x10);
    EXPECT_EQ(r.count, 1);
    EXPECT_GE(r.took.count(), 190);
    EXPECT_LT(r.took.count(), 3000);
}

TEST_F(FrameTest, WrongCheckByteKeepsDecodedData)
{
    pty.send({0xC0, 0x82, 0x10, 0x01, 0x05, 0x69});
    const auto r = rx(1000);
    EXPECT_EQ(r.ok, 0);
    EXPECT_EQ(r.address, 2);
    EXPECT_EQ(r.command, 0x10);
    EXPECT_EQ(r.count, 1);
    EXPECT_EQ(r.data[0], 0x05);
}

TEST_F(FrameTest, ResidueThroughTheWire)
{
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int address = 0; address <= 127; ++address) {
        const int n = (address * 37) % 256;
        Bytes data(static_cast<std::size_t>(n));
        for (auto& b : data)
            b = static_cast<uint8_t>(byte(rng) < 64 ? (byte(rng) & 1 ? 0xC0 : 0xDB) : byte(rng));
        const auto command = static_cast<uint8_t>(byte(rng) & 0x7F);
        ASSERT_EQ(
            TxFrame(static_cast<uint8_t>(address), command, static_cast<uint8_t>(n), data.data()),
            1);
        // Read what went out until a pause: the frame's length is the codec's business.
        Bytes wire = pty.receive(1, std::chrono::seconds(2));
        for (Bytes more; !(more = pty.receive(517, std::chrono::milliseconds(20))).empty();)
            wire.insert(wire.end(), more.begin(), more.end());
        pty.send(wire);
        const auto r = rx(1000);
        ASSERT_EQ(r.ok, 1) << "address " << address;
        EXPECT_EQ(r.address, address);
        EXPECT_EQ(r.command, command);
        EXPECT_EQ(Bytes(r.data, r.data + r.count), data);
        EXPECT_EQ(r.data[255], 0xEE);
    }
}

TEST_F(FrameTest, NoiseFloodReturnsWithinItsTimeouts)
{
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> byte(0, 255);
    Bytes noise(3000);
    for (auto& b : noise)
        b = static_cast<uint8_t>(byte(rng));
    std::thread sender([&] { pty.send(noise); });
    int failures = 0;
    for (int i = 0; i < 20; ++i) {
        const auto r = rx(100);
        EXPECT_LT(r.took.count(), 5000);
        EXPECT_EQ(r.data[255], 0xEE);
        failures += r.ok == 0;
    }
    sender.join();
    EXPECT_GT(failures, 0);
}

TEST_F(FrameTest, NoiseTrickleEndsAtTheLineTimeOfTheLongestHuntAndFrame)
{
    // At 9600 baud: 100 ms for a byte, 1029 bytes of hunt and frame at
    // about 1 ms each, and a little margin. A byte every 90 ms keeps each
    // byte's wait within its time-out; without a bound on the whole frame
    // the hunt alone would last 512 x 90 ms.
    CloseCOM();
    ASSERT_EQ(OpenCOM(pty.slavePath().c_str(), 9600), 1);
    std::atomic<bool> stop{false};
    std::thread trickle([&] {
        while (!stop) {
            pty.send({0x55});
            std::this_thread::sleep_for(std::chrono::milliseconds(90));
        }
    });
    const auto r = rx(100);
    stop = true;
    trickle.join();
    EXPECT_EQ(r.ok, 0);
    EXPECT_EQ(r.command, 0xBB);
    EXPECT_GE(r.took.count(), 1100);
    EXPECT_LT(r.took.count(), 2000);
}

TEST_F(FrameTest, DeviceGoneMidFrameFailsPromptly)
{
    pty.send({0xC0, 0x81, 0x12, 0x05, 0x01});
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pty.closeMaster();
    });
    const auto r = rx(10000);
    closer.join();
    EXPECT_EQ(r.ok, 0);
    EXPECT_LT(r.took.count(), 5000);  // not the 10 s time-out
    const auto again = rx(10000);
    EXPECT_EQ(again.ok, 0);
    EXPECT_LT(again.took.count(), 5000);
    // The library has given the device back: the handle says so, and the
    // same name opens again once a device is there.
    EXPECT_EQ(GetHandleCOM(), -1);
    EXPECT_EQ(CloseCOM(), 0);
    Pty replugged;
    ASSERT_EQ(OpenCOM(replugged.slavePath().c_str(), 115200), 1);
    EXPECT_GE(GetHandleCOM(), 0);
    ASSERT_EQ(TxFrame(1, 3, 0, nullptr), 1);
    EXPECT_EQ(replugged.receive(5), worked[0].wire);
}

}  // namespace
