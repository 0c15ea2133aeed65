// The line library in-process against a simulated line on a pty: scan,
// parameter and relay sets, verified writes, address assignment, strokes,
// backup and restore, the port's opening and the settings file.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "outcometext.h"
#include "addressing.h"
#include "backup.h"
#include "inifile.h"
#include "exchangetext.h"
#include "isotime.h"
#include "linesettings.h"
#include "motion.h"
#include "paramset.h"
#include "portopen.h"
#include "relayset.h"
#include "scan.h"
#include "simport.h"
#include "status.h"

namespace fs = std::filesystem;

namespace {

constexpr int SetSCode = 16, SetTCode = 20, SetAddrCode = 4;

std::vector<int> commandsOf(const std::vector<sim::LoggedRequest>& log)
{
    std::vector<int> out;
    for (const auto& r : log)
        out.push_back(r.command);
    return out;
}

long countOf(const std::vector<sim::LoggedRequest>& log, int command)
{
    const std::vector<int> commands = commandsOf(log);
    return std::count(commands.begin(), commands.end(), command);
}

// Actuators at 3 and 17 on a pty, reached by the pty's device path.
class LineService : public ::testing::Test {
protected:
    void SetUp() override
    {
        addStillActuator(line, 3, "ТИРС-70 №0003");
        addStillActuator(line, 17, "Насос 17");
        pty = std::make_unique<sim::PtyLine>(line);
        ASSERT_TRUE(pty->start());
        const service::PortOpenResult opened = service::openPort(port, pty->slavePath(), 9600);
        ASSERT_TRUE(opened.opened) << opened.problem;
        ASSERT_EQ(port.Port, TWakePort::DevicePathPort);
        port.SetDevAddr(5);
        dir = fs::temp_directory_path() / ("lineservice-" + std::to_string(::getpid()));
        fs::remove_all(dir);
    }
    void TearDown() override
    {
        port.Close();
        pty->stop();
        fs::remove_all(dir);
    }

    sim::Line line;
    std::unique_ptr<sim::PtyLine> pty;
    TWakePort port{8};
    fs::path dir;
};

TEST_F(LineService, ScanProbesAscendingReportsProgressAndCanBeCancelled)
{
    std::vector<int> probed;
    service::ScanOptions options;
    options.first = 1;
    options.last = 20;
    options.progress = [&](int a, const service::FoundActuator*) { probed.push_back(a); };
    const auto found = service::scanLine(port, options);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].address, 3);
    EXPECT_EQ(found[1].type, "Насос 17");
    EXPECT_EQ(probed.size(), 20u);
    EXPECT_TRUE(std::is_sorted(probed.begin(), probed.end()));
    EXPECT_EQ(port.DevAddr, 5);  // the client's address is given back

    options.cancelled = [&] { return probed.size() >= 24; };
    EXPECT_EQ(service::scanLine(port, options).size(), 1u);  // stopped after address 4

    TWakePort closed{8};
    EXPECT_TRUE(service::scanLine(closed, options).empty());
}

TEST_F(LineService, AScanTakesTheTimeoutItIsGivenAndLastsAsScanDurationSays)
{
    // 40 addresses, two of them answering: each silent one costs the
    // time-out given (not the client's 100 ms), and the estimate holds.
    constexpr int Addresses = 40, Timeout = 30;
    service::ScanOptions options;
    options.last = Addresses;
    options.timeout = Timeout;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(service::scanLine(port, options).size(), 2u);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    EXPECT_EQ(port.AnswerTimeout, 100);  // given back
    // The pty has no baud rate: the estimate at a rate that makes the
    // request's wire time nothing is the time-outs alone.
    const auto estimate = service::scanDuration(Addresses, Timeout, 0);
    EXPECT_EQ(estimate.count(), Addresses * Timeout);
    EXPECT_GE(took.count(), (Addresses - 2) * Timeout);
    // Generous for a loaded machine, yet far below the client's own 100 ms a probe.
    EXPECT_LT(took.count(), estimate.count() * 2);
    // 127 addresses at 9600 baud and 100 ms: the request adds 5.2 ms each.
    EXPECT_EQ(service::scanDuration(wake::MaxAddress, 100, 9600).count(), 13361);
    EXPECT_EQ(service::durationText(service::scanDuration(wake::MaxAddress, 100, 9600)),
              "около 13 с");
    EXPECT_EQ(service::durationText(std::chrono::milliseconds(2540)), "около 2,5 с");
}

TEST_F(LineService, AWriteGoesInThePagesOrderWithThePagesValuesAndIsVerified)
{
    IniImage file;
    file.writeInteger("Work", "Vmin", 0);          // the field holds it at 1
    file.writeInteger("Lock", "Il", 5000);         // at 2000
    file.writeString("Acceleration", "Ia", "-5");  // at -0.1, sent as 0
    file.writeInteger("Travel", "Nt", 3000);
    const service::ParamSet wanted = service::paramsFromFile(file);
    EXPECT_EQ(wanted[*service::paramIndex("Vmin")], 1);
    EXPECT_EQ(wanted[*service::paramIndex("Il")], 2000);
    EXPECT_EQ(wanted[*service::paramIndex("Ia")], 0);
    EXPECT_EQ(wanted[*service::paramIndex("V3")], 200);  // missing: the default

    const service::WriteOutcome dry = service::writeParamsVerified(port, 3, wanted, {false, true});
    EXPECT_FALSE(dry.written);
    EXPECT_EQ(dry.before.size(), 3u);  // Vmin, Ia, Nt (Il is 2000 already)
    pty->clearRequests();

    const service::WriteOutcome out = service::writeParamsVerified(port, 3, wanted, {});
    EXPECT_TRUE(out.written);
    EXPECT_TRUE(out.verified());
    EXPECT_TRUE(out.travelSkipped);
    const auto log = pty->requests();
    // Read (GetA GetM GetP GetL GetW GetT), write, read back.
    EXPECT_EQ(commandsOf(log),
              (std::vector<int>{9, 7, 11, 13, 15, 21, 16, 8, 6, 10, 12, 14, 9, 7, 11, 13, 15, 21}));
    EXPECT_EQ(log[6].data, std::vector<std::uint8_t>{wake::CmdStopOff});
    EXPECT_EQ(log[8].data, (std::vector<std::uint8_t>{1, 0, 0}));  // Vmin 1, extra = Ia's low byte
    EXPECT_EQ(line.state(3).Nt, 2000);
    EXPECT_EQ(port.DevAddr, 5);

    pty->clearRequests();
    const service::WriteOutcome travel =
        service::writeParamsVerified(port, 3, wanted, {true, false});
    EXPECT_TRUE(travel.verified());
    EXPECT_EQ(commandsOf(pty->requests())[12], SetTCode);
    EXPECT_EQ(line.state(3).Nt, 3000);

    pty->clearRequests();
    EXPECT_FALSE(service::writeParamsVerified(port, 3, wanted, {true, false}).written);
    EXPECT_EQ(countOf(pty->requests(), SetSCode), 0);
}

TEST_F(LineService, AReadBackThatDiffersIsAMismatch)
{
    pty->stop();
    pty = std::make_unique<sim::PtyLine>(line);
    // The drive takes SetR but relay 3 keeps its mode.
    pty->setRequestObserver([this](const sim::LoggedRequest& r) {
        if (r.command == 23)
            line.with(r.address, [](sim::ActuatorState& s) { s.relays[2].mode = 0; });
    });
    ASSERT_TRUE(pty->start());
    ASSERT_TRUE(service::openPort(port, pty->slavePath(), 9600).opened);
    service::RelaySet wanted{};
    wanted[0] = {1, 20, 80, 5};
    wanted[2] = {2, 10, 90, 3};
    const service::RelayWriteOutcome out = service::writeRelaysVerified(port, 17, wanted, false);
    EXPECT_TRUE(out.written);
    ASSERT_EQ(out.mismatches.size(), 1u);
    EXPECT_EQ(out.mismatches[0].key, "RelEn3");
    EXPECT_EQ(service::readRelays(port, 17)[0], wanted[0]);

    IniImage file;
    service::relaysToFile(file, wanted);
    EXPECT_EQ(service::relaysFromFile(file), wanted);
    EXPECT_EQ(service::relaysFromFile(IniImage{}), std::nullopt);
}

TEST_F(LineService, BackupWritesLoadableFilesAndRestoreBringsThemBack)
{
    line.with(17, [](sim::ActuatorState& s) {
        s.Np = 321;
        s.relays[1] = {2, 30, 70, 4};
    });
    sim::Faults silent;
    silent.silent = true;
    line.setFaults(3, silent);
    service::BackupOptions options;
    options.addresses = {3, 17};
    options.name = [](int a) { return a == 17 ? std::string("Насос") : std::string(); };
    const auto items = service::backupLine(port, dir.string(), options);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_FALSE(items[0].ok());
    EXPECT_NE(items[0].error.find("Нет ответа"), std::string::npos);
    ASSERT_TRUE(items[1].ok()) << items[1].error;

    const IniImage file = IniImage::load((dir / "A17.par").string());
    const service::DeviceRecord device = service::deviceFromFile(file);
    EXPECT_EQ(device.address, 17);
    EXPECT_EQ(device.type, "Насос 17");
    EXPECT_EQ(device.name, "Насос");
    EXPECT_TRUE(
        std::regex_match(device.date, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)")))
        << device.date;
    EXPECT_EQ(service::paramsFromFile(file), service::readParams(port, 17));
    EXPECT_EQ(file.sections().front(), "Device");

    line.with(17, [](sim::ActuatorState& s) {
        s.Np = 5;
        s.relays[1] = {};
    });
    const auto restored = service::restoreLine(port, dir.string(), {});
    ASSERT_EQ(restored.size(), 1u);
    EXPECT_EQ(restored[0].result, service::RestoreItem::Restored);
    EXPECT_EQ(line.state(17).Np, 321);
    EXPECT_EQ(line.state(17).relays[1].max, 70);

    line.clearFaults();
    IniImage stray;
    stray.writeInteger("Work", "V1", 1);
    stray.save((dir / "A9.par").string());
    const auto again = service::restoreLine(port, dir.string(), {});
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again[0].result, service::RestoreItem::BadFile);  // A9: no [Device]
    EXPECT_EQ(again[1].result, service::RestoreItem::Unchanged);
}

TEST_F(LineService, AnAddressIsAssignedOnlyWhereNobodyAnswers)
{
    line.removeActuator(3);
    pty->clearRequests();
    const service::AddressOutcome occupied = service::assignAddress(port, 17, false);
    EXPECT_EQ(occupied.result, service::AddressOutcome::Occupied);
    EXPECT_EQ(occupied.type, "Насос 17");
    EXPECT_EQ(countOf(pty->requests(), SetAddrCode), 0);

    line.removeActuator(17);
    addStillActuator(line, 3, "ТИРС-70 №0003");
    const service::AddressOutcome assigned = service::assignAddress(port, 40, false);
    EXPECT_EQ(assigned.result, service::AddressOutcome::Assigned);
    EXPECT_EQ(line.addresses(), std::vector<int>{40});
    EXPECT_EQ(port.DevAddr, 5);
}

TEST_F(LineService, SeveralActuatorsHearingAFrameWithoutAddressGetNoAddress)
{
    // Answers one after another, then on top of one another (garbled).
    for (const bool collisions : {false, true}) {
        line.setCollisions(collisions);
        EXPECT_EQ(service::whoIsThere(port).count, service::Listeners::Several) << collisions;
        pty->clearRequests();
        EXPECT_EQ(service::assignAddress(port, 40, false).result, service::AddressOutcome::Several);
        EXPECT_EQ(countOf(pty->requests(), SetAddrCode), 0);
        const auto getInfo = pty->requests().front();
        EXPECT_FALSE(getInfo.hasAddress);
    }
    EXPECT_EQ(port.DevAddr, 5);

    line.removeActuator(17);
    const service::Listeners one = service::whoIsThere(port);
    EXPECT_EQ(one.count, service::Listeners::One);
    EXPECT_EQ(one.type, "ТИРС-70 №0003");
    line.removeActuator(3);
    EXPECT_EQ(service::whoIsThere(port).count, service::Listeners::None);

    // Two at one address: forced, both take the new one.
    addStillActuator(line, 3, "ТИРС-70 №0003");
    addStillActuator(line, 3, "ТИРС-70 №9003");
    EXPECT_EQ(service::assignAddress(port, 40, true).result,
              service::AddressOutcome::NotAnswering);  // the answer at 40 is garbled too
    EXPECT_EQ(line.addresses(), (std::vector<int>{40, 40}));
}

TEST_F(LineService, AStrokeIsFollowedToItsEnd)
{
    line.with(3, [](sim::ActuatorState& s) {
        s.frozen = false;
        s.Nt = 40;
        s.No = 0;
        s.Nc = 0;
        s.Np = 0;
    });
    line.setTimeScale(50);
    service::FollowOptions follow;
    follow.interval = std::chrono::milliseconds(20);
    follow.timeout = std::chrono::seconds(60);
    int readings = 0;
    follow.reading = [&](int, int, int) { ++readings; };
    const service::StrokeResult r = service::runStroke(port, 3, wake::CmdOpen, follow);
    EXPECT_TRUE(r.ended);
    EXPECT_EQ(r.driveFlags & wake::flag::Limo, wake::flag::Limo);
    EXPECT_EQ(r.position, 40);
    EXPECT_GT(readings, 1);
    EXPECT_GT(r.elapsed.count(), 0);

    service::resetPosition(port, 3);
    EXPECT_EQ(service::readStatus(port, 3).position, 0);
}

TEST(LineServicePorts, APortThatCannotOpenIsNamedWithItsReason)
{
    pointPortsAt("/nonexistent/lineservice-port");
    TWakePort port{8};
    const service::PortOpenResult missing = service::openPort(port, "com3", 9600);
    EXPECT_FALSE(missing.opened);
    EXPECT_NE(missing.problem.find("не найдено"), std::string::npos) << missing.problem;
    EXPECT_EQ(port.Port, 3);  // still chosen: reopened by its name once it is there
    EXPECT_NE(service::openPort(port, "COM9", 9600).problem.find("неизвестный порт"),
              std::string::npos);
    EXPECT_EQ(service::normalPortName(port, "com8"), "COM8");
}

TEST(LineServiceSettings, TheWindowsSettingsFileGivesPortAddressNamesAndConstants)
{
    const fs::path path =
        fs::temp_directory_path() / ("lineservice-" + std::to_string(::getpid()) + ".ini");
    IniImage ini;
    ini.writeInteger("Port", "Port", 4);
    ini.writeInteger("Port", "Baud Rate", 19200);
    ini.writeInteger("Params", "Address", 7);
    ini.writeString("Params", "MotSteps", "99999999999");  // not an int: the default
    ini.writeString("Names", "Addr7", "Задвижка");
    ini.save(path.string());
    const service::LineSettings s = service::loadLineSettings(path.string());
    fs::remove(path);
    EXPECT_EQ(s.port, 4);
    EXPECT_EQ(s.baud, 19200);
    EXPECT_EQ(s.address, 7);
    EXPECT_EQ(s.motSteps, 200);
    EXPECT_EQ(service::nameOf(s, 7), "Задвижка");
    EXPECT_EQ(service::nameOf(s, 0), "");
    EXPECT_EQ(service::loadLineSettings(path.string()).baud, 9600);  // missing file: defaults

    EXPECT_TRUE(std::regex_match(service::localClockTime(std::chrono::system_clock::now()),
                                 std::regex(R"(\d\d:\d\d:\d\d\.\d{3})")));
}

TEST(LineServiceSettings, TheLastScanAndItsTimeoutAreKeptUntilTheNextScan)
{
    IniImage ini;
    EXPECT_TRUE(service::readLastScan(ini).empty());
    EXPECT_EQ(service::readScanTimeout(ini), service::DefaultScanTimeoutMs);
    service::writeLastScan(ini, {{3, "ТИРС-70 №0003"}, {9, "", false, true}, {17, "Насос 17"}});
    service::writeScanTimeout(ini, 40);
    // Through the file's bytes, as the window writes and reads it.
    IniImage again = IniImage::fromBytes(ini.toBytes());
    const std::vector<service::FoundActuator> kept = service::readLastScan(again);
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept[0].address, 3);
    EXPECT_EQ(kept[0].type, "ТИРС-70 №0003");
    EXPECT_TRUE(kept[1].damaged);
    EXPECT_EQ(service::foundText(kept[1]), DamagedAnswerText);
    EXPECT_EQ(kept[2].address, 17);
    EXPECT_EQ(service::readScanTimeout(again), 40);

    // A shorter scan replaces the longer one whole; a time-out out of range is held to it.
    service::writeLastScan(again, {{5, "пятый"}});
    again.writeInteger("Port", "Scan Timeout", 5);
    const auto shorter = service::readLastScan(again);
    ASSERT_EQ(shorter.size(), 1u);
    EXPECT_EQ(shorter[0].address, 5);
    EXPECT_EQ(service::readScanTimeout(again), service::MinScanTimeoutMs);
}

}  // namespace
