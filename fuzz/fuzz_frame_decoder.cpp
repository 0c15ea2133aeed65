// The WAKE frame receiver fed arbitrary byte streams: frame after frame until
// the stream ends. A frame taken as good must encode back to a frame that
// decodes to the same fields; a hunt that found no FEND leaves the outputs
// alone; no byte is written outside the 255-byte data buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "fuzzcheck.h"
#include "wakecodec.h"

namespace {

class StreamReader : public wake::ByteReader {
public:
    StreamReader(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}
    bool readByte(std::uint8_t& byte) override
    {
        if (pos_ >= size_)
            return false;
        byte = bytes_[pos_++];
        if (byte == wake::Fend)
            sawFend_ = true;
        return true;
    }
    std::size_t pos() const { return pos_; }
    bool atEnd() const { return pos_ >= size_; }
    // Whether a FEND has been read since the last call.
    bool takeSawFend()
    {
        const bool saw = sawFend_;
        sawFend_ = false;
        return saw;
    }

private:
    const std::uint8_t* bytes_;
    std::size_t size_;
    std::size_t pos_ = 0;
    bool sawFend_ = false;
};

struct Fields {
    std::uint8_t address = 0xA5, command = 0xA5, count = 0xA5;
    // Exactly MaxData bytes on the heap, so that one more is caught.
    std::unique_ptr<std::uint8_t[]> data = std::make_unique<std::uint8_t[]>(wake::MaxData);
};

void checkReencodes(const Fields& f)
{
    FUZZ_REQUIRE(f.address < 0x80 && f.command < 0x80);
    wake::TxBuffer frame{};
    const std::size_t length =
        wake::encodeFrame(f.address, f.command, f.count, f.data.get(), frame);
    FUZZ_REQUIRE(length >= 4 && length <= wake::LongestFrame);
    StreamReader again(frame.data(), length);
    Fields g;
    FUZZ_REQUIRE(wake::decodeFrame(again, &g.address, &g.command, &g.count, g.data.get()));
    FUZZ_REQUIRE(again.atEnd());
    FUZZ_REQUIRE(g.address == f.address && g.command == f.command && g.count == f.count);
    FUZZ_REQUIRE(std::memcmp(g.data.get(), f.data.get(), f.count) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    StreamReader in(data, size);
    while (!in.atEnd()) {
        Fields f;
        const std::size_t before = in.pos();
        const bool good = wake::decodeFrame(in, &f.address, &f.command, &f.count, f.data.get());
        FUZZ_REQUIRE(in.pos() > before);  // every call makes progress
        const bool sawFend = in.takeSawFend();
        if (!sawFend) {
            FUZZ_REQUIRE(!good);
            FUZZ_REQUIRE(f.address == 0xA5 && f.command == 0xA5 && f.count == 0xA5);
            // The hunt gives up after HuntLimit bytes or at the end of the stream.
            FUZZ_REQUIRE(in.pos() - before == static_cast<std::size_t>(wake::HuntLimit) ||
                         in.atEnd());
            continue;
        }
        FUZZ_REQUIRE(f.address < 0x80);
        if (good)
            checkReencodes(f);
    }
    return 0;
}
