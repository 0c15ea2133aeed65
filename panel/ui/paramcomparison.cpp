#include "paramcomparison.h"

#include "floatedit.h"
#include "paramfields.h"
#include "wakeport.h"

ParamNumbers ReadDriveParams(TWakePort& port)
{
    std::array<int, paramfile::ParamCount> v{};
    const auto at = [&v](std::string_view key) -> int& {
        for (std::size_t i = 0; i < paramfile::ParamCount; ++i)
            if (paramfile::ParamKeys[i].key == key)
                return v[i];
        throw std::logic_error("no parameter " + std::string(key));
    };
    port.GetA(at("A"), at("Ia"));
    int extra = 0;
    port.GetM(at("Vmin"), extra);
    port.GetP(at("Vp"), at("Ip"), at("Np"));
    port.GetL(at("Vl"), at("Il"), at("No"), at("Nc"));
    int workStatus = 0;
    port.GetW(at("V1"), at("I1"), at("V2"), at("I2"), at("V3"), at("I3"), at("V4"), at("I4"),
              workStatus);
    port.GetT(at("Nt"));
    ParamNumbers out{};
    std::copy(v.begin(), v.end(), out.begin());
    return out;
}

ParamNumbers PageParams(const Ui::ParamsPage& page)
{
    ParamNumbers out{};
    const auto fields = ParamFields(page);
    for (std::size_t i = 0; i < fields.size(); ++i)
        out[i] = static_cast<long>(paramfile::truncateValue(fields[i]->Value()));
    return out;
}

void ParamOrigin::read(int address, const ParamNumbers& fields)
{
    kind_ = Kind::Read;
    address_ = address;
    file_.clear();
    values_ = fields;
}

void ParamOrigin::loaded(const QString& file, const ParamNumbers& fields)
{
    kind_ = Kind::File;
    file_ = file;
    values_ = fields;
}

bool ParamOrigin::pending(int address, const ParamNumbers& fields) const
{
    switch (kind_) {
    case Kind::None:
        return false;
    case Kind::File:
        return true;
    case Kind::Read:
        return address != address_ || fields != values_;
    }
    return false;
}

std::optional<QString> ParamOrigin::file(const ParamNumbers& fields) const
{
    if (kind_ == Kind::File && fields == values_)
        return file_;
    return std::nullopt;
}
