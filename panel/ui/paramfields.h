// Which numeric field of the parameter page holds each drive parameter: the
// one table that the read, the write and the parameter files go through.
#pragma once

#include <array>
#include <string_view>

#include "paramfile.h"
#include "paramset.h"

class TFloatEdit;
namespace Ui {
class ParamsPage;
}

// The field of a parameter key ("Vmin", "A", … "Nt"); nullptr for another key.
TFloatEdit* ParamField(const Ui::ParamsPage& page, std::string_view key);

// Every parameter's field, in the order of paramfile::ParamKeys.
std::array<TFloatEdit*, paramfile::ParamCount> ParamFields(const Ui::ParamsPage& page);

// The whole number a field's value goes on the wire as (truncated toward
// zero): the parameter and the relay pages send their fields through it.
int SentValue(const TFloatEdit* field);

// The fields' values as a write sends them.
service::ParamSet SentParams(const Ui::ParamsPage& page);
