#include "portproblem.h"

#include "portdiagnosis.h"

PortProblemInfo PortProblem(const std::string& portName)
{
    using serlink::PortCondition;
    const serlink::PortDiagnosis d = serlink::diagnose(portName.c_str());
    switch (d.condition) {
    case PortCondition::Openable: return {};
    case PortCondition::UnknownName: return {"неизвестный порт", {}};
    case PortCondition::NotFound: return {"устройство не найдено", d.path};
    case PortCondition::NoPermission: return {"нет прав доступа (группа dialout)", d.path};
    case PortCondition::Busy: return {"занят другой программой", d.path};
    case PortCondition::Other: return {d.detail, d.path};
    }
    return {};
}
