#include "paramedits.h"

void ParamEdits::edited(std::size_t field, double value)
{
    now_.at(field) = value;
}

void ParamEdits::settled(std::size_t field, double value)
{
    since_.at(field) = value;
    now_.at(field) = value;
    // A file is pending while any of its values is not yet in the drive;
    // once every field has been read or written, none is.
    settledSinceLoad_.at(field) = true;
    if (fromFile_) {
        bool all = true;
        for (bool s : settledSinceLoad_)
            all = all && s;
        fromFile_ = !all;
    }
}

void ParamEdits::loaded(const paramfile::ParamValues& values)
{
    since_ = values;
    now_ = values;
    fromFile_ = true;
    settledSinceLoad_.fill(false);
}

bool ParamEdits::changed(std::size_t field) const
{
    return now_.at(field) != since_.at(field);
}

bool ParamEdits::anyChanged() const
{
    for (std::size_t i = 0; i < now_.size(); ++i)
        if (changed(i))
            return true;
    return false;
}
