#include "gatecommand.h"

#include <algorithm>

#include "codes.h"

std::optional<GateCommand> parseGateCommand(const std::string& text)
{
    if (text == "open")
        return GateCommand::Open;
    if (text == "close")
        return GateCommand::Close;
    if (text == "stop")
        return GateCommand::Stop;
    if (text == "off")
        return GateCommand::Off;
    return std::nullopt;
}

const char* gateCommandName(GateCommand command)
{
    switch (command) {
    case GateCommand::Open: return "open";
    case GateCommand::Close: return "close";
    case GateCommand::Stop: return "stop";
    case GateCommand::Off: return "off";
    }
    return "";
}

int motionCodeOf(GateCommand command)
{
    switch (command) {
    case GateCommand::Open: return wake::CmdOpen;
    case GateCommand::Close: return wake::CmdClose;
    case GateCommand::Stop: return wake::CmdStop;
    case GateCommand::Off: return wake::CmdStopOff;
    }
    return wake::CmdStop;
}

bool CommandPolicy::permits(int address) const
{
    if (!allow || address < 1 || address > 127)
        return false;
    return addresses.empty() ||
           std::find(addresses.begin(), addresses.end(), address) != addresses.end();
}

void CommandQueue::push(CommandRequest request)
{
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(request));
    }
    ready_.notify_all();
}

std::optional<CommandRequest> CommandQueue::pop()
{
    std::lock_guard lock(mutex_);
    if (queue_.empty())
        return std::nullopt;
    CommandRequest r = std::move(queue_.front());
    queue_.pop_front();
    return r;
}

void CommandQueue::wake()
{
    {
        std::lock_guard lock(mutex_);
        woken_ = true;
    }
    ready_.notify_all();
}
