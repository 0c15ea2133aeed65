#include "apptitle.h"

namespace {

QString& title()
{
    static QString t;
    return t;
}

}  // namespace

QString ApplicationTitle()
{
    return title();
}

void SetApplicationTitle(const QString& t)
{
    title() = t;
}
