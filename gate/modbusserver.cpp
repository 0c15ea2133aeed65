#include "modbusserver.h"

#include <arpa/inet.h>
#include <modbus/modbus.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <map>

#include "stateview.h"

namespace {

constexpr int FunctionReadCoils = 0x01;
constexpr int FunctionReadInputRegisters = 0x04;
constexpr int FunctionWriteCoil = 0x05;
constexpr int FunctionWriteCoils = 0x0F;

// The commands of coils 0..3, in order.
constexpr GateCommand CoilCommands[ModbusServer::CoilCount] = {
    GateCommand::Open, GateCommand::Close, GateCommand::Stop, GateCommand::Off};

modbus_t* mb(void* p)
{
    return static_cast<modbus_t*>(p);
}

std::string peerOf(int fd)
{
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return "?";
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(a.sin_port));
}

}  // namespace

ModbusServer::ModbusServer(ModbusOptions options, const SnapshotStore& store, CommandQueue& queue,
                           CommandPolicy policy)
    : options_(std::move(options)), store_(store), queue_(queue), policy_(std::move(policy))
{
}

ModbusServer::~ModbusServer()
{
    stop();
}

bool ModbusServer::start(std::string& problem)
{
    ctx_ = modbus_new_tcp(options_.address.c_str(), options_.port);
    if (!ctx_) {
        problem = std::strerror(errno);
        return false;
    }
    // A client that stops in the middle of a request holds the server no
    // longer than this before it is dropped.
    modbus_set_indication_timeout(mb(ctx_), 1, 0);
    modbus_set_byte_timeout(mb(ctx_), 0, 300000);
    listener_ = modbus_tcp_listen(mb(ctx_), options_.maxClients);
    if (listener_ < 0) {
        problem =
            options_.address + ":" + std::to_string(options_.port) + ": " + modbus_strerror(errno);
        modbus_free(mb(ctx_));
        ctx_ = nullptr;
        return false;
    }
    if (pipe(wakePipe_) != 0) {
        problem = std::strerror(errno);
        return false;
    }
    thread_ = std::thread([this] { serve(); });
    return true;
}

void ModbusServer::stop()
{
    if (!ctx_)
        return;
    stopping_ = true;
    if (wakePipe_[1] >= 0)
        (void)!write(wakePipe_[1], "x", 1);
    if (thread_.joinable())
        thread_.join();
    for (int& fd : wakePipe_)
        if (fd >= 0)
            close(fd), fd = -1;
    if (listener_ >= 0)
        close(listener_);
    listener_ = -1;
    modbus_free(mb(ctx_));
    ctx_ = nullptr;
}

void ModbusServer::serve()
{
    std::map<int, std::string> clients;  // socket, "address:port"
    while (!stopping_) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(listener_, &readable);
        FD_SET(wakePipe_[0], &readable);
        int highest = std::max(listener_, wakePipe_[0]);
        for (const auto& [fd, peer] : clients) {
            FD_SET(fd, &readable);
            highest = std::max(highest, fd);
        }
        if (select(highest + 1, &readable, nullptr, nullptr, nullptr) < 0) {
            if (errno == EINTR)
                continue;
            std::cerr << "tirsgate: Modbus: " << std::strerror(errno) << "\n";
            break;
        }
        if (stopping_)
            break;
        if (FD_ISSET(listener_, &readable)) {
            const int fd = accept(listener_, nullptr, nullptr);
            if (fd >= 0) {
                if (static_cast<int>(clients.size()) >= options_.maxClients)
                    close(fd);  // one too many: turned away at once
                else
                    clients[fd] = peerOf(fd);
            }
        }
        for (auto it = clients.begin(); it != clients.end();) {
            if (FD_ISSET(it->first, &readable) && !answer(it->first, it->second)) {
                close(it->first);
                it = clients.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const auto& [fd, peer] : clients)
        close(fd);
}

bool ModbusServer::answer(int fd, const std::string& peer)
{
    modbus_t* ctx = mb(ctx_);
    modbus_set_socket(ctx, fd);
    std::uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
    const int length = modbus_receive(ctx, query);
    if (length <= 0)
        return false;  // gone, garbage or stalled: dropped
    const int header = modbus_get_header_length(ctx);
    const int unit = query[header - 1];
    const int function = query[header];
    const LineSnapshot snapshot = store_.get();
    const auto fail = [&](int exception) {
        return modbus_reply_exception(ctx, query, exception) >= 0;
    };
    if (!snapshot.portOpen)
        return fail(MODBUS_EXCEPTION_GATEWAY_PATH);
    const ActuatorReading* actuator = snapshot.find(unit);
    if (!actuator)
        return fail(MODBUS_EXCEPTION_GATEWAY_TARGET);

    modbus_mapping_t* map = nullptr;
    if (function == FunctionReadInputRegisters) {
        map = modbus_mapping_new(0, 0, 0, InputRegisterCount);
        const auto regs = inputRegisters(*actuator, std::chrono::steady_clock::now());
        for (int i = 0; i < InputRegisterCount; ++i)
            map->tab_input_registers[i] = regs[i];
    } else if (function == FunctionReadCoils) {
        map = modbus_mapping_new(CoilCount, 0, 0, 0);
    } else if (function == FunctionWriteCoil || function == FunctionWriteCoils) {
        if (!policy_.permits(unit)) {
            CommandRequest r;  // journalled as refused by the poll loop
            r.address = unit;
            const int first = (query[header + 1] << 8) | query[header + 2];
            r.command = first < CoilCount ? CoilCommands[first] : GateCommand::Stop;
            r.source = "modbus " + peer;
            queue_.push(std::move(r));
            return fail(MODBUS_EXCEPTION_ILLEGAL_FUNCTION);
        }
        map = modbus_mapping_new(CoilCount, 0, 0, 0);
    } else {
        return fail(MODBUS_EXCEPTION_ILLEGAL_FUNCTION);
    }
    if (!map)
        return false;
    const bool sent = modbus_reply(ctx, query, length, map) >= 0;
    if (function == FunctionWriteCoil || function == FunctionWriteCoils)
        for (int c = 0; c < CoilCount; ++c)
            if (map->tab_bits[c]) {
                CommandRequest r;
                r.address = unit;
                r.command = CoilCommands[c];
                r.source = "modbus " + peer;
                queue_.push(std::move(r));
            }
    modbus_mapping_free(map);
    return sent;
}
