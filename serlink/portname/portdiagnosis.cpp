#include "portdiagnosis.h"

#include "portname.h"

namespace serlink {

PortDiagnosis diagnose(const char* name)
{
    PortDiagnosis d;
    d.path = devicePath(name);
    d.condition = d.path.empty() ? PortCondition::UnknownName : diagnosePath(d.path, d.detail);
    return d;
}

}  // namespace serlink
