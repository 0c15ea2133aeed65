// tirsgate as a process between a simulated line on a pty and independent
// clients: a real mosquitto broker (user and password) with mosquitto_sub and
// mosquitto_pub, and pymodbus as the Modbus client.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "journal.h"
#include "portlinks.h"
#include "process.h"
#include "simport.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using nlohmann::json;

namespace {

constexpr const char* Python = "/usr/bin/python3";
constexpr const char* Prefix = "test/line";
constexpr int SetSCode = 16;

fs::path workDir()
{
    return fs::read_symlink("/proc/self/exe").parent_path() / "gate-work";
}

int freePort()
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    close(s);
    return ntohs(a.sin_port);
}

// True once something listens on the loopback port (within 10 s).
bool listening(int port)
{
    for (int i = 0; i < 200; ++i) {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        const bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        close(s);
        if (ok)
            return true;
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

// A program running in the background until stopped.
class Background {
public:
    Background(const std::string& program, const std::vector<std::string>& args,
               const fs::path& log)
    {
        pid_ = fork();
        if (pid_ == 0) {
            std::vector<char*> argv{const_cast<char*>(program.c_str())};
            for (const auto& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            dup2(fd, 1);
            dup2(fd, 2);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
    }
    ~Background() { stop(SIGKILL); }
    // The exit code, or -1 when it had to be killed after 10 s.
    int stop(int signal = SIGTERM)
    {
        if (pid_ <= 0)
            return -1;
        kill(pid_, signal);
        int status = 0;
        for (int i = 0; i < 200; ++i) {
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = 0;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(50ms);
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        pid_ = 0;
        return -1;
    }

private:
    pid_t pid_ = -1;
};

std::string slurp(const fs::path& p)
{
    std::ifstream in(p);
    return {std::istreambuf_iterator<char>(in), {}};
}

class Gate : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        fs::remove_all(workDir());
        fs::create_directories(workDir());
        mqttPort = freePort();
        modbusPort = freePort();
        {
            std::ofstream(workDir() / "password") << "secret\n";
            std::ofstream(workDir() / "mosquitto.conf")
                << "listener " << mqttPort << " 127.0.0.1\n"
                << "allow_anonymous false\n"
                << "password_file " << (workDir() / "passwd").string() << "\n";
        }
        ASSERT_EQ(runProcess("/usr/bin/mosquitto_passwd",
                             {"-b", "-c", (workDir() / "passwd").string(), "gate", "secret"})
                      .exitCode,
                  0);
        startBroker();
        addStillActuator(line, 1, "ТИРС-70 №0001");
        addStillActuator(line, 2, "ТИРС-70 №0002");
        pty = std::make_unique<sim::PtyLine>(line);
        ASSERT_TRUE(pty->start());
        support::replaceWithLink(workDir() / "line", pty->slavePath());
        // Everything but the port from the configuration file, as a service has it.
        std::ofstream(workDir() / "tirsgate.ini")
            << "addresses=1,2,9\ntimeout=20\nmqtt=127.0.0.1:" << mqttPort
            << "\nmqtt-user=gate\nmqtt-password-file=" << (workDir() / "password").string()
            << "\ntopic-prefix=" << Prefix << "\nmodbus=127.0.0.1:" << modbusPort
            << "\nallow-commands=true\ncommand-addresses=1\nha-discovery=true\n"
            << "journal-folder=" << workDir().string() << "\n";
        gate = std::make_unique<Background>(
            TIRSGATE_PATH,
            std::vector<std::string>{"--port", (workDir() / "line").string(), "--config",
                                     (workDir() / "tirsgate.ini").string()},
            workDir() / "gate.log");
    }
    static void TearDownTestSuite()
    {
        gate.reset();
        broker.reset();
        pty.reset();
    }
    static void startBroker()
    {
        broker = std::make_unique<Background>(
            "/usr/sbin/mosquitto",
            std::vector<std::string>{"-c", (workDir() / "mosquitto.conf").string()},
            workDir() / "mosquitto.log");
        ASSERT_TRUE(listening(mqttPort)) << slurp(workDir() / "mosquitto.log");
    }

    static std::vector<std::string> brokerArgs()
    {
        return {"-h", "127.0.0.1", "-p", std::to_string(mqttPort), "-u", "gate", "-P", "secret"};
    }
    // count messages of the topics, each as "topic payload"; waits up to seconds.
    static std::vector<std::string> subscribe(const std::vector<std::string>& topics, int count,
                                              int seconds)
    {
        auto args = brokerArgs();
        for (const auto& t : topics)
            args.insert(args.end(), {"-t", t});
        args.insert(args.end(), {"-v", "-C", std::to_string(count), "-W", std::to_string(seconds)});
        return linesOf(
            runProcess("/usr/bin/mosquitto_sub", args, std::chrono::seconds(seconds + 5)).out);
    }
    static void publish(const std::string& topic, const std::string& message)
    {
        auto args = brokerArgs();
        args.insert(args.end(), {"-t", topic, "-m", message});
        ASSERT_EQ(runProcess("/usr/bin/mosquitto_pub", args).exitCode, 0);
    }
    static void publishSet(int address, const std::string& command)
    {
        publish(std::string(Prefix) + "/" + std::to_string(address) + "/set", command);
    }
    // A pymodbus script with the port as MODBUS_PORT; its standard output.
    static std::string modbusClient(const std::string& script)
    {
        const std::string head = "import socket, time\nfrom pymodbus.client import "
                                 "ModbusTcpClient\nMODBUS_PORT = " +
                                 std::to_string(modbusPort) + "\n";
        const auto r = runProcess(Python, {"-c", head + script}, 30s);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return r.out;
    }
    static json stateOf(const std::vector<std::string>& messages, int address)
    {
        const std::string topic = std::string(Prefix) + "/" + std::to_string(address) + "/state ";
        for (const auto& m : messages)
            if (m.rfind(topic, 0) == 0)
                return json::parse(m.substr(topic.size()));
        return {};
    }

    static inline sim::Line line;
    static inline std::unique_ptr<sim::PtyLine> pty;
    static inline std::unique_ptr<Background> broker;
    static inline std::unique_ptr<Background> gate;
    static inline int mqttPort = 0;
    static inline int modbusPort = 0;
};

TEST_F(Gate, PublishesRetainedStateOfEveryActuatorAndMarksTheSilentOneOffline)
{
    const auto messages = subscribe({std::string(Prefix) + "/+/state"}, 3, 20);
    ASSERT_EQ(messages.size(), 3u) << slurp(workDir() / "gate.log");
    const json one = stateOf(messages, 1);
    EXPECT_EQ(one["type"], "ТИРС-70 №0001");
    EXPECT_EQ(one["online"], true);
    EXPECT_EQ(one["current"], 12000);
    EXPECT_TRUE(one["state_text"].is_string());
    EXPECT_EQ(one["relays"].size(), 3u);
    EXPECT_EQ(stateOf(messages, 2)["type"], "ТИРС-70 №0002");
    EXPECT_EQ(stateOf(messages, 9)["online"], false);
    EXPECT_EQ(subscribe({std::string(Prefix) + "/status"}, 1, 5),
              std::vector<std::string>{std::string(Prefix) + "/status online"});
}

TEST_F(Gate, AnnouncesEveryActuatorToHomeAssistant)
{
    const auto messages = subscribe({"homeassistant/valve/+/config"}, 3, 10);
    ASSERT_EQ(messages.size(), 3u);
    int commandTopics = 0;
    for (const auto& m : messages) {
        const json config = json::parse(m.substr(m.find(' ') + 1));
        commandTopics += config["command_topic"] == std::string(Prefix) + "/1/set";
        EXPECT_EQ(config["payload_open"], "open");
    }
    EXPECT_EQ(commandTopics, 1);
}

TEST_F(Gate, ASilentActuatorCostsOneRequestPerCycle)
{
    constexpr int GetNCode = 19;
    pty->clearRequests();
    ASSERT_TRUE(pty->waitForRequests([](const auto& log) { return log.size() >= 60; }, 10s));
    const auto log = pty->requests();
    std::vector<int> toSilent;  // requests to address 9 between two GetN of address 1
    for (const auto& r : log) {
        if (r.address == 1 && r.command == GetNCode)
            toSilent.push_back(0);
        else if (r.address == 9 && !toSilent.empty())
            ++toSilent.back();
    }
    ASSERT_GE(toSilent.size(), 4u);
    toSilent.pop_back();  // the cycle still under way
    for (int n : toSilent)
        EXPECT_EQ(n, 1);
}

TEST_F(Gate, CommandForAnAllowedAddressReachesTheLineAndAnotherIsRefused)
{
    auto results = std::async(std::launch::async,
                              [] { return subscribe({std::string(Prefix) + "/+/result"}, 2, 10); });
    std::this_thread::sleep_for(500ms);
    pty->clearRequests();
    publishSet(1, "open");
    publishSet(2, "close");
    const auto got = results.get();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], std::string(Prefix) + "/1/result {\"command\":\"open\",\"result\":\"ok\"}");
    EXPECT_EQ(got[1],
              std::string(Prefix) + "/2/result {\"command\":\"close\",\"result\":\"refused\"}");
    int toOne = 0, toTwo = 0;
    for (const auto& r : pty->requests())
        if (r.command == SetSCode) {
            toOne += r.address == 1 && r.data == std::vector<std::uint8_t>{5};
            toTwo += r.address == 2;
        }
    EXPECT_EQ(toOne, 1);
    EXPECT_EQ(toTwo, 0);
    const auto rows = service::journal::readFile((workDir() / service::journal::FileName).string());
    ASSERT_GE(rows.size(), 2u);
    EXPECT_EQ(rows[rows.size() - 2].result, "ok");
    EXPECT_NE(rows[rows.size() - 2].values.find("source=mqtt"), std::string::npos);
    EXPECT_EQ(rows.back().address, 2);
    EXPECT_EQ(rows.back().result, "refused");
}

TEST_F(Gate, SurvivesTheBrokerGoingAwayAndRepublishesOnItsReturn)
{
    broker->stop(SIGKILL);
    // The poll goes on without the broker.
    pty->clearRequests();
    EXPECT_TRUE(pty->waitForRequests([](const auto& log) { return log.size() >= 20; }, 5s));
    startBroker();
    // A fresh broker keeps nothing: what arrives is published anew.
    const auto messages = subscribe({std::string(Prefix) + "/1/state"}, 1, 40);
    ASSERT_EQ(messages.size(), 1u) << slurp(workDir() / "gate.log");
    EXPECT_EQ(stateOf(messages, 1)["online"], true);
}

TEST_F(Gate, ModbusReadsBothUnitsAndAnswersWithTheExceptions)
{
    const std::string out = modbusClient(R"(
c = ModbusTcpClient('127.0.0.1', port=MODBUS_PORT, timeout=3); c.connect()
for unit in (1, 2):
    r = c.read_input_registers(0, 10, slave=unit); print(unit, r.registers)
print('e', c.read_input_registers(0, 11, slave=1).exception_code)
print('e', c.read_input_registers(0, 10, slave=50).exception_code)
print('e', c.write_coil(1, True, slave=2).exception_code)
print('ok', c.write_coil(2, True, slave=1).isError())
)");
    const auto lines = linesOf(out);
    ASSERT_EQ(lines.size(), 6u) << out;
    // 0 position, 2 state, 4 current 12000, 5 online.
    EXPECT_NE(lines[0].find(", 12000, 1, "), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find(", 12000, 1, "), std::string::npos) << lines[1];
    EXPECT_EQ(lines[2], "e 2");
    EXPECT_EQ(lines[3], "e 11");
    EXPECT_EQ(lines[4], "e 1");
    EXPECT_EQ(lines[5], "ok False");
    EXPECT_TRUE(pty->waitForRequests(
        [](const auto& log) {
            for (const auto& r : log)
                if (r.command == SetSCode && r.address == 1 &&
                    r.data == std::vector<std::uint8_t>{4})
                    return true;
            return false;
        },
        3s));
}

TEST_F(Gate, AGarbageModbusClientIsDroppedAndTheOthersAreServed)
{
    const std::string out = modbusClient(R"(
good = ModbusTcpClient('127.0.0.1', port=MODBUS_PORT, timeout=3); good.connect()
bad = socket.create_connection(('127.0.0.1', MODBUS_PORT))
bad.sendall(b'GET / HTTP/1.1\r\nHost: x\r\n\r\n' * 20)
bad.settimeout(5)
try:
    while bad.recv(512): pass
    print('dropped')
except ConnectionResetError:
    print('dropped')
stalled = socket.create_connection(('127.0.0.1', MODBUS_PORT))
stalled.sendall(b'\x00\x01\x00\x00\x00\x06')
print(good.read_input_registers(5, 1, slave=1).registers)
)");
    EXPECT_EQ(out, "dropped\n[1]\n");
}

TEST_F(Gate, ALostPortAnswersPathUnavailableUntilItIsBack)
{
    pty->unplug();
    const std::string gone = modbusClient(R"(
c = ModbusTcpClient('127.0.0.1', port=MODBUS_PORT, timeout=3); c.connect()
for i in range(50):
    r = c.read_input_registers(0, 1, slave=1)
    if r.isError() and r.exception_code == 10: break
    time.sleep(0.1)
print(r.exception_code)
)");
    EXPECT_EQ(gone, "10\n");
    ASSERT_TRUE(pty->start());
    support::replaceWithLink(workDir() / "line", pty->slavePath());
    const std::string back = modbusClient(R"(
c = ModbusTcpClient('127.0.0.1', port=MODBUS_PORT, timeout=3); c.connect()
for i in range(100):
    r = c.read_input_registers(5, 1, slave=1)
    if not r.isError() and r.registers == [1]: break
    time.sleep(0.1)
print(r.registers)
)");
    EXPECT_EQ(back, "[1]\n") << slurp(workDir() / "gate.log");
}

TEST_F(Gate, ScansTheLineAgainWhenAskedOverMqtt)
{
    sim::Line other;
    addStillActuator(other, 3, "ТИРС-70 №0003");
    sim::PtyLine otherPty(other);
    ASSERT_TRUE(otherPty.start());
    support::replaceWithLink(workDir() / "other", otherPty.slavePath());
    const std::string prefix = "test/other";
    Background scanning(TIRSGATE_PATH,
                        {"--port", (workDir() / "other").string(), "--timeout", "10", "--mqtt",
                         "127.0.0.1:" + std::to_string(mqttPort), "--mqtt-user", "gate",
                         "--mqtt-password-file", (workDir() / "password").string(),
                         "--topic-prefix", prefix, "--allow-commands", "--journal-folder",
                         workDir().string()},
                        workDir() / "other.log");
    ASSERT_EQ(subscribe({prefix + "/3/state"}, 1, 20).size(), 1u) << slurp(workDir() / "other.log");
    addStillActuator(other, 5, "ТИРС-70 №0005");
    auto result =
        std::async(std::launch::async, [&] { return subscribe({prefix + "/scan/result"}, 1, 20); });
    std::this_thread::sleep_for(500ms);
    publish(prefix + "/scan", "");
    const auto got = result.get();
    ASSERT_EQ(got.size(), 1u);
    const json answer = json::parse(got[0].substr(got[0].find(' ') + 1));
    EXPECT_EQ(answer["result"], "ok");
    EXPECT_EQ(answer["addresses"], json::array({3, 5}));
    const auto five = subscribe({prefix + "/5/state"}, 1, 5);
    ASSERT_EQ(five.size(), 1u) << slurp(workDir() / "other.log");
    EXPECT_EQ(json::parse(five[0].substr(five[0].find(' ') + 1))["type"], "ТИРС-70 №0005")
        << five[0];
}

TEST(GateConfig, AMisspeltKeyInTheConfigurationFileIsWrongUsage)
{
    fs::create_directories(workDir());
    std::ofstream(workDir() / "misspelt.ini") << "adresses=1,2\nmqtt=127.0.0.1:1\n";
    const auto r = runProcess(TIRSGATE_PATH, {"--config", (workDir() / "misspelt.ini").string()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("adresses"), std::string::npos) << r.err;
}

// Last, as it ends the gateway.
TEST_F(Gate, StopsCleanlyOnSigtermWithStatusOffline)
{
    auto status = std::async(std::launch::async,
                             [] { return subscribe({std::string(Prefix) + "/status"}, 2, 10); });
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(gate->stop(SIGTERM), 0);
    const auto got = status.get();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1], std::string(Prefix) + "/status offline");
}

}  // namespace
