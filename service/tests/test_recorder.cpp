// The journal fed by the protocol client on a simulated line: the rows of
// commands that change an actuator, their results, and the strokes timed
// from "open" or "close" to the limit switch.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "codes.h"
#include "operationrecorder.h"
#include "simport.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class Recorder : public SimPortTest {
protected:
    void SetUp() override
    {
        SimPortTest::SetUp();
        dir = fs::temp_directory_path() / ("tirs-recorder-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        recorder = std::make_unique<service::OperationRecorder>(dir.string());
        port.SetObserver([this](const ExchangeRecord& r) { recorder->observe(r); });
    }
    void TearDown() override
    {
        SimPortTest::TearDown();
        fs::remove_all(dir);
    }
    std::vector<service::journal::Row> rows() const
    {
        return service::journal::readFile(recorder->journal().path());
    }
    // Lets the simulated drive run: motion on, time passing at this scale.
    void runDrive(double timeScale)
    {
        line.with(SimAddress, [](sim::ActuatorState& s) { s.frozen = false; });
        line.setTimeScale(timeScale);
    }

    fs::path dir;
    std::unique_ptr<service::OperationRecorder> recorder;
};

}  // namespace

TEST_F(Recorder, CommandsThatChangeTheActuatorAreJournalledWithTheirResult)
{
    EXPECT_EQ(port.GetInfo(), "ТИРС-70 №0001");
    port.GetA();  // reads are not journalled
    port.SetA({200, 1500});
    port.SetR({{{1, 40, 60, 2}, {0, 0, 0, 0}, {2, 30, 100, 2}}});
    setFaults([] {
        sim::Faults f;
        f.errorCode = 4;
        return f;
    }());
    EXPECT_NE(hardwareError([&] { port.SetP({300, 800, 200}); }), "");
    setFaults([] {
        sim::Faults f;
        f.silent = true;
        return f;
    }());
    EXPECT_NE(hardwareError([&] { port.SetS(wake::CmdStopOff); }), "");
    port.Close();
    EXPECT_NE(hardwareError([&] { port.SetT(2000); }), "");

    const auto r = rows();
    ASSERT_EQ(r.size(), 5u);
    EXPECT_EQ(r[0].action, "SetA");
    EXPECT_EQ(r[0].values, "A=200 Ia=1500");
    EXPECT_EQ(r[0].result, "ok");
    EXPECT_EQ(r[0].port, "COM3");
    EXPECT_EQ(r[0].address, SimAddress);
    EXPECT_EQ(r[0].type, "ТИРС-70 №0001");
    EXPECT_EQ(r[1].values, "RelEn1=1 RelMin1=40 RelMax1=60 RelHyst1=2 RelEn2=0 RelMin2=0 RelMax2=0 "
                           "RelHyst2=0 RelEn3=2 RelMin3=30 RelMax3=100 RelHyst3=2");
    EXPECT_EQ(r[2].result, "неправильные параметры.");
    EXPECT_EQ(r[3].values, "MotionCode=0");
    EXPECT_EQ(r[3].result, "нет ответа");
    EXPECT_EQ(r[4].port, "None");
    EXPECT_EQ(r[4].result, "порт не открыт");

    recorder->fileOperation("FileSave", "COM3", 1, "/tmp/Params.par", "");
    recorder->fileOperation("FileLoad", "COM3", 1, "/tmp/x.par", "Cannot open file");
    const auto f = rows();
    ASSERT_EQ(f.size(), 7u);
    EXPECT_EQ(f[5].action, "FileSave");
    EXPECT_EQ(f[5].values, "/tmp/Params.par");
    EXPECT_EQ(f[5].result, "ok");
    EXPECT_EQ(f[6].result, "Cannot open file");
}

// The poll reads the position on every page, the flags only on the position
// page: a stroke seen to end late is still dated by the position's rest.
TEST_F(Recorder, AStrokeIsTimedFromTheCommandToTheLimitSwitch)
{
    line.with(SimAddress, [](sim::ActuatorState& s) {
        s.Nt = 400;
        s.N = 0;
    });
    runDrive(0);  // the test moves the simulated time itself
    std::vector<service::Stroke> seen;
    recorder->onStroke = [&](const service::Stroke& s) { seen.push_back(s); };

    // Taken before the command, so that the stroke (dated from the command's
    // answer) cannot begin before it.
    const auto started = std::chrono::steady_clock::now();
    port.SetS(wake::CmdOpen);
    int flags = 0;
    port.GetN();
    flags = port.GetS().flags;
    ASSERT_FALSE(flags & wake::flag::Limo);
    // Moving for a while, then at rest at the open end.
    for (int i = 0; i < 5 && !(line.state(SimAddress).driveFlags & wake::flag::Limo); ++i) {
        std::this_thread::sleep_for(20ms);
        line.advanceBy(60s);
        port.GetN();
    }
    ASSERT_TRUE(line.state(SimAddress).driveFlags & wake::flag::Limo);
    port.GetN();
    const double restedAfter =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    // The flags are looked at only much later.
    std::this_thread::sleep_for(400ms);
    port.GetN();
    EXPECT_TRUE(seen.empty());
    flags = port.GetS().flags;
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0].open);
    EXPECT_GT(seen[0].seconds, 0.0);
    EXPECT_LE(seen[0].seconds, restedAfter);

    const auto r = rows();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].action, "SetS");
    EXPECT_EQ(r[1].action, "StrokeOpen");
    EXPECT_EQ(r[1].values, service::strokeValues(seen[0]));
    EXPECT_EQ(r[1].values.rfind("seconds=", 0), 0u);
    ASSERT_TRUE(recorder->lastStroke(SimAddress));

    // Open again at the open end: the drive does not move, no stroke.
    port.SetS(wake::CmdOpen);
    port.GetN();
    flags = port.GetS().flags;
    // Close, stopped half-way: no stroke either.
    port.SetS(wake::CmdClose);
    port.GetN();
    line.advanceBy(1s);
    port.GetN();
    port.SetS(wake::CmdStop);
    line.advanceBy(600s);
    port.GetN();
    flags = port.GetS().flags;
    EXPECT_EQ(seen.size(), 1u);

    // Close all the way, the flags watched on every poll.
    port.SetS(wake::CmdClose);
    for (int i = 0; i < 20 && !(flags & wake::flag::Limc); ++i) {
        line.advanceBy(30s);
        port.GetN();
        flags = port.GetS().flags;
    }
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_FALSE(seen[1].open);
    EXPECT_EQ(rows().back().action, "StrokeClose");
}
