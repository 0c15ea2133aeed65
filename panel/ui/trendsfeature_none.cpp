// A build whose Qt has no Qt Charts: no trends window.
#include "trendsfeature.h"

bool TrendsInThisBuild()
{
    return false;
}

TrendsWindow* NewTrendsWindow(const service::TrendRecord&, QWidget*)
{
    return nullptr;
}

void SetTrendsActuator(TrendsWindow*, int, const QString&) {}
