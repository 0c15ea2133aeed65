// The frame codec against the line: CPU time per wire byte of encoding and
// decoding the longest frames, as a ratio to 1 % of one byte's line time at
// 115200 baud (86.8 us per byte, so the budget is 868 ns per byte).
#include <benchmark/benchmark.h>

#include <time.h>

#include <cstring>
#include <vector>

#include "linetime.h"
#include "wakecodec.h"

namespace {

constexpr int FastestBaud = 115200;
constexpr double BudgetShare = 0.01;
// 0x40 goes on the wire as 0xC0 (bit 7 set), so the address byte is stuffed too.
constexpr std::uint8_t LongestAddress = 0x40;

// 255 data bytes; all FEND makes every byte (and so the frame) twice as long.
std::vector<std::uint8_t> frameData(bool allStuffed)
{
    std::vector<std::uint8_t> data(wake::MaxData);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = allStuffed ? wake::Fend : std::uint8_t((i * 37 + 11) & 0x7F);
    return data;
}

class MemoryReader final : public wake::ByteReader {
public:
    MemoryReader(const std::uint8_t* bytes, std::size_t count) : bytes_(bytes), count_(count) {}
    bool readByte(std::uint8_t& byte) override
    {
        if (at_ == count_)
            return false;
        byte = bytes_[at_++];
        return true;
    }

private:
    const std::uint8_t* bytes_;
    std::size_t count_;
    std::size_t at_ = 0;
};

// ratio: CPU time per wire byte / (1 % of a byte's line time at 115200),
// with the thread's CPU time taken around the whole timed loop.
void reportAgainstLine(benchmark::State& state, std::size_t wireBytes, double cpuSeconds)
{
    const double budget = BudgetShare * bench::byteSeconds(FastestBaud);
    const double perByte = cpuSeconds / double(state.iterations()) / double(wireBytes);
    state.counters["wire_bytes"] = double(wireBytes);
    state.counters["ns_per_byte"] = perByte * 1e9;
    state.counters["budget_ns"] = budget * 1e9;
    state.counters["ratio"] = perByte / budget;
    state.counters["load"] = bench::loadAverage();
    state.SetBytesProcessed(std::int64_t(state.iterations() * wireBytes));
}

void BM_EncodeLongestFrame(benchmark::State& state)
{
    const std::vector<std::uint8_t> data = frameData(state.range(0) != 0);
    wake::TxBuffer out;
    std::size_t length = 0;
    const double cpuStart = bench::threadCpuSeconds();
    for (auto _ : state) {
        length =
            wake::encodeFrame(LongestAddress, 127, std::uint8_t(data.size()), data.data(), out);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    reportAgainstLine(state, length, bench::threadCpuSeconds() - cpuStart);
}
BENCHMARK(BM_EncodeLongestFrame)->ArgName("all_stuffed")->Arg(1)->Arg(0);

void BM_DecodeLongestFrame(benchmark::State& state)
{
    const std::vector<std::uint8_t> data = frameData(state.range(0) != 0);
    wake::TxBuffer frame;
    const std::size_t length =
        wake::encodeFrame(LongestAddress, 127, std::uint8_t(data.size()), data.data(), frame);
    std::uint8_t address = 0, command = 0, count = 0, decoded[wake::MaxData];
    const double cpuStart = bench::threadCpuSeconds();
    for (auto _ : state) {
        MemoryReader in(frame.data(), length);
        const bool ok = wake::decodeFrame(in, &address, &command, &count, decoded);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(decoded);
    }
    if (count != data.size() || std::memcmp(decoded, data.data(), data.size()) != 0)
        state.SkipWithError("the decoded frame differs from the one encoded");
    reportAgainstLine(state, length, bench::threadCpuSeconds() - cpuStart);
}
BENCHMARK(BM_DecodeLongestFrame)->ArgName("all_stuffed")->Arg(1)->Arg(0);

}  // namespace
