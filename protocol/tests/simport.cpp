#include "simport.h"

#include "portlinks.h"

void pointPortsAt(const std::string& target, int simPort, int maxPort)
{
    support::pointPortsAt(target, simPort, maxPort);
}

void addStillActuator(sim::Line& line, int address, const std::string& info)
{
    line.addActuator(address, info);
    line.with(address, [](sim::ActuatorState& s) { s.frozen = true; });
}

std::string commandError(const std::string& command, const std::string& reason)
{
    return "Ошибка команды " + command + ":\r" + reason;
}

std::string hardwareError(const std::function<void()>& f)
{
    try {
        f();
    } catch (const EHardwareException& e) {
        return e.what();
    }
    return "";
}

void SimPortTest::SetUp()
{
    addStillActuator(line, SimAddress, "ТИРС-70 №0001");
    pty = std::make_unique<sim::PtyLine>(line);
    ASSERT_TRUE(pty->start());
    pointPortsAt(pty->slavePath());
    port.Open(SimPortNumber, 9600);
    port.SetDevAddr(SimAddress);
    ASSERT_EQ(port.Port, SimPortNumber);
}

void SimPortTest::TearDown()
{
    port.Close();
    if (pty)
        pty->stop();
}

void SimPortTest::answerWith(const std::vector<std::uint8_t>& data)
{
    sim::Faults faults;
    faults.answerData = data;
    setFaults(faults);
}

void SimPortTest::setFaults(const sim::Faults& faults)
{
    line.setFaults(SimAddress, faults);
}

std::vector<sim::LoggedRequest> SimPortTest::requests(std::size_t count) const
{
    pty->waitForRequests([count](const auto& log) { return log.size() >= count; },
                         std::chrono::seconds(2));
    return pty->requests();
}

bool SimPortTest::anyRequestWithin(std::chrono::milliseconds timeout) const
{
    return pty->waitForRequests([](const auto& log) { return !log.empty(); }, timeout);
}
