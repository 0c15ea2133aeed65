// Every command of TWakePort answered from the fuzz input: a failed exchange
// raises EHardwareException and nothing else; a decoded answer yields values
// in the ranges its layout allows; no byte is read out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "fuzzcheck.h"
#include "fakeserlink.h"
#include "hardwareexception.h"
#include "wakeport.h"

namespace {

bool isWord(int v)
{
    return v >= 0 && v <= 0xFFFF;
}
bool isByte(int v)
{
    return v >= 0 && v <= 0xFF;
}

bool isUtf8(const std::string& s)
{
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t extra = c < 0x80             ? 0
                                  : (c & 0xE0) == 0xC0 ? 1
                                  : (c & 0xF0) == 0xE0 ? 2
                                  : (c & 0xF8) == 0xF0 ? 3
                                                       : 4;
        if (extra == 4 || i + extra >= s.size())
            return false;
        for (std::size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += extra + 1;
    }
    return true;
}

using Operation = std::function<void(TWakePort&)>;

std::vector<Operation> operations()
{
    return {
        [](TWakePort& p) {
            const std::string info = p.GetInfo();
            FUZZ_REQUIRE(info.find('\0') == std::string::npos);
            FUZZ_REQUIRE(isUtf8(info));
        },
        [](TWakePort& p) { p.SetAddr(0x2A); },
        [](TWakePort& p) {
            p.SetM({1234, 7});
        },
        [](TWakePort& p) {
            const MValues m = p.GetM();
            FUZZ_REQUIRE(isWord(m.vmin) && isByte(m.extra));
        },
        [](TWakePort& p) {
            p.SetA({-1, 70000});
        },
        [](TWakePort& p) {
            const AValues a = p.GetA();
            FUZZ_REQUIRE(isWord(a.a) && isWord(a.ia));
        },
        [](TWakePort& p) {
            p.SetP({1, 2, 3});
        },
        [](TWakePort& p) {
            const PValues v = p.GetP();
            FUZZ_REQUIRE(isWord(v.vp) && isWord(v.ip) && isWord(v.np));
        },
        [](TWakePort& p) {
            p.SetL({10, 20, 30, 40});
        },
        [](TWakePort& p) {
            const LValues l = p.GetL();
            FUZZ_REQUIRE(isWord(l.vl) && isWord(l.il) && isWord(l.no) && isWord(l.nc));
        },
        [](TWakePort& p) {
            p.SetW({{{1, 2}, {3, 4}, {5, 6}, {7, 8}}});
        },
        [](TWakePort& p) {
            const WValues w = p.GetW();
            for (const SpeedStep& step : w.steps)
                FUZZ_REQUIRE(isWord(step.v) && isWord(step.i));
            FUZZ_REQUIRE(isByte(w.workStatus));
        },
        [](TWakePort& p) { p.SetS(wake::CmdOpen); },
        [](TWakePort& p) {
            const DriveStatus drive = p.GetS();
            FUZZ_REQUIRE(isByte(drive.state) && isByte(drive.flags));
        },
        [](TWakePort& p) { p.SetN(-5); },
        [](TWakePort& p) {
            const int n = p.GetN();
            FUZZ_REQUIRE(n >= -32768 && n <= 32767);
        },
        [](TWakePort& p) { p.SetT(30000); },
        [](TWakePort& p) { FUZZ_REQUIRE(isWord(p.GetT())); },
        [](TWakePort& p) { FUZZ_REQUIRE(isWord(p.GetI())); },
        [](TWakePort& p) {
            p.SetR({{{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}}});
        },
        [](TWakePort& p) {
            for (const RelayChannel& r : p.GetR())
                FUZZ_REQUIRE(isByte(r.en) && isByte(r.min) && isByte(r.max) && isByte(r.hyst));
        },
        [](TWakePort& p) { FUZZ_REQUIRE(isByte(p.GetRS())); },
        [](TWakePort& p) {
            // The generic exchange, as the service tools use it.
            p.SendRequest(0x7F, "Raw", 255);
            const int count = p.ReceiveAnswer(100);
            FUZZ_REQUIRE(isByte(count));
        },
    };
}

// Runs one operation; a failed exchange is the only exception allowed.
void runGuarded(const Operation& op, TWakePort& port)
{
    try {
        op(port);
    } catch (const EHardwareException& e) {
        FUZZ_REQUIRE(e.outcome() != ExchangeOutcome::Answer);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::vector<Operation> ops = operations();
    if (size < 2)
        return 0;
    const auto mode = (data[0] & 0x01) ? fakeline::Mode::Answers : fakeline::Mode::Raw;
    const int devAddr = data[0] >> 1;
    const std::size_t first = data[1] % ops.size();
    fakeline::reset(data + 2, size - 2, mode);

    TWakePort port(8);
    port.Open(1, 9600);
    FUZZ_REQUIRE(fakeline::isOpen() && port.Port == 1);
    port.SetDevAddr(devAddr);
    // Twice round the command set, starting where the input says, so that
    // every command meets every kind of answer and every earlier RxBuf.
    for (std::size_t k = 0; k < 2 * ops.size(); ++k)
        runGuarded(ops[(first + k) % ops.size()], port);
    FUZZ_REQUIRE(fakeline::framesSent() == static_cast<int>(2 * ops.size()));
    port.Close();
    FUZZ_REQUIRE(!fakeline::isOpen() && port.Port == 0);

    // With no port every command fails at once and sends nothing.
    for (const Operation& op : ops) {
        bool failed = false;
        try {
            op(port);
        } catch (const EHardwareException& e) {
            failed = e.outcome() == ExchangeOutcome::NoPort;
        }
        FUZZ_REQUIRE(failed);
    }
    FUZZ_REQUIRE(fakeline::framesSent() == static_cast<int>(2 * ops.size()));
    return 0;
}
