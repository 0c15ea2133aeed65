#include "trendsfeature.h"

#include "trendswindow.h"

bool TrendsInThisBuild()
{
    return true;
}

TrendsWindow* NewTrendsWindow(const service::TrendRecord& record, QWidget* parent)
{
    return new TrendsWindow(record, parent);
}

void SetTrendsActuator(TrendsWindow* window, int address, const QString& caption)
{
    window->setActuator(address, caption);
}
