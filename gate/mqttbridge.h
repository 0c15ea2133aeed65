// The line on an MQTT broker: retained state per actuator, the gateway's
// status (its last will "offline"), commands from <prefix>/<address>/set.
// libmosquitto's own thread talks to the broker; the publisher thread reads
// the snapshot, so the poll never waits for the broker.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "gatecommand.h"
#include "linesettings.h"
#include "linesnapshot.h"

struct mosquitto;
struct mosquitto_message;

struct MqttOptions {
    std::string host = "127.0.0.1";
    int port = 1883;
    std::string user;
    std::string password;
    std::string cafile;  // TLS when given
    std::string prefix;
    std::chrono::seconds heartbeat{10};
    bool haDiscovery = false;
    std::string portName;  // for the discovery messages' names
    // A search for the actuators asked on <prefix>/scan; false: refused.
    std::function<bool()> requestScan;
};

class MqttBridge {
public:
    MqttBridge(MqttOptions options, const SnapshotStore& store, CommandQueue& queue,
               const service::LineSettings& settings);
    ~MqttBridge();  // stop()

    // Connects in the background (false when the client cannot be set up).
    bool start(std::string& problem);
    // "offline" on the status topic, then disconnects.
    void stop();

private:
    static void onConnect(mosquitto*, void* self, int rc);
    static void onDisconnect(mosquitto*, void* self, int rc);
    static void onMessage(mosquitto*, void* self, const mosquitto_message* message);
    static void onPublished(mosquitto*, void* self, int mid);
    static void acknowledgeAtOnce(mosquitto* client);
    void publishLoop();
    void publish(const std::string& topic, const std::string& payload, bool retain);
    void publishDiscovery(const LineSnapshot& snapshot);
    void handleSet(const std::string& topic, const std::string& payload);
    void handleScan();
    void answerScan(const LineSnapshot& snapshot);

    MqttOptions options_;
    const SnapshotStore& store_;
    CommandQueue& queue_;
    const service::LineSettings& settings_;
    mosquitto* client_ = nullptr;
    std::thread publisher_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> republish_{false};  // set on every (re)connection
    std::mutex wakeMutex_;
    std::condition_variable wake_;
    // What was published last per address (without the time), and when.
    std::map<int, std::string> last_;
    std::map<int, std::chrono::steady_clock::time_point> lastTime_;
    bool started_ = false;
    // An accepted scan is answered once the snapshot shows more scans than this.
    std::mutex scanMutex_;
    std::optional<std::uint64_t> scanAnswerAfter_;
};
