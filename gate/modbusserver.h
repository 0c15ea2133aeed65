// The line as a Modbus TCP server: the unit identifier is the actuator's
// address; input registers from the last poll, coils that queue commands.
// One thread of its own serves every client; reads never wait for the line.
#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "gatecommand.h"
#include "linesnapshot.h"

struct ModbusOptions {
    std::string address = "127.0.0.1";
    int port = 502;
    int maxClients = 8;
};

class ModbusServer {
public:
    ModbusServer(ModbusOptions options, const SnapshotStore& store, CommandQueue& queue,
                 CommandPolicy policy);
    ~ModbusServer();  // stop()

    // Listens and starts serving; false with the reason when it cannot listen.
    bool start(std::string& problem);
    void stop();

    static constexpr int CoilCount = 4;  // open, close, stop, off

private:
    void serve();
    // One request of the client on socket fd; false when the client goes.
    bool answer(int fd, const std::string& peer);

    ModbusOptions options_;
    const SnapshotStore& store_;
    CommandQueue& queue_;
    CommandPolicy policy_;
    void* ctx_ = nullptr;  // modbus_t
    int listener_ = -1;
    int wakePipe_[2] = {-1, -1};
    std::thread thread_;
    std::atomic<bool> stopping_{false};
};
