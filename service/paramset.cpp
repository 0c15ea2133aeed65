#include "paramset.h"

#include "addressscope.h"
#include "inifile.h"
#include "wakeport.h"

namespace service {

namespace {

// Indices into ParamSet, in the order of paramfile::ParamKeys.
enum : std::size_t { Vmin, V1, I1, V2, I2, V3, I3, V4, I4, A, Ia, Vp, Ip, Np, Vl, Il, No, Nc, Nt };
static_assert(Nt == TravelIndex);

int word(long v)
{
    return static_cast<int>(v);
}

// The page's read order; GetW also gives the work status.
ParamSet readValues(TWakePort& port, int& workStatus)
{
    const AValues a = port.GetA();
    const MValues m = port.GetM();
    const PValues p = port.GetP();
    const LValues l = port.GetL();
    const WValues w = port.GetW();
    workStatus = w.workStatus;
    const int nt = port.GetT();
    const SpeedSteps& s = w.steps;
    return ParamSet{m.vmin, s[0].v, s[0].i, s[1].v, s[1].i, s[2].v, s[2].i, s[3].v, s[3].i, a.a,
                    a.ia,   p.vp,   p.ip,   p.np,   l.vl,   l.il,   l.no,   l.nc,   nt};
}

}  // namespace

std::optional<std::size_t> paramIndex(std::string_view key)
{
    for (std::size_t i = 0; i < paramfile::ParamCount; ++i)
        if (paramfile::ParamKeys[i].key == key)
            return i;
    return std::nullopt;
}

ParamSet readParams(TWakePort& port, int address)
{
    AddressScope scope(port, address);
    int workStatus = 0;
    return readValues(port, workStatus);
}

ParamPageReading readParamPage(TWakePort& port, int address)
{
    AddressScope scope(port, address);
    ParamPageReading out;
    out.type = port.GetInfo();
    out.values = readValues(port, out.workStatus);
    return out;
}

ParamSet paramsFromFile(const IniImage& file)
{
    const paramfile::ParamValues raw = paramfile::read(file);
    ParamSet values{};
    for (std::size_t k = 0; k < paramfile::ParamCount; ++k)
        values[k] = static_cast<long>(paramfile::fieldValue(paramfile::ParamKeys[k], raw[k]));
    return values;
}

void paramsToFile(IniImage& file, const ParamSet& values)
{
    paramfile::ParamValues raw{};
    for (std::size_t k = 0; k < paramfile::ParamCount; ++k)
        raw[k] = static_cast<double>(values[k]);
    paramfile::write(file, raw);
}

std::vector<Difference> diffParams(const ParamSet& device, const ParamSet& wanted, bool withTravel)
{
    std::vector<Difference> out;
    for (std::size_t k = 0; k < paramfile::ParamCount; ++k) {
        if (k == Nt && !withTravel)
            continue;
        if (device[k] != wanted[k])
            out.push_back({std::string(paramfile::ParamKeys[k].key), device[k], wanted[k]});
    }
    return out;
}

void writeParams(TWakePort& port, int address, const ParamSet& p, bool travel)
{
    AddressScope scope(port, address);
    port.SetS(wake::CmdStopOff);
    port.SetA({word(p[A]), word(p[Ia])});
    // SetM's extra value has no field on the page: it gets the current just sent.
    port.SetM({word(p[Vmin]), word(p[Ia])});
    port.SetP({word(p[Vp]), word(p[Ip]), word(p[Np])});
    port.SetL({word(p[Vl]), word(p[Il]), word(p[No]), word(p[Nc])});
    port.SetW({{{word(p[V1]), word(p[I1])},
                {word(p[V2]), word(p[I2])},
                {word(p[V3]), word(p[I3])},
                {word(p[V4]), word(p[I4])}}});
    if (travel)
        port.SetT(word(p[Nt]));
}

WriteOutcome writeParamsVerified(TWakePort& port, int address, const ParamSet& wanted,
                                 const WriteOptions& options)
{
    WriteOutcome out;
    out.before = diffParams(readParams(port, address), wanted, true);
    const bool travelDiffers = !out.before.empty() && out.before.back().key == "Nt";
    out.travelSkipped = travelDiffers && !options.travel;
    const std::size_t writable = out.before.size() - (out.travelSkipped ? 1 : 0);
    if (options.dryRun || writable == 0)
        return out;
    writeParams(port, address, wanted, options.travel);
    out.written = true;
    out.mismatches = diffParams(readParams(port, address), wanted, options.travel);
    return out;
}

}  // namespace service
