#include "fakeserlink.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "serlink.h"
#include "wakecodec.h"

namespace fakeline {
namespace {

struct LineState {
    const std::uint8_t* input = nullptr;
    std::size_t size = 0;
    std::size_t pos = 0;
    Mode mode = Mode::Raw;
    bool open = false;
    int sent = 0;
    std::uint8_t lastCommand = 0;
    std::uint8_t lastAddress = 0;
};

LineState line;

// Reads bytes from a buffer; the end of the buffer looks like a time-out.
class BufferReader : public wake::ByteReader {
public:
    BufferReader(const std::uint8_t* bytes, std::size_t size, std::size_t& pos)
        : bytes_(bytes), size_(size), pos_(pos)
    {
    }
    bool readByte(std::uint8_t& byte) override
    {
        if (pos_ >= size_)
            return false;
        byte = bytes_[pos_++];
        return true;
    }

private:
    const std::uint8_t* bytes_;
    std::size_t size_;
    std::size_t& pos_;
};

bool takeByte(std::uint8_t& byte)
{
    if (line.pos >= line.size)
        return false;
    byte = line.input[line.pos++];
    return true;
}

// The next answer record as it would come over the line; a record cut short
// by the end of the input becomes a frame cut short, like a silent device.
std::vector<std::uint8_t> nextAnswerFrame()
{
    std::uint8_t flags = 0, count = 0;
    if (!takeByte(flags) || !takeByte(count))
        return {};
    const std::size_t available = line.size - line.pos;
    const std::size_t taken = count < available ? count : available;
    std::uint8_t data[wake::MaxData] = {};
    if (taken > 0)
        std::memcpy(data, line.input + line.pos, taken);
    line.pos += taken;

    const std::uint8_t command =
        (flags & 0x01) ? static_cast<std::uint8_t>(flags >> 1) : line.lastCommand;
    const std::uint8_t address = (flags & 0x02) ? line.lastAddress : 0;
    wake::TxBuffer frame{};
    std::size_t length = wake::encodeFrame(address, command, count, data, frame);
    if (flags & 0x04)
        frame[length - 1] ^= 0x01;  // a damaged check byte (or escape)
    if (taken < count)
        length = 1 + taken;  // the device fell silent mid-frame
    return {frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(length)};
}

}  // namespace

void reset(const std::uint8_t* input, std::size_t size, Mode mode)
{
    line = LineState{};
    line.input = input;
    line.size = size;
    line.mode = mode;
}

bool isOpen()
{
    return line.open;
}
int framesSent()
{
    return line.sent;
}

}  // namespace fakeline

using fakeline::line;

extern "C" {

int SERLINK_CALL AccessCOM(const char* name)
{
    return name != nullptr && std::strncmp(name, "COM", 3) == 0 ? 1 : 0;
}

int SERLINK_CALL OpenCOM(const char* name, uint32_t baud)
{
    if (name == nullptr || baud == 0)
        return 0;
    line.open = AccessCOM(name) != 0;
    return line.open ? 1 : 0;
}

int SERLINK_CALL SetModeCOM(int rtsMode, int dtrMode)
{
    (void)rtsMode;
    (void)dtrMode;
    return line.open ? 1 : 0;
}

// The client asks it whether the library holds a device (-1: none).
intptr_t SERLINK_CALL GetHandleCOM(void)
{
    return line.open ? 3 : -1;
}

int SERLINK_CALL CloseCOM(void)
{
    const bool wasOpen = line.open;
    line.open = false;
    return wasOpen ? 1 : 0;
}

int SERLINK_CALL TxFrame(uint8_t address, uint8_t command, uint8_t count, const uint8_t* data)
{
    if (!line.open)
        return 0;
    // Encoding reads every data byte the count promises: out of bounds shows here.
    wake::TxBuffer frame{};
    wake::encodeFrame(address, command, count, data, frame);
    line.lastAddress = address & 0x7F;
    line.lastCommand = command & 0x7F;
    ++line.sent;
    return 1;
}

int SERLINK_CALL RxFrame(uint32_t timeout, uint8_t* address, uint8_t* command, uint8_t* count,
                         uint8_t* data)
{
    (void)timeout;
    if (!line.open)
        return 0;
    if (line.mode == fakeline::Mode::Raw) {
        fakeline::BufferReader reader(line.input, line.size, line.pos);
        return wake::decodeFrame(reader, address, command, count, data) ? 1 : 0;
    }
    const std::vector<std::uint8_t> frame = fakeline::nextAnswerFrame();
    std::size_t pos = 0;
    fakeline::BufferReader reader(frame.data(), frame.size(), pos);
    return wake::decodeFrame(reader, address, command, count, data) ? 1 : 0;
}

}  // extern "C"
