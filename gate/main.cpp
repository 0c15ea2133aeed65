// tirsgate: one owner of the line, which publishes it to the plant's systems
// over MQTT and Modbus TCP and takes commands from them.
#include <CLI/CLI.hpp>

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include "addresslist.h"
#include "exitcode.h"
#include "inifile.h"
#include "journal.h"
#include "linepoller.h"
#include "linesettings.h"
#include "modbusserver.h"
#include "mqttbridge.h"
#include "portopen.h"
#include "wakeport.h"

namespace {

std::atomic<bool> stopRequested{false};
std::atomic<bool> rescanRequested{false};

void onStopSignal(int)
{
    stopRequested = true;
}
void onRescanSignal(int)
{
    rescanRequested = true;
}

void catchSignals()
{
    struct sigaction stop {};
    stop.sa_handler = onStopSignal;
    sigaction(SIGTERM, &stop, nullptr);
    sigaction(SIGINT, &stop, nullptr);
    struct sigaction rescan {};
    rescan.sa_handler = onRescanSignal;
    sigaction(SIGHUP, &rescan, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

std::string programFolder()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

// "HOST[:PORT]" or "[ADDR]:PORT"; the port stays as given when absent.
bool splitHostPort(const std::string& text, std::string& host, int& port)
{
    const auto colon = text.rfind(':');
    if (colon == std::string::npos && !text.empty() &&
        text.find_first_not_of("0123456789") == std::string::npos)
        return splitHostPort(":" + text, host, port);  // a port alone
    if (colon == std::string::npos) {
        host = text;
        return !host.empty();
    }
    if (colon > 0)
        host = text.substr(0, colon);
    try {
        std::size_t used = 0;
        port = std::stoi(text.substr(colon + 1), &used);
        return used == text.size() - colon - 1 && port > 0 && port < 65536;
    } catch (const std::exception&) {
        return false;
    }
}

std::string hostName()
{
    char name[256] = {};
    return gethostname(name, sizeof name - 1) == 0 ? std::string(name) : std::string("host");
}

std::string joined(const std::vector<std::string>& pieces)
{
    std::string text;
    for (const auto& p : pieces)
        text += (text.empty() ? "" : ",") + p;
    return text;
}

struct Options {
    std::string port;
    int baud = 0;
    int timeout = 100;
    // Lists as pieces: an INI value "1,3" arrives split at the commas.
    std::vector<std::string> addresses;
    bool allowCommands = false;
    std::vector<std::string> commandAddresses;
    std::string mqtt;
    std::string mqttUser;
    std::string mqttPasswordFile;
    std::string mqttCafile;
    std::string topicPrefix;
    int heartbeat = 10;
    bool haDiscovery = false;
    std::string modbus;
    int modbusClients = 8;
    std::string journalFolder;
};

int run(const Options& o)
{
    const std::string folder = programFolder();
    service::LineSettings settings;
    const std::string iniPath = (folder.empty() ? "" : folder + "/") + "tirspanel.ini";
    try {
        settings = service::loadLineSettings(iniPath);
    } catch (const IniFileError& e) {
        std::cerr << "tirsgate: не удаётся прочитать файл настроек " << iniPath << ": " << e.what()
                  << "\n";
        return service::ExitUsage;
    }
    std::vector<int> addresses;
    CommandPolicy policy;
    policy.allow = o.allowCommands;
    try {
        addresses = service::parseAddressList(joined(o.addresses));
        policy.addresses = service::parseAddressList(joined(o.commandAddresses));
    } catch (const service::AddressListError& e) {
        std::cerr << "tirsgate: " << e.what() << "\n";
        return service::ExitUsage;
    }
    if (o.mqtt.empty() && o.modbus.empty()) {
        std::cerr << "tirsgate: задайте --mqtt и/или --modbus\n";
        return service::ExitUsage;
    }
    MqttOptions mqtt;
    if (!o.mqtt.empty() && !splitHostPort(o.mqtt, mqtt.host, mqtt.port)) {
        std::cerr << "tirsgate: неверный адрес брокера: " << o.mqtt << "\n";
        return service::ExitUsage;
    }
    ModbusOptions modbus;
    if (!o.modbus.empty() && !splitHostPort(o.modbus, modbus.address, modbus.port)) {
        std::cerr << "tirsgate: неверный адрес Modbus: " << o.modbus << "\n";
        return service::ExitUsage;
    }
    modbus.maxClients = o.modbusClients;
    if (!o.mqttPasswordFile.empty()) {
        std::ifstream in(o.mqttPasswordFile);
        if (!in || !std::getline(in, mqtt.password)) {
            std::cerr << "tirsgate: не удаётся прочитать " << o.mqttPasswordFile << "\n";
            return service::ExitUsage;
        }
        if (!mqtt.password.empty() && mqtt.password.back() == '\r')
            mqtt.password.pop_back();
    }

    std::string name = o.port;
    if (name.empty()) {
        if (settings.port < 1 || settings.port > service::HighestPort) {
            std::cerr << "tirsgate: порт не выбран: задайте --port или Port в tirspanel.ini\n";
            return service::ExitPort;
        }
        name = "COM" + std::to_string(settings.port);
    }
    TWakePort port(service::HighestPort);
    port.AnswerTimeout = o.timeout;
    const auto opened = service::openPort(port, name, o.baud > 0 ? o.baud : settings.baud);
    if (!opened.opened) {
        std::cerr << "tirsgate: " << name << ": " << opened.text() << "\n";
        return service::ExitPort;
    }

    SnapshotStore store;
    CommandQueue queue;
    service::OperationJournal journal(o.journalFolder.empty() ? folder : o.journalFolder);
    LinePoller poller(port, store, queue, policy, &journal);
    std::cerr << "tirsgate: " << port.PortName << ", поиск приводов\n";
    poller.discover(addresses);
    std::cerr << "tirsgate: приводов: " << store.get().actuators.size() << "\n";

    std::unique_ptr<MqttBridge> bridge;
    if (!o.mqtt.empty()) {
        mqtt.user = o.mqttUser;
        mqtt.cafile = o.mqttCafile;
        mqtt.heartbeat = std::chrono::seconds(std::max(1, o.heartbeat));
        mqtt.haDiscovery = o.haDiscovery;
        std::string portLabel = port.PortName.substr(port.PortName.rfind('/') + 1);
        mqtt.prefix =
            o.topicPrefix.empty() ? "tirs/" + hostName() + "/" + portLabel : o.topicPrefix;
        mqtt.portName = port.PortName;
        mqtt.requestScan = [allowed = policy.allow] {
            if (allowed)
                rescanRequested = true;
            return allowed;
        };
        bridge = std::make_unique<MqttBridge>(mqtt, store, queue, settings);
        std::string problem;
        if (!bridge->start(problem)) {
            std::cerr << "tirsgate: " << problem << "\n";
            return service::ExitFailed;
        }
    }
    std::unique_ptr<ModbusServer> server;
    if (!o.modbus.empty()) {
        server = std::make_unique<ModbusServer>(modbus, store, queue, policy);
        std::string problem;
        if (!server->start(problem)) {
            std::cerr << "tirsgate: Modbus: " << problem << "\n";
            return service::ExitFailed;
        }
        std::cerr << "tirsgate: Modbus TCP на " << modbus.address << ":" << modbus.port << "\n";
    }

    poller.run(stopRequested, rescanRequested);

    std::cerr << "tirsgate: остановка\n";
    server.reset();
    bridge.reset();  // "offline" on the status topic
    port.Close();    // the kernel's RS-485 settings given back
    return service::ExitDone;
}

}  // namespace

int main(int argc, char** argv)
{
    Options o;
    CLI::App app{"tirsgate: линия приводов в MQTT и Modbus TCP"};
    app.set_config("--config", "", "файл INI с теми же ключами, что и параметры");
    // A misspelt key in a service's file must not pass unnoticed.
    app.allow_config_extras(false);
    app.add_option("--port", o.port, "порт: COM1…COM8 или путь к устройству");
    app.add_option("--baud", o.baud, "скорость линии, бод");
    app.add_option("--timeout", o.timeout, "ожидание каждого байта ответа, мс (100)")
        ->check(CLI::Range(1, 10000));
    app.add_option("--addresses", o.addresses, "адреса приводов, например 1,3,5-9 (иначе поиск)")
        ->delimiter(',');
    app.add_flag("--allow-commands", o.allowCommands, "принимать команды из MQTT и Modbus");
    app.add_option("--command-addresses", o.commandAddresses,
                   "команды только этим приводам, например 1,3")
        ->delimiter(',');
    app.add_option("--mqtt", o.mqtt, "брокер MQTT: HOST[:PORT]");
    app.add_option("--mqtt-user", o.mqttUser, "имя пользователя брокера");
    app.add_option("--mqtt-password-file", o.mqttPasswordFile, "файл с паролем брокера");
    app.add_option("--mqtt-cafile", o.mqttCafile, "сертификат CA для TLS");
    app.add_option("--topic-prefix", o.topicPrefix, "префикс тем (tirs/<узел>/<порт>)");
    app.add_option("--heartbeat", o.heartbeat, "публикация состояния не реже, с (10)")
        ->check(CLI::Range(1, 86400));
    app.add_flag("--ha-discovery", o.haDiscovery, "сообщения обнаружения Home Assistant");
    app.add_option("--modbus", o.modbus, "сервер Modbus TCP: [ADDR:]PORT (адрес 127.0.0.1)");
    app.add_option("--modbus-clients", o.modbusClients, "соединений Modbus не более (8)")
        ->check(CLI::Range(1, 64));
    app.add_option("--journal-folder", o.journalFolder, "папка журнала операций (у программы)");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? service::ExitDone : service::ExitUsage;
    }
    catchSignals();
    try {
        return run(o);
    } catch (const std::exception& e) {
        std::cerr << "tirsgate: " << e.what() << "\n";
        return service::ExitFailed;
    }
}
