// tirssim end to end: started as a process, reached through its link with
// the real serial library, stopped by a signal.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <fstream>
#include <sstream>
#include <thread>

#include "cp1251.h"
#include "serlink.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;

extern char** environ;

namespace {

class TempDir {
public:
    TempDir()
    {
        char name[] = "/tmp/sim_tirssim.XXXXXX";
        path_ = ::mkdtemp(name) ? name : "";
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// Runs the program with its output into a file; returns the process id.
pid_t spawn(const fs::path& program, const std::vector<std::string>& args, const fs::path& output)
{
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, output.c_str(), O_WRONLY | O_APPEND,
                                     0644);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// The exit status, or -1 when the process did not end in time.
int waitExit(pid_t pid, std::chrono::milliseconds timeout)
{
    int status = 0;
    if (!waitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, timeout)) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The identification text of the actuator at that address, or nothing.
std::optional<std::string> getInfo(int address)
{
    if (TxFrame(std::uint8_t(address), 3, 0, nullptr) != 1)
        return std::nullopt;
    std::uint8_t a = 0, c = 0, n = 0, data[255];
    if (RxFrame(500, &a, &c, &n, data) != 1 || a != address || c != 3 || n == 0 || data[n - 1] != 0)
        return std::nullopt;
    return cp1251::toUtf8(std::string(reinterpret_cast<char*>(data), n - 1));
}

std::string readFile(const fs::path& p)
{
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(Tirssim, ServesItsLinkUntilTerminated)
{
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const fs::path link = dir.path() / "links" / "COM7";
    const fs::path out = dir.path() / "out.txt";
    const pid_t pid = spawn(
        TIRSSIM_PATH, {"--link", link.string(), "--device", "3", "--device", "9:Привод 9"}, out);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(waitFor([&] { return fs::is_symlink(link); }, 20s)) << readFile(out);

    ASSERT_EQ(OpenCOM(link.c_str(), 19200), 1);
    EXPECT_EQ(getInfo(3), "ТИРС-70 №0003");
    EXPECT_EQ(getInfo(9), "Привод 9");
    EXPECT_EQ(getInfo(1), std::nullopt);  // the defaults are replaced
    CloseCOM();

    const std::string slave = fs::read_symlink(link).string();
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    EXPECT_EQ(waitExit(pid, 20s), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    EXPECT_NE(readFile(out).find(slave), std::string::npos);
}

TEST(Tirssim, DefaultLineIsTwoActuatorsOnCom2BesideTheProgram)
{
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const fs::path program = dir.path() / "tirssim";
    fs::copy_file(TIRSSIM_PATH, program);
    fs::create_directories(dir.path() / "ports");
    fs::create_symlink("/nonexistent/old", dir.path() / "ports" / "COM2");  // replaced
    const fs::path link = dir.path() / "ports" / "COM2";
    const pid_t pid = spawn(program, {}, dir.path() / "out.txt");
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(waitFor(
        [&] {
            std::error_code ec;
            return fs::read_symlink(link, ec).string().rfind("/dev/", 0) == 0 && !ec;
        },
        20s));

    ASSERT_EQ(OpenCOM(link.c_str(), 9600), 1);
    EXPECT_EQ(getInfo(1), "ТИРС-70 №0001");
    EXPECT_EQ(getInfo(2), "ТИРС-70 №0002");
    CloseCOM();

    ASSERT_EQ(::kill(pid, SIGINT), 0);
    EXPECT_EQ(waitExit(pid, 20s), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        out.push_back(l);
    return out;
}

// The request lines without their time stamps.
std::vector<std::string> requestsLogged(const fs::path& log)
{
    std::vector<std::string> out;
    for (const std::string& l : lines(readFile(log))) {
        const auto space = l.find(' ');
        out.push_back(space == std::string::npos ? "bad line: " + l : l.substr(space + 1));
    }
    return out;
}

bool hasLine(const std::vector<std::string>& all, const std::string& line)
{
    return std::find(all.begin(), all.end(), line) != all.end();
}

TEST(Tirssim, LogsRequestsAndWritesTheStateFile)
{
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const fs::path link = dir.path() / "COM4";
    const fs::path log = dir.path() / "requests.log";
    const fs::path state = dir.path() / "state.txt";
    {
        std::ofstream(log) << "earlier line\n";  // appended to, not replaced
    }
    const pid_t pid = spawn(TIRSSIM_PATH,
                            {"--link", link.string(), "--device", "5", "--device", "17", "--log",
                             log.string(), "--state-file", state.string(), "--time-scale", "50"},
                            dir.path() / "out.txt");
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(waitFor([&] { return fs::is_symlink(link); }, 20s))
        << readFile(dir.path() / "out.txt");
    // At rest on the closed end (LIMC) with factory travel.
    EXPECT_EQ(lines(readFile(state)),
              (std::vector<std::string>{"5 0 0x08 0 2000", "17 0 0x08 0 2000"}));

    ASSERT_EQ(OpenCOM(link.c_str(), 9600), 1);
    EXPECT_EQ(getInfo(17), "ТИРС-70 №0017");
    EXPECT_EQ(getInfo(99), std::nullopt);  // nobody there, still logged
    const std::uint8_t open = 5;
    ASSERT_EQ(TxFrame(5, 16, 1, &open), 1);
    std::uint8_t a = 0, c = 0, n = 0, data[255];
    ASSERT_EQ(RxFrame(500, &a, &c, &n, data), 1);
    const std::uint8_t word[2] = {0x10, 0x00};
    ASSERT_EQ(TxFrame(0, 18, 2, word), 1);  // no address byte: every actuator takes it
    RxFrame(500, &a, &c, &n, data);

    // The drive runs to the open end in simulated time; the snapshot follows.
    EXPECT_TRUE(waitFor(
        [&] {
            for (const std::string& l : lines(readFile(state))) {
                std::istringstream in(l);
                int address = 0, code = 0, N = 0, Nt = 0;
                std::string flags;
                if (in >> address >> code >> flags >> N >> Nt && address == 5)
                    return (std::stoi(flags, nullptr, 16) & 0x04) != 0;
            }
            return false;
        },
        60s))
        << readFile(state);
    CloseCOM();

    const std::vector<std::string> logged = requestsLogged(log);
    ASSERT_FALSE(logged.empty());
    EXPECT_EQ(logged.front(), "line");  // "earlier line" without its first word
    EXPECT_TRUE(hasLine(logged, "17 3 -"));
    EXPECT_TRUE(hasLine(logged, "99 3 -"));
    EXPECT_TRUE(hasLine(logged, "5 16 05"));
    EXPECT_TRUE(hasLine(logged, "- 18 1000"));
    // Time stamps are monotonic milliseconds, in order.
    long long previous = 0;
    for (const std::string& l : lines(readFile(log))) {
        if (l == "earlier line")
            continue;
        const long long ms = std::stoll(l.substr(0, l.find(' ')));
        EXPECT_GE(ms, previous) << l;
        previous = ms;
    }

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    EXPECT_EQ(waitExit(pid, 20s), 0);
    EXPECT_FALSE(fs::exists(dir.path() / "state.txt.tmp"));
}

TEST(Tirssim, RelaysAndInputCurrentFromTheCommandLine)
{
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const fs::path link = dir.path() / "COM5";
    const pid_t pid = spawn(TIRSSIM_PATH,
                            {"--link", link.string(), "--device", "8", "--relay", "8:1:1:40:60:5",
                             "--relay", "8:3:2:50:100:0", "--input", "8:12080"},
                            dir.path() / "out.txt");
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(waitFor([&] { return fs::is_symlink(link); }, 20s))
        << readFile(dir.path() / "out.txt");
    ASSERT_EQ(OpenCOM(link.c_str(), 9600), 1);
    std::uint8_t a = 0, c = 0, n = 0, data[255];
    ASSERT_EQ(TxFrame(8, 24, 0, nullptr), 1);  // GetR
    ASSERT_EQ(RxFrame(500, &a, &c, &n, data), 1);
    ASSERT_EQ(n, 13);
    EXPECT_EQ(std::vector<int>(data, data + 13),
              (std::vector<int>{0, 1, 40, 60, 5, 0, 0, 0, 0, 2, 50, 100, 0}));
    ASSERT_EQ(TxFrame(8, 22, 0, nullptr), 1);  // GetI
    ASSERT_EQ(RxFrame(500, &a, &c, &n, data), 1);
    ASSERT_EQ(n, 3);
    EXPECT_EQ(data[1] | data[2] << 8, 12080);
    // 50.5 % of the input's range lies in relay 1's range; the drive at the
    // closed end (0 %) is outside relay 3's.
    ASSERT_EQ(TxFrame(8, 25, 0, nullptr), 1);  // GetRS
    ASSERT_EQ(RxFrame(500, &a, &c, &n, data), 1);
    ASSERT_EQ(n, 2);
    EXPECT_EQ(data[1], 0x01);
    CloseCOM();
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    EXPECT_EQ(waitExit(pid, 20s), 0);
}

// The faults of a flaky line, asked for on the command line: every K-th
// request of an actuator goes unanswered; a fault rate of 1 spoils every answer
// (left out, damaged or with another command code), and the requests are
// still logged.
TEST(Tirssim, FaultsFromTheCommandLine)
{
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    struct Row {
        std::vector<std::string> faultArgs;
        std::vector<bool> answered;
    };
    const Row rows[] = {
        {{"--silent-every", "3"}, {true, true, false, true, true, false, true}},
        {{"--fault-rate", "1"}, {false, false, false, false, false, false}},
        {{"--fault-rate", "0"}, {true, true, true}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.faultArgs[0] + " " + r.faultArgs[1]);
        const fs::path link = dir.path() / "COM6";
        const fs::path log = dir.path() / "requests.log";
        fs::remove(log);
        std::vector<std::string> args{"--link", link.string(), "--device",
                                      "4",      "--log",       log.string()};
        args.insert(args.end(), r.faultArgs.begin(), r.faultArgs.end());
        const pid_t pid = spawn(TIRSSIM_PATH, args, dir.path() / "out.txt");
        ASSERT_GT(pid, 0);
        ASSERT_TRUE(waitFor([&] { return fs::is_symlink(link); }, 20s))
            << readFile(dir.path() / "out.txt");
        ASSERT_EQ(OpenCOM(link.c_str(), 9600), 1);
        std::vector<bool> answered;
        for (std::size_t i = 0; i < r.answered.size(); ++i)
            answered.push_back(getInfo(4) == "ТИРС-70 №0004");
        CloseCOM();
        EXPECT_EQ(answered, r.answered);
        EXPECT_EQ(requestsLogged(log).size(), r.answered.size());
        ASSERT_EQ(::kill(pid, SIGTERM), 0);
        EXPECT_EQ(waitExit(pid, 20s), 0);
    }
}

TEST(Tirssim, FailsWhenTheLogCannotBeOpened)
{
    TempDir dir;
    const pid_t pid = spawn(TIRSSIM_PATH,
                            {"--link", (dir.path() / "COM3").string(), "--log",
                             (dir.path() / "missing" / "log.txt").string()},
                            dir.path() / "out.txt");
    ASSERT_GT(pid, 0);
    EXPECT_EQ(waitExit(pid, 20s), 1);
    EXPECT_NE(readFile(dir.path() / "out.txt").find("cannot open the log"), std::string::npos);
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.path() / "COM3")));
}

TEST(Tirssim, UsageOnHelpAndBadOptions)
{
    TempDir dir;
    const fs::path out = dir.path() / "out.txt";
    struct Row {
        std::vector<std::string> args;
        int status;
    };
    const Row rows[] = {
        {{"--help"}, 0},
        {{"--bogus"}, 2},
        {{"--device", "0"}, 2},
        {{"--device", "128:x"}, 2},
        {{"--port", "LPT1"}, 2},
        {{"--baud"}, 2},
        {{"--time-scale", "fast"}, 2},
        {{"--log"}, 2},
        {{"--state-file"}, 2},
        {{"--relay", "17:4:1:10:90:5"}, 2},
        {{"--relay", "17:1:3:10:90:5"}, 2},
        {{"--relay", "17:1:1:10:90"}, 2},
        {{"--relay", "17:1:1:10:90:5:0"}, 2},
        {{"--relay", "17:1:1:10:101:5"}, 2},
        {{"--input", "17"}, 2},
        {{"--input", "17:70000"}, 2},
        {{"--fault-rate"}, 2},
        {{"--fault-rate", "1.5"}, 2},
        {{"--fault-rate", "-0.1"}, 2},
        {{"--fault-rate", "often"}, 2},
        {{"--silent-every", "0"}, 2},
        {{"--silent-every", "x"}, 2},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.args[0]);
        const pid_t pid = spawn(TIRSSIM_PATH, r.args, out);
        ASSERT_GT(pid, 0);
        EXPECT_EQ(waitExit(pid, 20s), r.status);
        EXPECT_NE(readFile(out).find("usage: tirssim"), std::string::npos);
    }
}

}  // namespace
