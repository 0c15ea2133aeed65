// Compare before write: the drive's parameter set against the parameter
// page's fields, and where the fields came from since the last read, so
// that a write of changed fields can show what it will change first.
#pragma once

#include <QString>

#include <array>
#include <optional>

#include "paramfile.h"

class TWakePort;
namespace Ui {
class ParamsPage;
}

// Whole numbers in the order of paramfile::ParamKeys.
using ParamNumbers = std::array<long, paramfile::ParamCount>;

// The drive's parameters at the client's address (GetA, GetM, GetP, GetL,
// GetW, GetT), as the page's read takes them but without touching a field.
ParamNumbers ReadDriveParams(TWakePort& port);

// The page's fields as a write sends them (truncated toward zero).
ParamNumbers PageParams(const Ui::ParamsPage& page);

// Where the fields' values came from.
class ParamOrigin {
public:
    void read(int address, const ParamNumbers& fields);
    void loaded(const QString& file, const ParamNumbers& fields);

    // A write should compare first: a file was loaded, the fields were read
    // from another actuator, or they changed since the last read. Before any
    // read or load there is nothing to compare against: the write goes as it is.
    bool pending(int address, const ParamNumbers& fields) const;
    // The file whose values the fields still hold unchanged, if any.
    std::optional<QString> file(const ParamNumbers& fields) const;

private:
    enum class Kind { None, Read, File } kind_ = Kind::None;
    int address_ = 0;
    QString file_;
    ParamNumbers values_{};
};
