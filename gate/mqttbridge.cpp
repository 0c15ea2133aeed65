#include "mqttbridge.h"

#include <mosquitto.h>
#include <nlohmann/json.hpp>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <iostream>

#include "stateview.h"

namespace {

constexpr int Qos = 1;
constexpr int KeepAliveSeconds = 30;
constexpr auto Interval = std::chrono::milliseconds(100);

}  // namespace

MqttBridge::MqttBridge(MqttOptions options, const SnapshotStore& store, CommandQueue& queue,
                       const service::LineSettings& settings)
    : options_(std::move(options)), store_(store), queue_(queue), settings_(settings)
{
}

MqttBridge::~MqttBridge()
{
    stop();
}

bool MqttBridge::start(std::string& problem)
{
    mosquitto_lib_init();
    client_ = mosquitto_new(nullptr, true, this);
    if (!client_) {
        problem = "не удаётся создать клиент MQTT";
        return false;
    }
    mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    if (!options_.user.empty())
        mosquitto_username_pw_set(client_, options_.user.c_str(),
                                  options_.password.empty() ? nullptr : options_.password.c_str());
    if (!options_.cafile.empty()) {
        const int rc =
            mosquitto_tls_set(client_, options_.cafile.c_str(), nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            problem = "TLS: " + std::string(mosquitto_strerror(rc));
            return false;
        }
    }
    const std::string status = options_.prefix + "/status";
    mosquitto_will_set(client_, status.c_str(), 7, "offline", Qos, true);
    mosquitto_connect_callback_set(client_, &MqttBridge::onConnect);
    mosquitto_disconnect_callback_set(client_, &MqttBridge::onDisconnect);
    mosquitto_message_callback_set(client_, &MqttBridge::onMessage);
    mosquitto_publish_callback_set(client_, &MqttBridge::onPublished);
    // Back-off from 1 s doubling up to 30 s while the broker stays away.
    mosquitto_reconnect_delay_set(client_, 1, 30, true);
    int rc =
        mosquitto_connect_async(client_, options_.host.c_str(), options_.port, KeepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_ERRNO) {
        problem = "MQTT: " + std::string(mosquitto_strerror(rc));
        return false;
    }
    if (rc == MOSQ_ERR_ERRNO)
        std::cerr << "tirsgate: брокер MQTT " << options_.host << ":" << options_.port
                  << " недоступен, повтор позже\n";
    rc = mosquitto_loop_start(client_);
    if (rc != MOSQ_ERR_SUCCESS) {
        problem = "MQTT: " + std::string(mosquitto_strerror(rc));
        return false;
    }
    started_ = true;
    publisher_ = std::thread([this] { publishLoop(); });
    return true;
}

void MqttBridge::stop()
{
    if (!started_)
        return;
    started_ = false;
    stopping_ = true;
    wake_.notify_all();
    if (publisher_.joinable())
        publisher_.join();
    const std::string status = options_.prefix + "/status";
    int mid = 0;
    mosquitto_publish(client_, &mid, status.c_str(), 7, "offline", Qos, true);
    // Give the loop a moment to hand the last message over.
    for (int i = 0; i < 20 && mosquitto_want_write(client_); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    mosquitto_disconnect(client_);
    mosquitto_loop_stop(client_, false);
    mosquitto_destroy(client_);
    client_ = nullptr;
    mosquitto_lib_cleanup();
}

void MqttBridge::onConnect(mosquitto*, void* self, int rc)
{
    auto* b = static_cast<MqttBridge*>(self);
    if (rc != 0) {
        std::cerr << "tirsgate: брокер MQTT отказал: " << mosquitto_connack_string(rc) << "\n";
        return;
    }
    std::cerr << "tirsgate: брокер MQTT подключён\n";
    const std::string set = b->options_.prefix + "/+/set";
    mosquitto_subscribe(b->client_, nullptr, set.c_str(), Qos);
    mosquitto_subscribe(b->client_, nullptr, (b->options_.prefix + "/scan").c_str(), Qos);
    b->publish(b->options_.prefix + "/status", "online", true);
    b->republish_ = true;
    b->wake_.notify_all();
}

void MqttBridge::onDisconnect(mosquitto*, void* self, int rc)
{
    auto* b = static_cast<MqttBridge*>(self);
    if (rc != 0 && !b->stopping_)
        std::cerr << "tirsgate: связь с брокером MQTT потеряна, переподключение\n";
}

// A broker that leaves Nagle's algorithm on (mosquitto's default) holds a
// command back while a packet it sent us is not acknowledged, and the kernel
// delays that acknowledgement up to 40 ms: it goes out at once instead.
void MqttBridge::acknowledgeAtOnce(mosquitto* client)
{
#ifdef TCP_QUICKACK  // Linux; not kept by the kernel, so asked again each time
    const int fd = mosquitto_socket(client);
    const int on = 1;
    if (fd >= 0)
        setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
#else
    (void)client;
#endif
}

void MqttBridge::onPublished(mosquitto* client, void*, int)
{
    acknowledgeAtOnce(client);
}

void MqttBridge::onMessage(mosquitto* client, void* self, const mosquitto_message* m)
{
    acknowledgeAtOnce(client);
    auto* b = static_cast<MqttBridge*>(self);
    if (m->topic == b->options_.prefix + "/scan") {
        b->handleScan();
        return;
    }
    const std::string payload(static_cast<const char*>(m->payload), m->payloadlen);
    b->handleSet(m->topic, payload);
}

void MqttBridge::handleScan()
{
    const std::uint64_t done = store_.get().scans;
    if (!options_.requestScan || !options_.requestScan()) {
        publish(options_.prefix + "/scan/result", R"({"command":"scan","result":"refused"})",
                false);
        return;
    }
    std::lock_guard lock(scanMutex_);
    if (!scanAnswerAfter_)
        scanAnswerAfter_ = done;
}

void MqttBridge::answerScan(const LineSnapshot& snapshot)
{
    {
        std::lock_guard lock(scanMutex_);
        if (!scanAnswerAfter_ || snapshot.scans <= *scanAnswerAfter_)
            return;
        scanAnswerAfter_.reset();
    }
    nlohmann::json addresses = nlohmann::json::array();
    for (const ActuatorReading& a : snapshot.actuators)
        addresses.push_back(a.address);
    const nlohmann::json j{{"command", "scan"}, {"result", "ok"}, {"addresses", addresses}};
    publish(options_.prefix + "/scan/result", j.dump(), false);
}

void MqttBridge::handleSet(const std::string& topic, const std::string& payload)
{
    // <prefix>/<address>/set
    const std::string head = options_.prefix + "/";
    const std::string tail = "/set";
    if (topic.size() <= head.size() + tail.size() || topic.compare(0, head.size(), head) != 0)
        return;
    const std::string middle = topic.substr(head.size(), topic.size() - head.size() - tail.size());
    int address = -1;
    try {
        std::size_t used = 0;
        address = std::stoi(middle, &used);
        if (used != middle.size())
            return;
    } catch (const std::exception&) {
        return;
    }
    const std::string resultTopic = head + middle + "/result";
    std::string text = payload;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    const auto command = parseGateCommand(text);
    if (!command) {
        nlohmann::json j{{"command", text}, {"error", "неизвестная команда"}};
        publish(resultTopic, j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
                false);
        return;
    }
    CommandRequest r;
    r.address = address;
    r.command = *command;
    r.source = "mqtt";
    r.done = [this, resultTopic,
              name = std::string(gateCommandName(*command))](const CommandOutcome& o) {
        nlohmann::json j{{"command", name}};
        if (o.refused)
            j["result"] = "refused";
        else if (o.error.empty())
            j["result"] = "ok";
        else
            j["error"] = o.error;
        publish(resultTopic, j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
                false);
    };
    queue_.push(std::move(r));
}

void MqttBridge::publish(const std::string& topic, const std::string& payload, bool retain)
{
    if (client_)
        mosquitto_publish(client_, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                          payload.data(), Qos, retain);
}

void MqttBridge::publishDiscovery(const LineSnapshot& snapshot)
{
    using nlohmann::json;
    for (const ActuatorReading& a : snapshot.actuators) {
        const std::string id = "tirs_" + options_.prefix + "_" + std::to_string(a.address);
        std::string uid;
        for (char c : id)
            uid += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        const std::string base = options_.prefix + "/" + std::to_string(a.address);
        std::string name = service::nameOf(settings_, a.address);
        if (name.empty())
            name = "Привод " + std::to_string(a.address);
        const json device{{"identifiers", json::array({uid})},
                          {"name", name},
                          {"model", a.type},
                          {"manufacturer", "TIRS"}};
        const json valve{
            {"name", nullptr},
            {"unique_id", uid + "_valve"},
            {"device", device},
            {"availability_topic", base + "/state"},
            {"availability_template", "{{ 'online' if value_json.online else 'offline' }}"},
            {"command_topic", base + "/set"},
            {"payload_open", "open"},
            {"payload_close", "close"},
            {"payload_stop", "stop"},
            {"state_topic", base + "/state"},
            {"reports_position", true},
            {"position_topic", base + "/state"},
            {"position_template", "{{ value_json.position_percent | int }}"},
            {"value_template", "{{ value_json.position_percent | int }}"},
            {"position_open", 100},
            {"position_closed", 0}};
        const json sensor{{"name", "Входной ток"},
                          {"unique_id", uid + "_current"},
                          {"device", device},
                          {"state_topic", base + "/state"},
                          {"value_template", "{{ value_json.current / 1000 }}"},
                          {"unit_of_measurement", "mA"},
                          {"device_class", "current"},
                          {"state_class", "measurement"}};
        const auto dump = [](const json& j) {
            return j.dump(-1, ' ', false, json::error_handler_t::replace);
        };
        publish("homeassistant/valve/" + uid + "/config", dump(valve), true);
        publish("homeassistant/sensor/" + uid + "_current/config", dump(sensor), true);
    }
}

void MqttBridge::publishLoop()
{
    std::size_t discovered = 0;
    while (!stopping_) {
        {
            std::unique_lock lock(wakeMutex_);
            wake_.wait_for(lock, Interval, [this] { return stopping_.load(); });
        }
        if (stopping_)
            break;
        const LineSnapshot snapshot = store_.get();
        answerScan(snapshot);
        const bool all = republish_.exchange(false);
        if (options_.haDiscovery && (all || discovered != snapshot.actuators.size())) {
            publishDiscovery(snapshot);
            discovered = snapshot.actuators.size();
        }
        const auto now = std::chrono::steady_clock::now();
        for (const ActuatorReading& a : snapshot.actuators) {
            const std::string plain = stateJson(a, settings_, false);
            auto last = last_.find(a.address);
            const bool changed = last == last_.end() || last->second != plain;
            const bool due =
                !lastTime_.count(a.address) || now - lastTime_[a.address] >= options_.heartbeat;
            if (!all && !changed && !due)
                continue;
            publish(options_.prefix + "/" + std::to_string(a.address) + "/state",
                    stateJson(a, settings_), true);
            last_[a.address] = plain;
            lastTime_[a.address] = now;
        }
    }
}
