// Which values of the parameter page the drive has not got yet. A field the
// operator changed since the last read, write or file load is "changed" (the
// page marks it); values loaded from a file are not marked, yet until they
// are written (or a read replaces them) they are pending all the same. While
// anything is pending, the page's automatic reads leave the fields alone.
#pragma once

#include <array>
#include <cstddef>

#include "paramfile.h"

class ParamEdits {
public:
    // A field's value changed by the operator's hand.
    void edited(std::size_t field, double value);
    // A field now shows what the drive holds: read from it or written to it.
    void settled(std::size_t field, double value);
    // The fields now show a parameter file, which the drive has not got.
    void loaded(const paramfile::ParamValues& values);

    bool changed(std::size_t field) const;
    bool anyChanged() const;
    bool fromFile() const { return fromFile_; }
    bool pending() const { return fromFile_ || anyChanged(); }

private:
    paramfile::ParamValues since_{};  // the last read, write or file load
    paramfile::ParamValues now_{};
    bool fromFile_ = false;
    std::array<bool, paramfile::ParamCount> settledSinceLoad_{};
};
