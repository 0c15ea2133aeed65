// The command set: the bytes every command puts on the wire, the values it
// decodes from fixed answer bytes and from the device model, and what a
// failed or short answer leaves behind.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "simport.h"

using Bytes = std::vector<std::uint8_t>;
using CommandTest = SimPortTest;

namespace {

struct SetCase {
    const char* name;
    std::function<void(TWakePort&)> call;
    int code;
    Bytes data;
};

const SetCase setCases[] = {
    {"SetAddr", [](TWakePort& p) { p.SetAddr(2); }, 4, {0x5C, 0xA3, 0x02}},
    {"SetAddr_low_byte", [](TWakePort& p) { p.SetAddr(0x105); }, 4, {0x5C, 0xA3, 0x05}},
    {"SetM",
     [](TWakePort& p) {
         p.SetM({300, 7});
     },
     6,
     {0x2C, 0x01, 0x07}},
    {"SetM_low_bits",
     [](TWakePort& p) {
         p.SetM({0x1ABCD, 0x1FE});
     },
     6,
     {0xCD, 0xAB, 0xFE}},
    {"SetA",
     [](TWakePort& p) {
         p.SetA({200, 1500});
     },
     8,
     {0xC8, 0x00, 0xDC, 0x05}},
    {"SetA_low_bits",
     [](TWakePort& p) {
         p.SetA({0x12345, -1});
     },
     8,
     {0x45, 0x23, 0xFF, 0xFF}},
    {"SetP",
     [](TWakePort& p) {
         p.SetP({300, 800, 200});
     },
     10,
     {0x2C, 0x01, 0x20, 0x03, 0xC8, 0x00}},
    {"SetL",
     [](TWakePort& p) {
         p.SetL({100, 2000, 1000, 0xC0DB});
     },
     12,
     {0x64, 0x00, 0xD0, 0x07, 0xE8, 0x03, 0xDB, 0xC0}},
    {"SetW",
     [](TWakePort& p) {
         p.SetW({{{0x0201, 0x0403}, {0x0605, 0x0807}, {0x0A09, 0x0C0B}, {0x0E0D, 0x100F}}});
     },
     14,
     {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
    {"SetS", [](TWakePort& p) { p.SetS(wake::CmdOpen); }, 16, {0x05}},
    {"SetS_low_byte", [](TWakePort& p) { p.SetS(0x106); }, 16, {0x06}},
    {"SetN_zero", [](TWakePort& p) { p.SetN(0); }, 18, {0x00, 0x00}},
    {"SetN_negative", [](TWakePort& p) { p.SetN(-2); }, 18, {0xFE, 0xFF}},
    {"SetT", [](TWakePort& p) { p.SetT(70000); }, 20, {0x70, 0x11}},
    {"SetR",
     [](TWakePort& p) {
         p.SetR({{{1, 20, 80, 5}, {0, 0, 0, 0}, {2, 10, 90, 3}}});
     },
     23,
     {0x01, 0x14, 0x50, 0x05, 0x00, 0x00, 0x00, 0x00, 0x02, 0x0A, 0x5A, 0x03}},
};

// A Get command called with every output preset to Untouched, so that a
// failure that sets an output shows.
constexpr int Untouched = -7;
struct GetCase {
    const char* name;
    int code;
    int layout;  // answer bytes, error byte included
    std::function<void(TWakePort&, std::vector<int>&)> call;
    Bytes answer;
    std::vector<int> values;
};

std::vector<GetCase> getCases()
{
    return {
        {"GetM",
         7,
         4,
         [](TWakePort& p, std::vector<int>& o) {
             o.assign(2, Untouched);
             {
                 const auto got = p.GetM();
                 o[0] = got.vmin;
                 o[1] = got.extra;
             }
         },
         {0, 0x2C, 0x01, 0xFE},
         {300, 254}},
        {"GetA",
         9,
         5,
         [](TWakePort& p, std::vector<int>& o) {
             o.assign(2, Untouched);
             {
                 const auto got = p.GetA();
                 o[0] = got.a;
                 o[1] = got.ia;
             }
         },
         {0, 0xC8, 0x00, 0xDC, 0x05},
         {200, 1500}},
        {"GetP",
         11,
         7,
         [](TWakePort& p, std::vector<int>& o) {
             o.assign(3, Untouched);
             {
                 const auto got = p.GetP();
                 o[0] = got.vp;
                 o[1] = got.ip;
                 o[2] = got.np;
             }
         },
         {0, 0x2C, 0x01, 0x20, 0x03, 0xFF, 0xFF},
         {300, 800, 65535}},
        {"GetL",
         13,
         9,
         [](TWakePort& p, std::vector<int>& o) {
             o.assign(4, Untouched);
             {
                 const auto got = p.GetL();
                 o[0] = got.vl;
                 o[1] = got.il;
                 o[2] = got.no;
                 o[3] = got.nc;
             }
         },
         {0, 0x64, 0x00, 0xD0, 0x07, 0xE8, 0x03, 0xC0, 0xDB},
         {100, 2000, 1000, 0xDBC0}},
        {"GetW",
         15,
         18,
         [](TWakePort& p, std::vector<int>& o) {
             o.assign(9, Untouched);
             {
                 const auto got = p.GetW();
                 o[0] = got.steps[0].v;
                 o[1] = got.steps[0].i;
                 o[2] = got.steps[1].v;
                 o[3] = got.steps[1].i;
                 o[4] = got.steps[2].v;
                 o[5] = got.steps[2].i;
                 o[6] = got.steps[3].v;
                 o[7] = got.steps[3].i;
                 o[8] = got.workStatus;
             }
         },
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 0x12},
         {0x0201, 0x0403, 0x0605, 0x0807, 0x0A09, 0x0C0B, 0x0E0D, 0x100F, 0x12}},
        {"GetS",
         17,
         3,
         [](TWakePort& p, std::vector<int>& o) {
             o.assign(2, Untouched);
             {
                 const auto got = p.GetS();
                 o[0] = got.state;
                 o[1] = got.flags;
             }
         },
         {0, 12, 0x15},
         {12, 0x15}},
        {"GetN",
         19,
         3,
         [](TWakePort& p, std::vector<int>& o) {
             o.assign(1, Untouched);
             o[0] = p.GetN();
         },
         {0, 0xFF, 0xFF},
         {-1}},
        {"GetT",
         21,
         3,
         [](TWakePort& p, std::vector<int>& o) {
             o.assign(1, Untouched);
             o[0] = p.GetT();
         },
         {0, 0xFF, 0xFF},
         {65535}},
        {"GetI",
         22,
         3,
         [](TWakePort& p, std::vector<int>& o) {
             o.assign(1, Untouched);
             o[0] = p.GetI();
         },
         {0, 0xE0, 0x2E},
         {12000}},
        {"GetR",
         24,
         13,
         [](TWakePort& p, std::vector<int>& o) {
             o.assign(12, Untouched);
             {
                 const auto got = p.GetR();
                 o[0] = got[0].en;
                 o[1] = got[0].min;
                 o[2] = got[0].max;
                 o[3] = got[0].hyst;
                 o[4] = got[1].en;
                 o[5] = got[1].min;
                 o[6] = got[1].max;
                 o[7] = got[1].hyst;
                 o[8] = got[2].en;
                 o[9] = got[2].min;
                 o[10] = got[2].max;
                 o[11] = got[2].hyst;
             }
         },
         {0, 1, 20, 80, 5, 0, 0, 0, 0, 2, 10, 90, 0xFF},
         {1, 20, 80, 5, 0, 0, 0, 0, 2, 10, 90, 255}},
        {"GetRS",
         25,
         2,
         [](TWakePort& p, std::vector<int>& o) {
             o.assign(1, Untouched);
             o[0] = p.GetRS();
         },
         {0, 0x05},
         {5}},
    };
}

bool allUntouched(const std::vector<int>& outputs)
{
    for (int v : outputs)
        if (v != Untouched)
            return false;
    return !outputs.empty();
}

}  // namespace

TEST_F(CommandTest, SetCommandsOnTheWire)
{
    for (const auto& c : setCases) {
        SCOPED_TRACE(c.name);
        pty->clearRequests();
        answerWith({0});  // a plain success, whatever the model thinks of the values
        c.call(port);
        const auto log = requests();
        ASSERT_EQ(log.size(), 1u);
        EXPECT_TRUE(log[0].hasAddress);
        EXPECT_EQ(log[0].address, SimAddress);
        EXPECT_EQ(log[0].command, c.code);
        EXPECT_EQ(log[0].data, c.data);
        // SetAddr rows move the actuator; bring it back for the next row.
        for (int a : line.addresses())
            line.with(a, [](sim::ActuatorState& s) { s.address = SimAddress; });
    }
}

TEST_F(CommandTest, GetCommandsOnTheWireAndDecoded)
{
    for (const auto& c : getCases()) {
        SCOPED_TRACE(c.name);
        pty->clearRequests();
        answerWith(c.answer);
        std::vector<int> outputs;
        c.call(port, outputs);
        EXPECT_EQ(outputs, c.values);
        const auto log = requests();
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0].address, SimAddress);
        EXPECT_EQ(log[0].command, c.code);
        EXPECT_TRUE(log[0].data.empty());
    }
}

TEST_F(CommandTest, PositionIsSigned)
{
    const struct {
        Bytes answer;
        int n;
    } rows[] = {{{0, 0xFF, 0xFF}, -1},     {{0, 0x00, 0x80}, -32768}, {{0, 0xFF, 0x7F}, 32767},
                {{0, 0x34, 0x12}, 0x1234}, {{0, 0x00, 0x00}, 0},      {{0, 0x18, 0xFC}, -1000}};
    for (const auto& r : rows) {
        answerWith(r.answer);
        EXPECT_EQ(port.GetN(), r.n);
    }
}

TEST_F(CommandTest, WorkStatusComesFromPosition17)
{
    Bytes answer(18, 0);
    answer[17] = 0x12;
    answer[16] = 0xAA;
    answerWith(answer);
    const WValues w = port.GetW();
    EXPECT_EQ(w.workStatus, 0x12);
    EXPECT_EQ(w.workStatus & 3, 2) << "working speed 3";
    EXPECT_EQ((w.workStatus >> 4) & 3, 1) << "upper zone inactive";
    EXPECT_EQ(w.steps[3].i, 0xAA00);
}

TEST_F(CommandTest, SetAddrWithoutAddressByte)
{
    port.SetDevAddr(0);
    port.SetAddr(2);
    const auto log = requests();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_FALSE(log[0].hasAddress);
    EXPECT_EQ(log[0].command, 4);
    EXPECT_EQ(log[0].data, (Bytes{0x5C, 0xA3, 0x02}));
    EXPECT_EQ(line.addresses(), std::vector<int>{2});
}

TEST_F(CommandTest, ParametersRoundTripThroughTheDevice)
{
    port.SetM({90, 3});
    port.SetA({250, 1600});
    port.SetP({310, 810, 210});
    port.SetL({110, 2100, 1100, 900});
    port.SetW({{{201, 1001}, {202, 1002}, {203, 1003}, {204, 1004}}});
    port.SetT(2500);
    port.SetR({{{1, 20, 80, 5}, {0, 0, 0, 0}, {2, 10, 90, 3}}});
    port.SetN(-5);
    const auto s = line.state(SimAddress);
    EXPECT_EQ(s.Vmin, 90);
    EXPECT_EQ(s.extraM, 3);
    EXPECT_EQ(s.A, 250);
    EXPECT_EQ(s.Ia, 1600);
    EXPECT_EQ(s.Np, 210);
    EXPECT_EQ(s.Nc, 900);
    EXPECT_EQ(s.V4, 204);
    EXPECT_EQ(s.I4, 1004);
    EXPECT_EQ(s.Nt, 2500);
    EXPECT_EQ(s.relays[2].mode, 2);
    EXPECT_EQ(s.relays[2].max, 90);

    const MValues m = port.GetM();
    EXPECT_EQ(m.vmin, 90);
    EXPECT_EQ(m.extra, 3);
    const AValues a = port.GetA();
    EXPECT_EQ(a.a, 250);
    EXPECT_EQ(a.ia, 1600);
    EXPECT_EQ(port.GetP().np, 210);
    const LValues l = port.GetL();
    EXPECT_EQ(l.vl, 110);
    EXPECT_EQ(l.nc, 900);
    const WValues w = port.GetW();
    EXPECT_EQ(w.steps[0].v, 201);
    EXPECT_EQ(w.steps[3].i, 1004);
    EXPECT_EQ(port.GetT(), 2500);
    const RelayChannels r = port.GetR();
    EXPECT_EQ(r[0].en, 1);
    EXPECT_EQ(r[0].hyst, 5);
    EXPECT_EQ(r[2].en, 2);
    EXPECT_EQ(r[2].hyst, 3);
}

TEST_F(CommandTest, StateAndCurrentsFromTheDevice)
{
    line.with(SimAddress, [](sim::ActuatorState& s) {
        s.N = -300;
        s.driveState = 7;
        s.driveFlags = 0x14;
        s.inputCurrent = 16000;
    });
    EXPECT_EQ(port.GetN(), -300);
    const DriveStatus drive = port.GetS();
    EXPECT_EQ(drive.state, 7);
    EXPECT_EQ(drive.flags, 0x14);
    EXPECT_EQ(port.GetI(), 16000);
    EXPECT_EQ(port.GetRS(), line.state(SimAddress).relayStates);
}

TEST_F(CommandTest, InfoText)
{
    EXPECT_EQ(port.GetInfo(), "ТИРС-70 №0001");

    // Windows-1251 on the wire: "ТИРС №7" and a zero byte.
    answerWith({0xD2, 0xC8, 0xD0, 0xD1, 0x20, 0xB9, 0x37, 0x00});
    EXPECT_EQ(port.GetInfo(), "ТИРС №7");

    answerWith({'A', 'B', 0, 'C', 'D'});
    EXPECT_EQ(port.GetInfo(), "AB");

    // Without a zero byte the text ends with the answer, not in stale bytes.
    answerWith(Bytes(20, 'X'));
    EXPECT_EQ(port.GetInfo(), std::string(20, 'X'));
    answerWith({'o', 'k'});
    EXPECT_EQ(port.GetInfo(), "ok");

    answerWith(Bytes(255, 'L'));
    EXPECT_EQ(port.GetInfo(), std::string(255, 'L'));
    answerWith({});
    EXPECT_EQ(port.GetInfo(), "");
}

TEST_F(CommandTest, DeviceErrorLeavesOutputsUntouched)
{
    sim::Faults faults;
    faults.errorCode = 3;
    setFaults(faults);
    for (const auto& c : getCases()) {
        SCOPED_TRACE(c.name);
        std::vector<int> outputs;
        EXPECT_EQ(hardwareError([&] { c.call(port, outputs); }),
                  commandError(c.name, "устройство не готово."));
        EXPECT_TRUE(allUntouched(outputs));
    }
    for (const auto& c : setCases) {
        SCOPED_TRACE(c.name);
        const std::string row = c.name;
        const std::string name = row.substr(0, row.find('_'));  // the row names start with it
        EXPECT_EQ(hardwareError([&] { c.call(port); }),
                  commandError(name, "устройство не готово."));
    }
}

TEST_F(CommandTest, ShortAnswersAreWrongAnswers)
{
    for (const auto& c : getCases()) {
        SCOPED_TRACE(c.name);
        // One byte short of the layout, with values that would otherwise decode.
        Bytes shortAnswer(c.answer.begin(), c.answer.end() - 1);
        answerWith(shortAnswer);
        std::vector<int> outputs;
        EXPECT_EQ(hardwareError([&] { c.call(port, outputs); }), commandError(c.name, WrongAnswer));
        EXPECT_TRUE(allUntouched(outputs));

        answerWith({});
        EXPECT_EQ(hardwareError([&] { c.call(port, outputs); }), commandError(c.name, WrongAnswer));
        EXPECT_TRUE(allUntouched(outputs));

        // Longer than the layout is fine: the values come from their positions.
        Bytes longer = c.answer;
        longer.push_back(0x99);
        answerWith(longer);
        c.call(port, outputs);
        EXPECT_EQ(outputs, c.values);
    }
    answerWith({});
    EXPECT_EQ(hardwareError([&] { port.SetS(wake::CmdStop); }), commandError("SetS", WrongAnswer));
}

TEST_F(CommandTest, WrongCommandLeavesOutputsUntouched)
{
    sim::Faults faults;
    faults.wrongCommand = true;
    setFaults(faults);
    for (const auto& c : getCases()) {
        SCOPED_TRACE(c.name);
        std::vector<int> outputs;
        EXPECT_EQ(hardwareError([&] { c.call(port, outputs); }), commandError(c.name, WrongAnswer));
        EXPECT_TRUE(allUntouched(outputs));
    }
}
