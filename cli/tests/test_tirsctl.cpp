// tirsctl as a process, from a folder of its own (program, library, settings
// file, ports/), against a simulated line served on a pty by this test.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <sys/file.h>
#include <unistd.h>

#include <signal.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>

#include "filesizelimit.h"
#include "inifile.h"
#include "journal.h"
#include "paramfile.h"
#include "portlinks.h"
#include "process.h"
#include "simport.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

fs::path appDir()
{
    return fs::read_symlink("/proc/self/exe").parent_path() / "app";
}

// ports/COMn beside the copied program: COM2 the test's line, the rest nothing.
void pointPorts(const std::string& line)
{
    for (int n = 1; n <= 8; ++n)
        support::replaceWithLink(appDir() / "ports" / ("COM" + std::to_string(n)),
                                 n == 2 ? line : support::MissingDevice);
}

int countRequests(const std::vector<sim::LoggedRequest>& log, int command)
{
    int n = 0;
    for (const auto& r : log)
        n += r.command == command ? 1 : 0;
    return n;
}

class Tirsctl : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        fs::create_directories(appDir());
        for (const char* file : {TIRSCTL_PATH, SERLINK_PATH})
            fs::copy_file(file, appDir() / fs::path(file).filename(),
                          fs::copy_options::overwrite_existing);
    }

    void SetUp() override
    {
        addStillActuator(line, 3, "ТИРС-70 №0003");
        addStillActuator(line, 17, "Насос 17");
        pty = std::make_unique<sim::PtyLine>(line);
        ASSERT_TRUE(pty->start());
        pointPorts(pty->slavePath());
        IniImage settings;
        settings.writeInteger("Port", "Port", 2);
        settings.writeInteger("Params", "Address", 3);
        settings.writeString("Names", "Addr3", "Задвижка 3");
        settings.save((appDir() / "tirspanel.ini").string());
        work = fs::temp_directory_path() / ("tirsctl-test-" + std::to_string(::getpid()));
        fs::remove_all(work);
        fs::create_directories(work);
    }

    void TearDown() override
    {
        pty->stop();
        fs::remove_all(work);
    }

    // With the settings file's defaults (COM2, address 3).
    ProcessResult run(const std::vector<std::string>& args)
    {
        return runProcess((appDir() / "tirsctl").string(), args);
    }
    // On the line by its device path.
    ProcessResult onLine(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--port", pty->slavePath()});
        return run(args);
    }
    // On the line, interrupted (SIGINT) at the first request that interrupt picks.
    ProcessResult interruptedOnLine(std::vector<std::string> args,
                                    std::function<bool(const sim::LoggedRequest&)> interrupt)
    {
        std::atomic<int> pid{0};
        std::atomic<bool> sent{false};
        pty->setRequestObserver([&](const sim::LoggedRequest& r) {
            if (pid > 0 && !sent && interrupt(r)) {
                sent = true;
                ::kill(pid, SIGINT);
            }
        });
        args.insert(args.begin(), {"--port", pty->slavePath()});
        ProcessResult result = runProcess((appDir() / "tirsctl").string(), args,
                                          std::chrono::seconds(60), [&](int p) { pid = p; });
        pty->setRequestObserver({});
        return result;
    }
    std::string paramFile(const std::string& name,
                          const std::vector<std::pair<std::string, int>>& values)
    {
        IniImage file;
        for (const auto& [key, value] : values)
            file.writeInteger(key == "A" || key == "Ia" ? "Acceleration" : "Work", key, value);
        const std::string path = (work / name).string();
        file.save(path);
        return path;
    }

    sim::Line line;
    std::unique_ptr<sim::PtyLine> pty;
    fs::path work;
};

TEST_F(Tirsctl, ScanListsTheActuatorsAsTextAndJson)
{
    const ProcessResult text = run({"scan", "--last", "20"});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(linesOf(text.out),
              (std::vector<std::string>{"3  ТИРС-70 №0003  Задвижка 3", "17  Насос 17"}));

    const ProcessResult js = onLine({"--json", "scan", "--first", "2", "--last", "18"});
    ASSERT_EQ(js.exitCode, 0) << js.err;
    EXPECT_EQ(json::parse(js.out),
              json::parse(R"([{"address": 3, "type": "ТИРС-70 №0003", "name": "Задвижка 3",
                                "late": false, "damaged": false},
                               {"address": 17, "type": "Насос 17", "name": "",
                                "late": false, "damaged": false}])"));
    // Ascending, one GetInfo per address, nothing else.
    const auto log = pty->requests();
    ASSERT_EQ(countRequests(log, 3), 20 + 17);
    EXPECT_EQ(log.back().address, 18);
}

TEST_F(Tirsctl, ScanFindsEveryActuatorPastOneThatAnswersLate)
{
    line.removeActuator(3);
    line.removeActuator(17);
    for (int a = 1; a <= 6; ++a)
        addStillActuator(line, a, "ТИРС-70 №000" + std::to_string(a));
    sim::Faults late;
    late.delay = std::chrono::milliseconds(104);  // just past the 100 ms byte time-out
    line.setFaults(2, late);
    const ProcessResult js = onLine({"--json", "scan", "--last", "8"});
    ASSERT_EQ(js.exitCode, 0) << js.err;
    std::vector<int> found;
    for (const auto& row : json::parse(js.out))
        found.push_back(row["address"].get<int>());
    EXPECT_EQ(found, (std::vector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(json::parse(js.out)[1]["late"].get<bool>());
}

TEST_F(Tirsctl, StatusWatchGivesOneReadingPerLine)
{
    line.with(3, [](sim::ActuatorState& s) {
        s.N = 400;
        s.driveFlags = 0x14;
    });
    const ProcessResult js = run({"--json", "status", "--watch", "0.05", "--count", "3"});
    ASSERT_EQ(js.exitCode, 0) << js.err;
    const auto rows = linesOf(js.out);
    ASSERT_EQ(rows.size(), 3u);
    for (const std::string& row : rows) {
        const json r = json::parse(row);
        EXPECT_EQ(r["address"], 3);
        EXPECT_EQ(r["position"], 400);
        EXPECT_EQ(r["percent"], 20);
        EXPECT_EQ(r["mm"], 8.3);  // 400 x 0.00083 x 200 / 8
        EXPECT_EQ(r["flagNames"], json::parse(R"(["LIMO", "PC"])"));
        EXPECT_TRUE(r.contains("time"));
    }

    const ProcessResult csv = run({"status", "--watch", "0.05", "--count", "2", "--csv"});
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    const auto lines = linesOf(csv.out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0],
              "time;address;state;stateText;flags;position;percent;mm;travel;inputCurrent;relays");
    EXPECT_NE(lines[1].find(";3;0;Привод остановлен;0x14;400;20;8.3;2000;12000;000"),
              std::string::npos);
    // Times to the millisecond: 2026-12-08T18:40:51.123+03:00
    EXPECT_EQ(lines[1].substr(19, 1), ".") << lines[1];
}

TEST_F(Tirsctl, ParamsWriteIsVerifiedAndDiffTellsByExitCode)
{
    const std::string file = paramFile("set.par", {{"V1", 250}, {"Vmin", 0}, {"A", 5000}});
    const ProcessResult diff = run({"params", "diff", file});
    EXPECT_EQ(diff.exitCode, 1);
    // The file's values as the parameter page sends them: Vmin held at 1, A at 4000.
    EXPECT_EQ(linesOf(diff.out),
              (std::vector<std::string>{"Vmin 80 1", "V1 200 250", "A 200 4000"}));

    const ProcessResult write = run({"params", "write", file, "--allow-defaults"});
    ASSERT_EQ(write.exitCode, 0) << write.out << write.err;
    EXPECT_NE(write.out.find("Записано и проверено"), std::string::npos);
    const sim::ActuatorState s = line.state(3);
    EXPECT_EQ(s.V1, 250);
    EXPECT_EQ(s.Vmin, 1);
    EXPECT_EQ(s.A, 4000);
    EXPECT_EQ(countRequests(pty->requests(), 20), 0);  // no SetT without --travel
    // Journalled beside the program, as the window journals its writes.
    const auto rows = service::journal::readFile((appDir() / "tirspanel-journal.csv").string());
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back().action, "SetW");
    EXPECT_EQ(rows.back().address, 3);
    EXPECT_NE(rows.back().values.find("source=tirsctl"), std::string::npos) << rows.back().values;
    EXPECT_EQ(run({"params", "diff", file}).exitCode, 0);
}

TEST_F(Tirsctl, AWriteWhoseReadBackDiffersFails)
{
    pty->stop();
    // A drive that acknowledges SetW but keeps V1 as it was.
    pty = std::make_unique<sim::PtyLine>(line);
    pty->setRequestObserver([this](const sim::LoggedRequest& r) {
        if (r.command == 14)
            line.with(r.address, [](sim::ActuatorState& s) { s.V1 = 200; });
    });
    ASSERT_TRUE(pty->start());
    const std::string file = paramFile("v1.par", {{"V1", 300}});
    const ProcessResult write =
        onLine({"--address", "17", "params", "write", file, "--allow-defaults"});
    EXPECT_EQ(write.exitCode, 1);
    EXPECT_NE(write.out.find("Ошибка проверки"), std::string::npos) << write.out;
    EXPECT_NE(write.out.find("  V1 200 300"), std::string::npos) << write.out;

    const ProcessResult js =
        onLine({"--address", "17", "--json", "params", "write", file, "--allow-defaults"});
    EXPECT_EQ(js.exitCode, 1);
    EXPECT_EQ(json::parse(js.out)["mismatches"],
              json::parse(R"([{"key": "V1", "device": 200, "file": 300}])"));
}

TEST_F(Tirsctl, OnlyAWholeParameterFileForThisActuatorIsWritten)
{
    const auto writeFile = [&](const std::string& name, const std::string& bytes) {
        const std::string path = (work / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    };
    std::string whole = "[Device]\nAddress=3\n";
    for (const auto& k : paramfile::ParamKeys)
        whole += "[" + std::string(k.section) + "]\n" + std::string(k.key) + "=" +
                 std::to_string(k.defaultValue + 1) + "\n";
    std::string random;
    for (int i = 0; i < 65536; ++i)
        random += static_cast<char>((i * 7919 + 13) % 251);
    std::string nan = whole;
    nan.replace(nan.find("V1=201"), 6, "V1=NaN");
    std::string hex = whole;
    hex.replace(hex.find("A=201"), 5, "A=0x123456789abcdef012");
    std::string huge = whole;
    huge.replace(huge.find("Ip=") + 3, 1, "1e309");

    const struct {
        std::string file;
        std::vector<std::string> extra;
        std::string said;
    } refused[] = {
        {writeFile("empty.par", ""), {"--allow-defaults"}, "ни одного параметра"},
        {writeFile("random.par", random), {"--allow-defaults"}, "ни одного параметра"},
        {writeFile("nan.par", nan), {"--allow-defaults"}, "конечным числом: V1"},
        {writeFile("hex.par", hex), {"--allow-defaults"}, "конечным числом: A"},
        {writeFile("huge.par", huge), {"--allow-defaults"}, "конечным числом: Ip"},
        {paramFile("some.par", {{"V1", 250}}), {}, "Vmin, I1"},
        {writeFile("a2.par", std::string(whole).replace(17, 1, "2")), {}, "с привода 2"},
    };
    for (const auto& r : refused) {
        std::vector<std::string> args{"params", "write", r.file};
        args.insert(args.end(), r.extra.begin(), r.extra.end());
        const ProcessResult p = run(args);
        EXPECT_EQ(p.exitCode, 2) << r.file << p.out;
        EXPECT_NE(p.err.find(r.said), std::string::npos) << r.file << p.err;
    }
    EXPECT_EQ(countRequests(pty->requests(), 16), 0);  // no SetS: nothing written
    EXPECT_EQ(line.state(3).V1, 200);

    // Saved from address 2, written to 3 only when forced.
    const ProcessResult forced =
        run({"params", "write", (work / "a2.par").string(), "--force", "--travel"});
    ASSERT_EQ(forced.exitCode, 0) << forced.out << forced.err;
    EXPECT_EQ(line.state(3).V1, 201);

    // A backup folder holding such a file: restore writes nothing.
    const fs::path dir = work / "backup";
    fs::create_directories(dir);
    std::ofstream((dir / "A3.par").string(), std::ios::binary) << "[Device]\nAddress=3\n" << random;
    const ProcessResult restore = onLine({"restore", dir.string(), "--allow-defaults"});
    EXPECT_EQ(restore.exitCode, 2) << restore.out;
    EXPECT_NE(restore.out.find("ни одного параметра"), std::string::npos) << restore.out;
}

TEST_F(Tirsctl, SetAddressRefusesSeveralActuatorsAndAnOccupiedAddress)
{
    const ProcessResult several = run({"set-address", "40"});
    EXPECT_EQ(several.exitCode, 2);
    EXPECT_NE(several.err.find("больше одного привода"), std::string::npos) << several.err;
    EXPECT_EQ(countRequests(pty->requests(), 4), 0);

    line.removeActuator(3);
    const ProcessResult refused = run({"set-address", "17"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("Насос 17"), std::string::npos) << refused.err;
    EXPECT_EQ(countRequests(pty->requests(), 4), 0);

    line.removeActuator(17);
    addStillActuator(line, 3, "ТИРС-70 №0003");
    const ProcessResult assigned = run({"set-address", "17"});
    ASSERT_EQ(assigned.exitCode, 0) << assigned.err;
    EXPECT_EQ(line.addresses(), std::vector<int>{17});
    const auto log = pty->requests();
    const auto setAddr =
        std::find_if(log.begin(), log.end(), [](const auto& r) { return r.command == 4; });
    ASSERT_NE(setAddr, log.end());
    EXPECT_FALSE(setAddr->hasAddress);  // as the window sends it
}

TEST_F(Tirsctl, BackupThenRestoreBringsBackTheOldValues)
{
    line.with(17, [](sim::ActuatorState& s) {
        s.relays[1] = {1, 20, 80, 5};
        s.Nc = 700;
    });
    const ProcessResult backup = onLine({"backup", work.string(), "--addresses", "3,17"});
    ASSERT_EQ(backup.exitCode, 0) << backup.out << backup.err;
    const IniImage a17 = IniImage::load((work / "A17.par").string());
    EXPECT_EQ(a17.readInt("Device", "Address", 0), 17);
    EXPECT_EQ(a17.readString("Device", "Type", ""), "Насос 17");
    EXPECT_EQ(a17.readInt("Lock", "Nc", 0), 700);
    EXPECT_EQ(a17.readInt("Relays", "RelMax2", 0), 80);
    EXPECT_EQ(IniImage::load((work / "A3.par").string()).readString("Device", "Name", ""),
              "Задвижка 3");

    const ProcessResult matching = onLine({"restore", work.string(), "--dry-run"});
    EXPECT_EQ(matching.exitCode, 0) << matching.out;
    EXPECT_NE(matching.out.find("  без изменений\n"), std::string::npos) << matching.out;

    line.with(17, [](sim::ActuatorState& s) {
        s.relays[1] = {};
        s.Nc = 100;
        s.V4 = 900;
    });
    const ProcessResult dry = onLine({"restore", work.string(), "--dry-run"});
    EXPECT_EQ(dry.exitCode, 0) << dry.out;
    EXPECT_EQ(line.state(17).Nc, 100);

    const ProcessResult restore = onLine({"--json", "restore", work.string()});
    ASSERT_EQ(restore.exitCode, 0) << restore.out << restore.err;
    const json result = json::parse(restore.out);
    EXPECT_EQ(result["files"][0]["result"], "unchanged");
    EXPECT_EQ(result["files"][1]["result"], "restored");
    const sim::ActuatorState s = line.state(17);
    EXPECT_EQ(s.Nc, 700);
    EXPECT_EQ(s.V4, 200);
    EXPECT_EQ(s.relays[1].max, 80);

    // Another type of actuator at the address: skipped unless forced.
    line.with(17, [](sim::ActuatorState& s) {
        s.info = "ТИРС-40";
        s.V4 = 900;
    });
    EXPECT_EQ(onLine({"restore", work.string()}).exitCode, 1);
    EXPECT_EQ(line.state(17).V4, 900);
    EXPECT_EQ(onLine({"restore", work.string(), "--force"}).exitCode, 0);
    EXPECT_EQ(line.state(17).V4, 200);
}

TEST_F(Tirsctl, AddressZeroChangesNothingUnlessGivenExplicitly)
{
    IniImage settings = IniImage::load((appDir() / "tirspanel.ini").string());
    settings.writeInteger("Params", "Address", 0);
    settings.save((appDir() / "tirspanel.ini").string());
    const std::string file = paramFile("set.par", {{"V1", 250}});
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"move", "open"},
                                               {"params", "write", file},
                                               {"reset-position"},
                                               {"relays", "write", "1", "off", "0", "0", "0"}}) {
        const ProcessResult r = run(args);
        EXPECT_EQ(r.exitCode, 2) << testing::PrintToString(args) << r.out;
        EXPECT_NE(r.err.find("все приводы на линии"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(pty->requests().empty());

    run({"--address", "0", "move", "open"});
    EXPECT_EQ(countRequests(pty->requests(), 16), 1);  // SetS, to every actuator
}

TEST_F(Tirsctl, AnInterruptedBackupOrRestoreNamesWhatWasNotDone)
{
    addStillActuator(line, 1, "ТИРС-70 №0001");
    addStillActuator(line, 2, "ТИРС-70 №0002");
    constexpr int GetInfoCode = 3;
    const auto atTwo = [](const sim::LoggedRequest& r) {
        return r.address == 2 && r.command != GetInfoCode;
    };
    const ProcessResult backup =
        interruptedOnLine({"backup", work.string(), "--addresses", "1-3"}, atTwo);
    EXPECT_EQ(backup.exitCode, 130) << backup.out << backup.err;
    const auto lines = linesOf(backup.out);
    ASSERT_GE(lines.size(), 2u) << backup.out;
    EXPECT_EQ(lines[lines.size() - 2], "Прервано.");
    EXPECT_EQ(lines.back(), "Не сохранены: 3");
    EXPECT_FALSE(fs::exists(work / "A3.par"));

    ASSERT_EQ(onLine({"backup", work.string(), "--addresses", "1-3"}).exitCode, 0);
    const ProcessResult restore = interruptedOnLine({"restore", work.string()}, atTwo);
    EXPECT_EQ(restore.exitCode, 130) << restore.out << restore.err;
    EXPECT_NE(restore.out.find("Прервано.\nНе записаны: A3.par\n"), std::string::npos)
        << restore.out;
}

TEST_F(Tirsctl, WrongUsageGivesTwoAndAPortThatCannotOpenThree)
{
    std::ofstream(work / "a-file") << "x";
    std::ofstream(work / "huge.par").close();
    fs::resize_file(work / "huge.par", 50 * 1024 * 1024);
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--no-such-option", "info"},
                                               {},
                                               {"scan", "--first", "0"},
                                               {"--address", "128", "info"},
                                               {"status", "--count", "3"},
                                               {"move", "sideways"},
                                               {"params", "diff", (work / "missing.par").string()},
                                               {"backup", work.string(), "--addresses", "5-2"},
                                               {"relays", "write", "2", "sometimes", "0", "0", "0"},
                                               {"--port", "COM9", "info"},
                                               {"backup", (work / "a-file").string()},
                                               {"params", "diff", (work / "huge.par").string()}}) {
        const ProcessResult r = run(args);
        EXPECT_EQ(r.exitCode, 2) << testing::PrintToString(args) << r.err;
        EXPECT_FALSE(r.err.empty());
    }
    EXPECT_EQ(countRequests(pty->requests(), 3), 0);

    const ProcessResult missing = run({"--port", "COM4", "info"});
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_NE(missing.err.find("не найдено"), std::string::npos) << missing.err;
}

TEST_F(Tirsctl, AFileCutShortByAFullDiskIsAFailureNotWrongUsage)
{
    const fs::path file = work / "a3.par";
    const std::string before = "[Params]\nV1=250\n";
    std::ofstream(file) << before;
    ProcessResult r;
    {
        FileSizeLimit full(256);  // less than the parameter file, more than the message
        r = run({"params", "read", "--output", file.string()});
    }
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("Cannot write file"), std::string::npos) << r.err;
    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), before);
}

TEST_F(Tirsctl, TheParserSpeaksRussianAndNamesWhatIsWrong)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"bogus"}, "неизвестная команда «bogus»"},
        {{}, "не указана команда"},
        {{"params"}, "не указана команда после «params»"},
        {{"info", "extra"}, "лишние аргументы: extra"},
        {{"--no-such-option", "info"}, "неизвестный параметр: --no-such-option"},
        {{"scan", "--first", "200"}, "--first: 200 вне 1…127"},
        {{"scan", "--first"}, "у параметра --first не хватает значения"},
        {{"backup"}, "не хватает аргумента: DIR"}};
    for (const auto& [args, text] : cases) {
        const ProcessResult r = run(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_NE(r.err.find(text), std::string::npos) << r.err;
        // No word of CLI11's own: the Latin letters left are option names.
        for (const char* english : {"required", "expected", "range", "Subcommand", "missing"})
            EXPECT_EQ(r.err.find(english), std::string::npos) << r.err;
    }
    const ProcessResult help = run({"params", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("\nКоманды:\n"), std::string::npos) << help.out;
    EXPECT_EQ(help.out.find("Subcommands"), std::string::npos) << help.out;

    const ProcessResult version = run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("tirsctl " TIRSPANEL_VERSION " (сборка ", 0), 0u) << version.out;

    const ProcessResult js = run({"--json", "bogus"});
    EXPECT_EQ(json::parse(js.out)["code"], 2);
}

TEST_F(Tirsctl, VerboseDecodesEveryExchangeAndPortsNamesTheirTargets)
{
    sim::Faults silent;
    silent.silent = true;
    line.setFaults(17, silent);
    const ProcessResult r = run({"-v", "--timeout", "30", "--address", "17", "info"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(" 17 GetInfo -> нет ответа "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("адрес 17: Ошибка команды GetInfo: Нет ответа на команду."),
              std::string::npos)
        << r.err;
    const ProcessResult js = run({"--json", "--timeout", "30", "--address", "17", "info"});
    EXPECT_EQ(js.exitCode, 1);
    EXPECT_EQ(
        json::parse(js.out),
        json({{"error", "адрес 17: Ошибка команды GetInfo: Нет ответа на команду."}, {"code", 1}}));

    const ProcessResult ok = run({"-v", "relays", "read"});
    ASSERT_EQ(ok.exitCode, 0);
    EXPECT_NE(ok.err.find(" 3 GetR -> RelEn1=0 RelMin1=0"), std::string::npos) << ok.err;
    const ProcessResult stop = run({"-v", "move", "stop"});
    EXPECT_NE(stop.err.find(" 3 SetS MotionCode=4 (Стоп) ->"), std::string::npos) << stop.err;

    const ProcessResult ports = run({"--json", "ports"});
    ASSERT_EQ(ports.exitCode, 0);
    const json list = json::parse(ports.out);
    ASSERT_EQ(list.size(), 8u);
    EXPECT_EQ(list[1]["target"], pty->slavePath());
    EXPECT_EQ(list[1]["available"], true);
    EXPECT_EQ(list[0]["available"], false);
}

TEST_F(Tirsctl, MoveWaitFollowsTheStrokeToItsEnd)
{
    line.with(3, [](sim::ActuatorState& s) {
        s.frozen = false;
        s.Nt = 40;
        s.No = 0;
        s.Nc = 0;
        s.Np = 0;
    });
    line.setTimeScale(50);
    const ProcessResult r = run({"--json", "move", "open", "--wait", "--max-wait", "60"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const json out = json::parse(r.out);
    EXPECT_EQ(out["address"], 3);
    EXPECT_EQ(out["ended"], true);
    EXPECT_EQ(out["position"], 40);
    EXPECT_NE(out["flagsText"].get<std::string>().find("LIMO"), std::string::npos) << r.out;
}

TEST_F(Tirsctl, RelaysWriteChangesOneRelayAndKeepsTheOthers)
{
    line.with(3, [](sim::ActuatorState& s) { s.relays[0] = {2, 5, 95, 1}; });
    const ProcessResult r = run({"relays", "write", "2", "input", "10", "90", "5"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find(" — записано и проверено."), std::string::npos) << r.out;
    line.with(3, [](sim::ActuatorState& s) {
        EXPECT_EQ(s.relays[0].mode, 2);
        EXPECT_EQ(s.relays[0].max, 95);
        EXPECT_EQ(s.relays[1].mode, 1);
        EXPECT_EQ(s.relays[1].min, 10);
        EXPECT_EQ(s.relays[1].max, 90);
        EXPECT_EQ(s.relays[1].hyst, 5);
        EXPECT_EQ(s.relays[2].mode, 0);
    });
}

TEST_F(Tirsctl, APortHeldByAnotherProgramGivesThree)
{
    // Held as the library holds a port it has open: an exclusive lock.
    const int held = ::open(pty->slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    const ProcessResult r = run({"info"});
    ::close(held);
    EXPECT_EQ(r.exitCode, 3) << r.out;
    EXPECT_NE(r.err.find("занят другой программой"), std::string::npos) << r.err;
    EXPECT_EQ(countRequests(pty->requests(), 3), 0);
}

}  // namespace
