#include "portproblem.h"

#include "portdiagnosis.h"

std::string PortProblem(const std::string& portName)
{
    using serlink::PortCondition;
    const serlink::PortDiagnosis d = serlink::diagnose(portName.c_str());
    switch (d.condition) {
    case PortCondition::Openable: return {};
    case PortCondition::UnknownName: return "неизвестный порт";
    case PortCondition::NotFound: return "устройство " + d.path + " не найдено";
    case PortCondition::NoPermission: return "нет прав доступа к " + d.path + " (группа dialout)";
    case PortCondition::Busy: return d.path + " занят другой программой";
    case PortCondition::Other: return d.path + ": " + d.detail;
    }
    return {};
}
